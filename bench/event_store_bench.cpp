// Event-file reading: a full parse of the 8 MiB read window (with a plain simdjson pass over
// the same bytes for reference) and the latency from appending one line to a 40 MB file until
// the store publishes it.
#include <benchmark/benchmark.h>

#include <simdjson.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <time.h>

#include "app/core.hpp"
#include "base/environment.hpp"
#include "base/json_line_reader.hpp"
#include "model/glimmet_event_lines.hpp"
#include "store/bridge_event_tail.hpp"
#include "store/event_store.hpp"

namespace glimmet {
namespace {

std::string benchDirectory() {
  static const std::string directory = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "glimmet-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(benchDirectory(), ignored);
    });
    return pattern;
  }();
  return directory;
}

// A realistic mix: tool updates, approvals with actions, completions with previews, usage.
std::string sampleLine(int index) {
  switch (index % 4) {
    case 0:
      return fmt::format(
          R"({{"event_id":"evt-{0}","source":"codex","source_type":"cli_agent","event_type":"task_updated","session_id":"019a-{1}","turn_id":"turn-{0}","cwd":"/home/dev/src/project-{1}","title":"Codex CLI working","message":"Running tool shell: cargo build --release","tool_name":"shell","timestamp":"2026-05-11T12:{2:02d}:{3:02d}.{4:03d}Z"}})",
          index, index % 17, (index / 60) % 60, index % 60, index % 1000);
    case 1:
      return fmt::format(
          R"({{"event_id":"evt-{0}","source":"claude-code","event_type":"permission_request","session_id":"sess-{1}","cwd":"/home/dev/src/app","title":"Run: rm -rf build/cache-{0}","message":"Bash","tool_name":"Bash","risk":"high","action":{{"kind":"bash","risk":"high","decision_file":"/tmp/decisions/{0}.json"}},"timestamp":"2026-05-11T12:{2:02d}:{3:02d}Z","pid":"4242","terminal":"iTerm2"}})",
          index, index % 9, (index / 60) % 60, index % 60);
    case 2:
      return fmt::format(
          R"({{"event_id":"evt-{0}","source":"claude-code","event_type":"task_completed","session_id":"sess-{1}","title":"Claude Code finished","completion_snippet":"Updated the parser and added tests for the new flag; all 42 tests pass.","preview":{{"user":"please add a --verbose flag","agent":"Done: the flag is wired through"}},"hook_event_name":"Stop","timestamp":"2026-05-11T12:{2:02d}:{3:02d}Z"}})",
          index, index % 9, (index / 60) % 60, index % 60);
    default:
      return fmt::format(
          R"({{"event_id":"evt-{0}","source":"codex","event_type":"task_updated","notify_policy":"usage_only","usage":{{"data_source":"notify","five_hour_percent":{1},"weekly_percent":18,"input_tokens":{2},"output_tokens":{3},"cached_input_tokens":1200}},"timestamp":"2026-05-11T12:{4:02d}:{5:02d}Z"}})",
          index, index % 100, 12000 + index, 300 + index % 50, (index / 60) % 60, index % 60);
  }
}

std::string writeEventFile(const std::string& name, uint64_t bytes) {
  const std::string path = benchDirectory() + "/" + name;
  if (std::filesystem::exists(path)) return path;
  std::ofstream out(path, std::ios::binary);
  uint64_t written = 0;
  for (int i = 0; written < bytes; ++i) {
    const std::string line = sampleLine(i) + "\n";
    out << line;
    written += line.size();
  }
  return path;
}

void BM_FullParseOfReadWindow(benchmark::State& state) {
  const std::string path = writeEventFile("window.jsonl", BridgeEventTail::kTailReadWindow);
  const auto size = std::filesystem::file_size(path);
  for (auto _ : state) {
    BridgeEventTail tail(path, EventParseContext{"/home/dev"});
    benchmark::DoNotOptimize(tail.reload(systemNow(), true));
    if (tail.activeTail().size() != BridgeEventTail::kActiveTailLength) {
      state.SkipWithError("unexpected tail length");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
// Wall time: the older lines are probed on a second thread.
BENCHMARK(BM_FullParseOfReadWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every line of the window through an event parser, for the parser's own throughput. The
// window lies in a buffer with room after it, as the store reads it, so lines are decoded where
// they lie.
template <auto parse>
void parseEveryLine(benchmark::State& state) {
  const std::string path = writeEventFile("window.jsonl", BridgeEventTail::kTailReadWindow);
  std::ifstream in(path, std::ios::binary);
  std::string buffer((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t size = buffer.size();
  buffer.resize(size + JsonLineReader::kPadding);
  const std::string_view text(buffer.data(), size);
  const EventParseContext context{"/home/dev"};
  for (auto _ : state) {
    size_t events = 0;
    size_t pos = 0;
    while (pos < text.size()) {
      const size_t end = text.find('\n', pos);
      events += parse(text.substr(pos, end - pos), context, buffer.size() - pos) ? 1 : 0;
      pos = end + 1;
    }
    benchmark::DoNotOptimize(events);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

std::optional<GlimmetEvent> parseLine(std::string_view line, const EventParseContext& context,
                                      size_t capacity) {
  return parseGlimmetEventLine(line, context, capacity);
}

std::optional<GlimmetEvent> parseLineAsTree(std::string_view line, const EventParseContext& context,
                                            size_t /*capacity*/) {
  return parseGlimmetEventLineAsTree(line, context);
}

void BM_ParseEveryLineOfReadWindow(benchmark::State& state) {
  parseEveryLine<parseLine>(state);
}
BENCHMARK(BM_ParseEveryLineOfReadWindow)->Unit(benchmark::kMillisecond);

// The same through the tree parser the SIMD reader replaced, for comparison in the same run.
void BM_ParseEveryLineOfReadWindowAsTree(benchmark::State& state) {
  parseEveryLine<parseLineAsTree>(state);
}
BENCHMARK(BM_ParseEveryLineOfReadWindowAsTree)->Unit(benchmark::kMillisecond);

// Only the decoding of every line into values, without building events: the share of the
// every-line parse that is JSON.
void BM_DecodeEveryLineOfReadWindow(benchmark::State& state) {
  const std::string path = writeEventFile("window.jsonl", BridgeEventTail::kTailReadWindow);
  const simdjson::padded_string text = simdjson::padded_string::load(path).value();
  const std::string_view all(text.data(), text.size());
  JsonLineReader reader;
  for (auto _ : state) {
    size_t objects = 0;
    size_t pos = 0;
    while (pos < all.size()) {
      const size_t end = all.find('\n', pos);
      objects += reader.read(all.substr(pos, end - pos), text.size() + JsonLineReader::kPadding -
                                                             pos) == JsonLineReader::Outcome::value
                     ? 1
                     : 0;
      pos = end + 1;
    }
    benchmark::DoNotOptimize(objects);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeEveryLineOfReadWindow)->Unit(benchmark::kMillisecond);

// Only the building of events from lines already decoded: the share of the every-line parse
// that is the event record itself, which no faster JSON decoding can take away. The lines are
// decoded outside the clock, a batch at a time, each by a reader of its own.
void BM_BuildEventsFromDecodedLines(benchmark::State& state) {
  const std::string path = writeEventFile("window.jsonl", BridgeEventTail::kTailReadWindow);
  const simdjson::padded_string text = simdjson::padded_string::load(path).value();
  const std::string_view all(text.data(), text.size());
  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos < all.size();) {
    const size_t end = std::min(all.find('\n', pos), all.size());
    lines.push_back(all.substr(pos, end - pos));
    pos = end + 1;
  }
  constexpr size_t kBatch = 512;
  std::vector<JsonLineReader> readers(kBatch);
  std::vector<bool> decoded(kBatch);
  const EventParseContext context{"/home/dev"};
  for (auto _ : state) {
    size_t events = 0;
    for (size_t first = 0; first < lines.size(); first += kBatch) {
      const size_t count = std::min(kBatch, lines.size() - first);
      state.PauseTiming();
      for (size_t i = 0; i < count; ++i) {
        const std::string_view line = lines[first + i];
        const size_t capacity =
            text.size() + JsonLineReader::kPadding - static_cast<size_t>(line.data() - all.data());
        decoded[i] = readers[i].read(line, capacity) == JsonLineReader::Outcome::value;
      }
      state.ResumeTiming();
      for (size_t i = 0; i < count; ++i) {
        if (decoded[i] && parseGlimmetEvent(readers[i].root(), context)) ++events;
      }
    }
    if (events != lines.size()) state.SkipWithError("a line did not become an event");
    benchmark::DoNotOptimize(events);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_BuildEventsFromDecodedLines)->Unit(benchmark::kMillisecond);

void BM_PlainSimdjsonParseOfReadWindow(benchmark::State& state) {
  const std::string path = writeEventFile("window.jsonl", BridgeEventTail::kTailReadWindow);
  const simdjson::padded_string text = simdjson::padded_string::load(path).value();
  simdjson::ondemand::parser parser;
  for (auto _ : state) {
    size_t ids = 0;
    auto stream = parser.iterate_many(text).value();
    for (auto document : stream) {
      std::string_view id;
      if (document.find_field("event_id").get_string().get(id) == simdjson::SUCCESS) ++ids;
    }
    benchmark::DoNotOptimize(ids);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_PlainSimdjsonParseOfReadWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the append of one line to a 40 MB file until the store has published it and its
// messages are made (what a front end reads when told), through the real watcher and
// debounce; includes the 50 ms debounce by design.
void BM_AppendToPublishLatency(benchmark::State& state) {
  const std::string path = writeEventFile("large.jsonl", 40'000'000);
  MainLoop loop;
  EventStoreOptions options;
  options.eventFile = path;
  options.auditFile = benchDirectory() + "/audit.jsonl";
  options.parseContext.homeDirectory = "/home/dev";
  EventStore store(loop, options);
  int publishes = 0;
  store.onChange = [&] {
    store.sharedMessages();
    ++publishes;
  };
  store.reload(true);
  store.startMonitoringBridgeEvents();
  int index = 10'000'000;
  for (auto _ : state) {
    const int before = publishes;
    const std::string line = sampleLine(index++) + "\n";
    const auto start = std::chrono::steady_clock::now();
    {
      std::ofstream out(path, std::ios::binary | std::ios::app);
      out << line;
    }
    if (!loop.runUntil([&] { return publishes > before; }, Seconds(5))) {
      state.SkipWithError("no publish within 5 s");
      break;
    }
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK(BM_AppendToPublishLatency)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

// How long the loop is held while a running store reads a replaced 8 MiB window on its worker
// and applies it: the largest gap between the ticks of a 1 ms timer, from the reload until the
// newest event is published. Reported per read: `median_gap_ms` and `largest_gap_ms` over the
// iterations (the largest also holds whatever the machine itself paused the loop for).
void BM_LoopGapDuringBackgroundFullRead(benchmark::State& state) {
  const std::string path = writeEventFile("window.jsonl", BridgeEventTail::kTailReadWindow);
  const std::string newestID = [&] {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::string last;
    while (std::getline(in, line)) last = line;
    return last.substr(last.find("evt-"), last.find('"', last.find("evt-")) - last.find("evt-"));
  }();
  std::vector<double> gapsMs;
  for (auto _ : state) {
    MainLoop loop;
    EventStoreOptions options;
    options.eventFile = path;
    options.auditFile = benchDirectory() + "/audit.jsonl";
    options.parseContext.homeDirectory = "/home/dev";
    options.readLargeEventFileInBackground = true;
    EventStore store(loop, options);
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastTick = Clock::now();
    Clock::duration largestGap{};
    WorkItem ticker = loop.every(Seconds(0.001), Seconds(0), [&] {
      const auto tick = Clock::now();
      largestGap = std::max(largestGap, tick - lastTick);
      lastTick = tick;
    });
    loop.post([&] {
      lastTick = Clock::now();
      store.reload(true);
    });
    const auto published = [&] {
      const auto& events = store.bridgeEvents();
      return !events.empty() && events.back().id == newestID;
    };
    if (!loop.runUntil(published, Seconds(10))) {
      state.SkipWithError("the read was not published within 10 s");
      break;
    }
    // A few more ticks, so that a hold right at the publish shows as a gap.
    loop.runUntil([] { return false; }, Seconds(0.005));
    ticker.cancel();
    gapsMs.push_back(std::chrono::duration<double, std::milli>(largestGap).count());
  }
  if (gapsMs.empty()) return;
  std::sort(gapsMs.begin(), gapsMs.end());
  state.counters["median_gap_ms"] = gapsMs[gapsMs.size() / 2];
  state.counters["largest_gap_ms"] = gapsMs.back();
}
BENCHMARK(BM_LoopGapDuringBackgroundFullRead)->Unit(benchmark::kMillisecond)->Iterations(20);

// Posts a task to `loop` from another thread every 0.2 ms, as a front end asking for redraws
// does, and keeps the longest any of them waited to run. With each wait it keeps the processor
// time the loop's thread spent since the task before ran: a long wait with little processor time
// is the machine pausing the loop, not work done on it.
class RedrawProbe {
 public:
  explicit RedrawProbe(MainLoop& loop)
      : poster_([this, &loop](const std::stop_token& stop) {
          while (!stop.stop_requested()) {
            loop.post([this, postedAt = Clock::now()] { ran(postedAt); });
            std::this_thread::sleep_for(std::chrono::microseconds(200));
          }
        }) {}
  void stop() {
    poster_.request_stop();
    poster_.join();
  }
  double longestWaitMs() const { return milliseconds(longestWait_); }
  // The most processor time the loop's thread spent between two of the tasks.
  double longestLoopWorkMs() const { return milliseconds(longestWork_); }

 private:
  using Clock = std::chrono::steady_clock;
  static double milliseconds(std::chrono::nanoseconds duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
  }
  static std::chrono::nanoseconds threadTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
  }
  // Runs on the loop.
  void ran(Clock::time_point postedAt) {
    longestWait_ = std::max<std::chrono::nanoseconds>(longestWait_, Clock::now() - postedAt);
    const auto cpu = threadTime();
    if (lastCpu_) longestWork_ = std::max(longestWork_, cpu - *lastCpu_);
    lastCpu_ = cpu;
  }

  std::chrono::nanoseconds longestWait_{};
  std::chrono::nanoseconds longestWork_{};
  std::optional<std::chrono::nanoseconds> lastCpu_;
  std::jthread poster_;  // last: stopped before the rest goes
};

// Reported over the iterations after the first: the median and the largest of each iteration's
// longest wait, and the largest processor time the loop spent between two posted tasks.
void reportWaits(benchmark::State& state, std::vector<double> waitsMs, std::vector<double> workMs) {
  if (waitsMs.size() < 2) return;
  state.counters["cold_wait_ms"] = waitsMs.front();
  waitsMs.erase(waitsMs.begin());
  workMs.erase(workMs.begin());
  std::sort(waitsMs.begin(), waitsMs.end());
  state.counters["median_wait_ms"] = waitsMs[waitsMs.size() / 2];
  state.counters["largest_wait_ms"] = waitsMs.back();
  state.counters["largest_loop_work_ms"] = *std::max_element(workMs.begin(), workMs.end());
}

// The whole core, as a front end runs it: from its start (which reads the 8 MiB window on the
// worker) until its snapshot lists the messages, the longest that work posted to its loop from
// another thread every 0.2 ms waited to run, which is how long a redraw asked for meanwhile
// would have waited. Everything the core does on the loop counts: applying the read, grouping
// the messages, building the snapshot. The first read of the process is reported apart
// (`cold_wait_ms`): its memory is new to the process, and on a virtual machine each fresh page
// costs microseconds.
void BM_CoreLoopWaitDuringBackgroundFullRead(benchmark::State& state) {
  const std::string path = writeEventFile("window.jsonl", BridgeEventTail::kTailReadWindow);
  const std::string home = benchDirectory() + "/core-home";
  std::vector<double> waitsMs;
  std::vector<double> workMs;
  for (auto _ : state) {
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    Environment environment;
    environment.set("HOME", home);
    environment.set("XDG_DATA_HOME", home + "/data");
    environment.set("XDG_CONFIG_HOME", home + "/config");
    environment.set("GLIMMET_EVENT_FILE", path);
    Core core(environment, false, [](const std::string&) {});
    core.start();
    RedrawProbe probe(core.loop());
    const auto listed = [&] {
      const SnapshotPtr snapshot = core.snapshot();
      return snapshot && !snapshot->messages.empty();
    };
    const bool ok = core.loop().runUntil(listed, Seconds(10));
    core.loop().runUntil([] { return false; }, Seconds(0.005));
    probe.stop();
    core.loop().runUntil([] { return false; }, Seconds(0.002));
    core.shutDown();
    if (!ok) {
      state.SkipWithError("the core listed no messages within 10 s");
      break;
    }
    waitsMs.push_back(probe.longestWaitMs());
    workMs.push_back(probe.longestLoopWorkMs());
  }
  reportWaits(state, std::move(waitsMs), std::move(workMs));
}
BENCHMARK(BM_CoreLoopWaitDuringBackgroundFullRead)->Unit(benchmark::kMillisecond)->Iterations(20);

// The same probe on a loop that does nothing for as long as a core's read takes here: what
// this machine alone makes a redraw wait, for comparison in the same run.
void BM_IdleLoopWait(benchmark::State& state) {
  std::vector<double> waitsMs;
  std::vector<double> workMs;
  for (auto _ : state) {
    MainLoop loop;
    RedrawProbe probe(loop);
    loop.runUntil([] { return false; }, Seconds(0.02));
    probe.stop();
    loop.runUntil([] { return false; }, Seconds(0.002));
    waitsMs.push_back(probe.longestWaitMs());
    workMs.push_back(probe.longestLoopWorkMs());
  }
  reportWaits(state, std::move(waitsMs), std::move(workMs));
}
BENCHMARK(BM_IdleLoopWait)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace glimmet
