#include "store/local_scan.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include <fmt/format.h>

#include "base/text.hpp"
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

namespace {

// Runs of white space as one space, ends trimmed.
std::string collapsedSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool pendingSpace = false;
  for (const char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      pendingSpace = !out.empty();
      continue;
    }
    if (pendingSpace) out += ' ';
    pendingSpace = false;
    out += c;
  }
  return out;
}

// Without a trailing ellipsis; whether there was one.
bool dropEllipsis(std::string& text) {
  for (const std::string_view mark : {std::string_view("\xE2\x80\xA6"), std::string_view("...")}) {
    if (text.size() >= mark.size() && text.ends_with(mark)) {
      text.resize(text.size() - mark.size());
      return true;
    }
  }
  return false;
}

}  // namespace

bool hotplugMessageMatches(std::string_view bridgeMessage, std::string_view hotplugMessage,
                           std::string_view toolName) {
  if (bridgeMessage == hotplugMessage) return true;
  std::string bridge = collapsedSpaces(bridgeMessage);
  // A bridge names the tool before the command ("Bash - npm test"); a detector shows the command.
  const std::string toolPrefix = std::string(toolName) + " - ";
  if (!toolName.empty() && bridge.starts_with(toolPrefix)) bridge.erase(0, toolPrefix.size());
  std::string hotplug = collapsedSpaces(hotplugMessage);
  const bool bridgeShortened = dropEllipsis(bridge);
  const bool hotplugShortened = dropEllipsis(hotplug);
  if (bridge.empty() || hotplug.empty()) return false;
  if (bridge == hotplug) return true;
  // Each side shortens long commands at its own length: the shortened one must begin the other.
  constexpr size_t kShortestComparedPrefix = 16;
  if (hotplugShortened && hotplug.size() >= kShortestComparedPrefix &&
      bridge.starts_with(hotplug)) {
    return true;
  }
  return bridgeShortened && bridge.size() >= kShortestComparedPrefix && hotplug.starts_with(bridge);
}

std::vector<GlimmetEvent> dedupedLocalHotplugEvents(const std::vector<GlimmetEvent>& hotplug,
                                                    const std::vector<GlimmetEvent>& bridge) {
  std::vector<GlimmetEvent> kept;
  for (const auto& candidate : hotplug) {
    const bool duplicate = std::any_of(bridge.begin(), bridge.end(), [&](const GlimmetEvent& b) {
      return b.eventType == candidate.eventType && b.sessionId == candidate.sessionId &&
             b.toolName == candidate.toolName &&
             hotplugMessageMatches(b.message, candidate.message, candidate.toolName) &&
             std::fabs(secondsBetween(b.timestamp, candidate.timestamp)) <
                 kHotplugDuplicateWindowSeconds;
    });
    if (!duplicate) kept.push_back(candidate);
  }
  return kept;
}

}  // namespace glimmet
