#include "store/local_scan.hpp"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "platform/file_system.hpp"

namespace glimmet {

namespace {

constexpr size_t kClaudeCandidateLimit = 256;
constexpr size_t kOtherCandidateLimit = 4096;
constexpr double kHotplugDuplicateWindowSeconds = 600;

void appendMetric(std::string& line, const char* name, const std::optional<UsageMetric>& metric) {
  if (!metric) return;
  line += fmt::format("|{}={}~{}~{}", name, metric->label, metric->suffix,
                      metric->percent ? fmt::format("{:.4f}", *metric->percent) : "-");
  for (const double value : metric->values) line += fmt::format("~{:.4f}", value);
}

void appendCandidates(std::string& out, const char* name, const std::optional<std::string>& root,
                      std::string_view prefix, std::string_view suffix, size_t limit) {
  out += name;
  if (!root || !isDirectory(*root)) {
    out += "|missing\n";
    return;
  }
  out += '\n';
  auto files = listFiles(*root, prefix, suffix, limit);
  std::sort(files.begin(), files.end(),
            [](const ListedFile& a, const ListedFile& b) { return a.path < b.path; });
  for (const auto& file : files) {
    out +=
        fmt::format("{}|{}|{}\n", file.path, file.size, file.modified.time_since_epoch().count());
  }
}

}  // namespace

std::string loaderResultFingerprint(const std::vector<GlimmetEvent>& events) {
  std::string fingerprint;
  for (const auto& event : events) {
    std::string line =
        fmt::format("{}|{}|{}|{}|{}|{}|{}", event.id, event.source, event.eventType.raw(),
                    event.status.raw(), event.rawTimestamp, event.title, event.message);
    if (event.usage) {
      const auto& usage = *event.usage;
      line += fmt::format("|{}|{}|{}|{}", rawValue(usage.quality), rawValue(usage.sourceClass),
                          usage.label, usage.observedAt);
      appendMetric(line, "context", usage.context);
      appendMetric(line, "tokens", usage.tokens);
      appendMetric(line, "cost", usage.cost);
      appendMetric(line, "fiveHour", usage.fiveHour);
      appendMetric(line, "daily", usage.daily);
      appendMetric(line, "weekly", usage.weekly);
      appendMetric(line, "rateLimit", usage.rateLimit);
    }
    if (!fingerprint.empty()) fingerprint += '\n';
    fingerprint += line;
  }
  return fingerprint;
}

std::string localUsageCandidateFingerprint(const LocalToolRoots& roots) {
  std::string out;
  appendCandidates(out, "codex", roots.codexSessionsRoot, "rollout-", ".jsonl",
                   kOtherCandidateLimit);
  appendCandidates(out, "claude", roots.claudeProjectsRoot, "", ".jsonl", kClaudeCandidateLimit);
  appendCandidates(out, "trae", roots.traeTrajectoryRoot, "", ".json", kOtherCandidateLimit);
  appendCandidates(out, "gemini", roots.geminiTmpRoot, "session-", ".jsonl", kOtherCandidateLimit);
  return out;
}

std::vector<GlimmetEvent> dedupedLocalHotplugEvents(const std::vector<GlimmetEvent>& hotplug,
                                                    const std::vector<GlimmetEvent>& bridge) {
  std::vector<GlimmetEvent> kept;
  for (const auto& candidate : hotplug) {
    const bool duplicate = std::any_of(bridge.begin(), bridge.end(), [&](const GlimmetEvent& b) {
      return b.eventType == candidate.eventType && b.sessionId == candidate.sessionId &&
             b.toolName == candidate.toolName && b.message == candidate.message &&
             std::fabs(secondsBetween(b.timestamp, candidate.timestamp)) <
                 kHotplugDuplicateWindowSeconds;
    });
    if (!duplicate) kept.push_back(candidate);
  }
  return kept;
}

}  // namespace glimmet
