// Local usage loaders over a generated tree of 16 Codex rollouts and 256 Claude Code
// transcripts of 1-5 MB each: the first scan (every cache cold), and a rescan of the unchanged
// tree, which must read no bytes at all (counter bytes_read).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <fmt/format.h>

#include "platform/file_system.hpp"
#include "usage/local_usage_loaders.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {
namespace {

constexpr int kRollouts = 16;
constexpr int kTranscripts = 256;

struct Tree {
  std::string root;
  Timestamp now;
  LocalToolRoots roots;
};

std::string isoMinutesAgo(Timestamp now, int minutes) {
  return formatIso8601(now - std::chrono::minutes{minutes});
}

// 1-5 MB, spread evenly over the files.
size_t targetBytes(int index, int count) {
  return 1'000'000 + static_cast<size_t>(index) * 4'000'000 / static_cast<size_t>(count - 1);
}

void writeTranscript(const std::string& path, int index, Timestamp now, size_t bytes) {
  std::ofstream out(path, std::ios::binary);
  const std::string filler(3000, 'x');
  size_t written = 0;
  for (int line = 0; written < bytes; ++line) {
    const int minutesAgo = 240 - static_cast<int>(written * 230 / bytes);
    std::string record;
    if (line % 4 == 3) {
      record = fmt::format(
          R"({{"type":"assistant","timestamp":"{}","requestId":"req_{}_{}","cwd":"/home/dev/p{}",)"
          R"("message":{{"id":"msg_{}_{}","role":"assistant","content":[{{"type":"text",)"
          R"("text":"{}"}}],"usage":{{"input_tokens":{},"cache_creation_input_tokens":120,)"
          R"("cache_read_input_tokens":4000,"output_tokens":{}}}}}}})",
          isoMinutesAgo(now, minutesAgo), index, line, index, index, line, filler.substr(0, 600),
          100 + line % 50, 20 + line % 30);
    } else {
      record = fmt::format(
          R"({{"type":"user","timestamp":"{}","cwd":"/home/dev/p{}","message":{{"role":"user",)"
          R"("content":[{{"type":"tool_result","content":"{}"}}]}}}})",
          isoMinutesAgo(now, minutesAgo), index, filler);
    }
    record += '\n';
    out << record;
    written += record.size();
  }
}

void writeRollout(const std::string& path, Timestamp now, size_t bytes) {
  std::ofstream out(path, std::ios::binary);
  const std::string filler(3000, 'y');
  size_t written = 0;
  for (int line = 0; written < bytes; ++line) {
    std::string record;
    if (line % 5 == 4) {
      record = fmt::format(
          R"({{"timestamp":"{}","type":"event_msg","payload":{{"type":"token_count","info":{{)"
          R"("total_token_usage":{{"input_tokens":{},"cached_input_tokens":20,"output_tokens":8,)"
          R"("total_tokens":{}}},"last_token_usage":{{"total_tokens":3000}},)"
          R"("model_context_window":258400}},"rate_limits":{{"primary":{{"used_percent":12.5,)"
          R"("window_minutes":300,"resets_at":1796494987}},"secondary":{{"used_percent":40.0,)"
          R"("window_minutes":10080,"resets_at":1796577787}}}}}}}})",
          isoMinutesAgo(now, 60), line * 100, line * 108);
    } else {
      record =
          fmt::format(R"({{"timestamp":"{}","type":"response_item","payload":{{"type":"message",)"
                      R"("role":"assistant","content":[{{"type":"output_text","text":"{}"}}]}}}})",
                      isoMinutesAgo(now, 60), filler);
    }
    record += '\n';
    out << record;
    written += record.size();
  }
}

// Outlives every static, so that the exit handler can still name the directory.
std::string* gBenchRoot = nullptr;

void coldCaches() {
  clearLocalUsageCaches();
  clearAllLocalUsageCaches();
}

const Tree& tree() {
  static const Tree generated = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "glimmet-usage-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    gBenchRoot = new std::string(pattern);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*gBenchRoot, ignored);
    });
    Tree result;
    result.root = pattern;
    result.now = systemNow();
    const std::string codex = pattern + "/codex/2026/12/06";
    std::filesystem::create_directories(codex);
    for (int i = 0; i < kRollouts; ++i) {
      writeRollout(fmt::format("{}/rollout-2026-12-06T10-{:02}-00-{:08x}.jsonl", codex, i, i),
                   result.now, targetBytes(i, kRollouts));
    }
    for (int i = 0; i < kTranscripts; ++i) {
      const std::string project = fmt::format("{}/claude/-home-dev-p{}", pattern, i % 16);
      std::filesystem::create_directories(project);
      writeTranscript(fmt::format("{}/{:08x}.jsonl", project, i), i, result.now,
                      targetBytes(i, kTranscripts));
    }
    result.roots.codexSessionsRoot = pattern + "/codex";
    result.roots.claudeProjectsRoot = pattern + "/claude";
    result.roots.traeTrajectoryRoot = pattern + "/trae";
    return result;
  }();
  return generated;
}

void BM_LocalUsageFirstScan(benchmark::State& state) {
  const Tree& generated = tree();
  uint64_t bytes = 0;
  size_t events = 0;
  for (auto _ : state) {
    coldCaches();
    const uint64_t before = fileSystemCounters().bytesRead;
    events = loadLocalUsageEvents(generated.roots, generated.now).size();
    bytes += fileSystemCounters().bytesRead - before;
  }
  state.counters["bytes_read"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
  state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(BM_LocalUsageFirstScan)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LocalUsageUnchangedRescan(benchmark::State& state) {
  const Tree& generated = tree();
  coldCaches();
  loadLocalUsageEvents(generated.roots, generated.now);
  uint64_t bytes = 0;
  for (auto _ : state) {
    const uint64_t before = fileSystemCounters().bytesRead;
    benchmark::DoNotOptimize(loadLocalUsageEvents(generated.roots, generated.now));
    bytes += fileSystemCounters().bytesRead - before;
  }
  state.counters["bytes_read"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LocalUsageUnchangedRescan)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace glimmet
