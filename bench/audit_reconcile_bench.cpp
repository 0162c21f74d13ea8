// Reconciling the approval audit log at launch, which runs before the socket starts: a log of
// 200,000 lines (an old, never rotated one) costs the same as a small one, because only its
// tail is read.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "approvals/audit_writer.hpp"

namespace glimmet {
namespace {

void writeLog(const std::string& path, int requests) {
  std::ofstream out(path, std::ios::trunc);
  for (int i = 0; i < requests; ++i) {
    out << R"({"agent":"codex","command":"ls","cwd":"/w","kind":"permission_request","request_id":"r)"
        << i
        << R"(","role":"pending_request","session_id":"s","timestamp":"2026-03-01T12:00:00Z","tool":""})"
           "\n"
        << R"({"decision":"allow","latency_ms":5,"mode":"once","request_id":"r)" << i
        << R"(","role":"pending_reply","status":"answered","timestamp":"2026-03-01T12:00:00Z"})"
           "\n";
  }
}

void BM_ReconcileOnLaunch(benchmark::State& state) {
  char pattern[] = "/tmp/glimmet-audit-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  const std::string file = dir + "/audit.jsonl";
  writeLog(file, static_cast<int>(state.range(0)) / 2);
  AuditLimits limits;
  limits.rotateBytes = 1ull << 40;
  size_t linesRead = 0;
  for (auto _ : state) {
    linesRead = AuditWriter(file, systemNow, limits).reconcileOnLaunch().linesRead;
  }
  state.counters["lines_read"] = static_cast<double>(linesRead);
  ::unlink(file.c_str());
  ::rmdir(dir.c_str());
}
BENCHMARK(BM_ReconcileOnLaunch)->Arg(1000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace glimmet
