// Counts what the running store costs while the event file is idle: metadata reads and bytes
// read over a period (default 30 s), with the file watched and the 2-second refresh tick on.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/file_system.hpp"
#include "ui/console_application.hpp"

int main(int argc, char** argv) {
  using namespace glimmet;
  const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
  char pattern[] = "/tmp/glimmet-idle-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string directory = pattern;
  const std::string eventFile = directory + "/events.jsonl";
  {
    std::ofstream out(eventFile);
    for (int i = 0; i < 1000; ++i) {
      out << R"({"event_id":"e)" << i << R"(","source":"codex","title":"t"})"
          << "\n";
    }
  }
  Environment environment;
  environment.set("HOME", directory);
  environment.set("GLIMMET_EVENT_FILE", eventFile);
  std::FILE* sink = std::fopen("/dev/null", "w");
  ConsoleApplication application(environment, sink);
  // Start counting once the first load is done.
  FileSystemCounters before{};
  application.loop().post([&] { before = fileSystemCounters(); });
  WorkItem stop = WorkItem();
  application.loop().post(
      [&] { stop = application.loop().schedule(Seconds(seconds), [&] { application.stop(); }); });
  application.run();
  const FileSystemCounters after = fileSystemCounters();
  std::printf("idle %.0f s: %llu metadata reads, %llu bytes read (fallback reloads expected: %d)\n",
              seconds, static_cast<unsigned long long>(after.metadataReads - before.metadataReads),
              static_cast<unsigned long long>(after.bytesRead - before.bytesRead),
              static_cast<int>(seconds / EventStore::kFallbackReloadSeconds));
  std::fclose(sink);
  std::string command = "rm -rf " + directory;
  return std::system(command.c_str()) == 0 ? 0 : 1;
}
