#include "usage/local_usage_claude.hpp"

#include <algorithm>

#include "usage/local_usage_values.hpp"
#include "usage/tail_reader.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

namespace {

constexpr size_t kTranscriptLimit = 64;

const Json* usageOf(const Json& record) {
  if (const Json* message = localUsageDictionary(record, "message")) {
    if (const Json* usage = localUsageDictionary(*message, "usage")) return usage;
  }
  return localUsageDictionary(record, "usage");
}

std::optional<double> contextWindowOf(const Json& record, const Json& usage) {
  for (const Json* holder : {&usage, localUsageDictionary(record, "message"), &record}) {
    if (!holder) continue;
    if (auto window = firstLocalUsageNumber(*holder, {"context_window", "contextWindow"})) {
      if (*window > 0) return window;
    }
  }
  return std::nullopt;
}

std::string lastPathComponent(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<GlimmetEvent> claudeTranscriptUsageEvent(const std::vector<Json>& records,
                                                       const std::string& filePath,
                                                       Timestamp fileModified) {
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    const Json& record = *it;
    const Json* source = usageOf(record);
    if (!source) continue;
    const auto input = firstLocalUsageNumber(*source, {"input_tokens", "prompt_tokens"});
    const auto output = firstLocalUsageNumber(*source, {"output_tokens", "completion_tokens"});
    const auto total = firstLocalUsageNumber(*source, {"total_tokens"});
    const auto cacheRead = firstLocalUsageNumber(
        *source,
        {"cache_read_tokens", "cached_tokens", "cache_read_input_tokens", "cached_input_tokens"});
    const auto cacheWrite = firstLocalUsageNumber(
        *source, {"cache_write_tokens", "cacheWriteTokens", "cache_creation_input_tokens"});
    if (!input && !output && !total && !cacheRead && !cacheWrite) continue;

    Json usage = Json::object();
    usage["data_source"] = "transcript";
    usage["tool_id"] = "claude-code";
    if (input || output) {
      usage["total_tokens"] = input.value_or(0) + output.value_or(0);
    } else if (total) {
      usage["total_tokens"] = *total;
    }
    if (cacheRead) usage["cache_read_tokens"] = *cacheRead;
    if (cacheWrite) usage["cache_write_tokens"] = *cacheWrite;
    if (const auto window = contextWindowOf(record, *source)) {
      // What the next request carries: the prompt with everything cached for it.
      const double inUse = input.value_or(0) + cacheRead.value_or(0) + cacheWrite.value_or(0);
      const double remaining = std::max(0.0, *window - inUse);
      usage["context_total"] = *window;
      usage["context_remaining"] = remaining;
      usage["context_remaining_percent"] = remaining / *window * 100.0;
    }
    // The record's own time only when it is usable; the file's time otherwise and in general,
    // since a transcript being written is a session in use.
    const std::string recordTime =
        normalizedLocalUsageTimestamp(firstString(record, {"timestamp"}), fileModified);
    const std::string observedAt = std::max(recordTime, formatIso8601(fileModified));
    usage["observed_at"] = observedAt;

    UsageOnlyEventFields fields;
    fields.idPrefix = "local-claude-transcript";
    fields.source = "claude_code";
    fields.title = "Claude Code usage updated";
    fields.timestamp = observedAt;
    fields.filePath = filePath;
    if (const auto cwd = firstString(record, {"cwd"})) fields.project = lastPathComponent(*cwd);
    fields.usage = std::move(usage);
    return usageOnlyEvent(fields);
  }
  return std::nullopt;
}

std::vector<GlimmetEvent> loadClaudeTranscriptUsageEvents(const std::optional<std::string>& root,
                                                          Timestamp now) {
  if (!root) return {};
  UsageFileQuery query;
  query.root = *root;
  query.limit = kTranscriptLimit;
  query.cacheKey = "claude-transcript";
  query.extensions = {".jsonl"};
  std::vector<GlimmetEvent> events;
  for (const auto& path : recentUsageFiles(query, now)) {
    auto event = cachedFileEvent("claude", path, [&path]() -> std::optional<GlimmetEvent> {
      const auto modified = localUsageFileModifiedAt(path);
      if (!modified) return std::nullopt;
      return claudeTranscriptUsageEvent(jsonObjectsFromTail(path, kLocalUsageTailBytes), path,
                                        *modified);
    });
    if (event) events.push_back(std::move(*event));
  }
  return events;
}

}  // namespace glimmet
