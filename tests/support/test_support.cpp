#include "support/test_support.hpp"

#include "base/leak_suppressions.hpp"
#include "platform/file_system.hpp"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

GLIMMET_LEAK_SUPPRESSIONS

namespace glimmet::testing {

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path().string()) {}

TempDir::TempDir(const std::string& parent) {
  std::string pattern = (std::filesystem::path(parent) / "glimmet-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed in " + parent);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeText(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void appendText(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string fixturePath(std::string_view relative) {
  return std::string(GLIMMET_FIXTURES_DIR) + "/" + std::string(relative);
}

std::vector<std::string> sortedEntries(const std::string& directory) {
  auto names = directoryEntryNames(directory).value_or(std::vector<std::string>{});
  std::sort(names.begin(), names.end());
  return names;
}

Environment isolatedHome(const TempDir& dir) {
  Environment environment;
  environment.set("HOME", dir.file("home"));
  environment.set("XDG_DATA_HOME", dir.file("data"));
  environment.set("XDG_CONFIG_HOME", dir.file("config"));
  environment.set("GLIMMET_EVENT_FILE", dir.file("events.jsonl"));
  return environment;
}

bool eventually(const std::function<bool()>& done, double seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  do {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Clock::now() < deadline);
  return done();
}

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    if (::access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace glimmet::testing
