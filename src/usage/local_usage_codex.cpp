#include "usage/local_usage_codex.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "usage/local_usage_values.hpp"
#include "usage/tail_reader.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

namespace {

constexpr size_t kRolloutLimit = 16;
// A used percent beyond this is no quota reading but a broken record.
constexpr double kLargestUsedPercent = 1000;

struct QuotaWindow {
  double used = 0;
  std::optional<std::string> reset;
};

std::optional<QuotaWindow> quotaWindow(const Json& limits, std::string_view name,
                                       const std::optional<Timestamp>& recordTime) {
  const Json* window = localUsageDictionary(limits, name);
  if (!window) return std::nullopt;
  std::optional<double> used = firstLocalUsageNumber(*window, {"used_percent", "usedPercent"});
  if (!used) {
    const auto remaining = firstLocalUsageNumber(
        *window,
        {"remaining_percent", "remaining_percentage", "remainingPercent", "remainingPercentage"});
    if (remaining)
      used = 100.0 - (*remaining > 0 && *remaining < 1 ? *remaining * 100 : *remaining);
  } else if (*used > 0 && *used < 1) {
    *used *= 100;
  }
  if (!used || *used > kLargestUsedPercent) return std::nullopt;
  QuotaWindow result;
  result.used = std::clamp(*used, 0.0, 100.0);
  for (const auto key : {"resets_at", "reset_at", "resetAt"}) {
    if (const Json* value = member(*window, key)) {
      if ((result.reset = localUsageResetString(*value))) break;
    }
  }
  // Older rollouts count down from the record instead of naming the time.
  if (!result.reset && recordTime) {
    if (auto seconds = firstLocalUsageNumber(*window, {"resets_in_seconds", "resetsInSeconds"})) {
      result.reset =
          formatIso8601(*recordTime + std::chrono::seconds{static_cast<int64_t>(*seconds)});
    }
  }
  return result;
}

void writeQuota(Json& usage, const QuotaWindow& window, const char* labelKey,
                const char* percentKey, const char* resetKey) {
  usage[labelKey] = remainingShareLabel(window.used);
  usage[percentKey] = 100.0 - window.used;
  if (window.reset) usage[resetKey] = *window.reset;
}

void writeTokens(Json& usage, const Json& total) {
  const auto put = [&](const char* key, std::optional<double> value) {
    if (value) usage[key] = *value;
  };
  put("input_tokens",
      firstLocalUsageNumber(total, {"input_tokens", "prompt_tokens", "promptTokens"}));
  put("output_tokens", firstLocalUsageNumber(total, {"output_tokens", "outputTokens",
                                                     "completion_tokens", "completionTokens"}));
  put("total_tokens", firstLocalUsageNumber(total, {"total_tokens", "tokens_total", "tokenCount"}));
  put("cache_read_tokens",
      firstLocalUsageNumber(total, {"cached_input_tokens", "cache_read_input_tokens",
                                    "cache_read_tokens", "cacheReadTokens"}));
  put("cache_write_tokens",
      firstLocalUsageNumber(total, {"cache_creation_input_tokens", "cache_write_input_tokens",
                                    "cache_write_tokens", "cacheWriteTokens"}));
  put("reasoning_tokens",
      firstLocalUsageNumber(total, {"reasoning_tokens", "reasoningTokens",
                                    "reasoning_output_tokens", "reasoningOutputTokens"}));
}

// Context left, never context sent: the window minus what the last request put in it.
void writeContext(Json& usage, const Json& info) {
  const Json* info_last = localUsageDictionary(info, "last_token_usage");
  const auto window = firstLocalUsageNumber(info, {"model_context_window"});
  if (!window || *window <= 0 || !info_last) return;
  auto inUse = firstLocalUsageNumber(*info_last, {"total_tokens", "tokens_total", "tokenCount"});
  if (!inUse) {
    const auto input = firstLocalUsageNumber(*info_last, {"input_tokens", "prompt_tokens"});
    const auto output = firstLocalUsageNumber(*info_last, {"output_tokens", "completion_tokens"});
    if (!input && !output) return;
    inUse = input.value_or(0) + output.value_or(0);
  }
  const double remaining = std::max(0.0, *window - *inUse);
  usage["context_total"] = *window;
  usage["context_remaining"] = remaining;
  usage["context_remaining_percent"] = remaining / *window * 100.0;
}

std::string projectOf(const Json& payload) {
  const auto cwd = firstString(payload, {"cwd"});
  if (!cwd) return {};
  const size_t slash = cwd->find_last_of('/', cwd->size() > 1 ? cwd->size() - 2 : 0);
  std::string name = slash == std::string::npos ? *cwd : cwd->substr(slash + 1);
  while (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}

}  // namespace

std::optional<GlimmetEvent> codexRolloutUsageEvent(const std::vector<Json>& records,
                                                   const std::string& filePath,
                                                   Timestamp fileModified) {
  const Json* rich = nullptr;  // newest payload with token usage
  const Json* richRecord = nullptr;
  const Json* quota = nullptr;  // newest rate limits, from any record
  const Json* quotaRecord = nullptr;
  std::string project;
  for (const auto& record : records) {
    const Json* payload = localUsageDictionary(record, "payload");
    if (!payload) payload = &record;
    if (const auto type = firstString(record, {"type"});
        type == "session_meta" || type == "turn_context") {
      if (auto name = projectOf(*payload); !name.empty()) project = std::move(name);
    }
    const Json* info = localUsageDictionary(*payload, "info");
    if (info && (localUsageDictionary(*info, "total_token_usage") ||
                 localUsageDictionary(*info, "last_token_usage"))) {
      rich = info;
      richRecord = &record;
    }
    if (const Json* limits = localUsageDictionary(*payload, "rate_limits")) {
      if (localUsageDictionary(*limits, "primary") || localUsageDictionary(*limits, "secondary")) {
        quota = limits;
        quotaRecord = &record;
      }
    }
  }
  if (!rich && !quota) return std::nullopt;

  Json usage = Json::object();
  usage["data_source"] = "rollout";
  usage["tool_id"] = "codex-cli";
  if (rich) {
    if (const Json* total = localUsageDictionary(*rich, "total_token_usage")) {
      writeTokens(usage, *total);
    }
    writeContext(usage, *rich);
  }
  // The newest reading wins, whichever record carried it.
  const Json* newest = rich ? richRecord : quotaRecord;
  if (quotaRecord && rich && quotaRecord > richRecord) newest = quotaRecord;
  const auto newestText = firstString(*newest, {"timestamp"});
  const std::string observedAt = normalizedLocalUsageTimestamp(newestText, fileModified);
  if (quota) {
    const auto quotaTime =
        parseLocalUsageTimestamp(firstString(*quotaRecord, {"timestamp"}).value_or(""));
    if (auto primary = quotaWindow(*quota, "primary", quotaTime)) {
      writeQuota(usage, *primary, "limit_5h_label", "limit_5h_remaining_percent", "limit_5h_reset");
    }
    if (auto secondary = quotaWindow(*quota, "secondary", quotaTime)) {
      writeQuota(usage, *secondary, "weekly_label", "weekly_remaining_percent", "weekly_reset");
    }
  }
  if (usage.size() <= 2) return std::nullopt;  // nothing but provenance survived the checks
  usage["observed_at"] = observedAt;

  UsageOnlyEventFields fields;
  fields.idPrefix = "local-codex-rollout";
  fields.source = "codex";
  fields.title = "Codex usage updated";
  fields.timestamp = observedAt;
  fields.filePath = filePath;
  fields.project = project;
  fields.usage = std::move(usage);
  return usageOnlyEvent(fields);
}

std::vector<GlimmetEvent> loadCodexRolloutUsageEvents(const std::optional<std::string>& root,
                                                      Timestamp now) {
  if (!root) return {};
  UsageFileQuery query;
  query.root = *root;
  query.limit = kRolloutLimit;
  query.cacheKey = "codex-rollout";
  query.extensions = {".jsonl"};
  query.include = [](std::string_view name) { return startsWith(name, "rollout-"); };
  std::vector<GlimmetEvent> events;
  for (const auto& path : recentUsageFiles(query, now)) {
    auto event = cachedFileEvent("codex", path, [&path]() -> std::optional<GlimmetEvent> {
      const auto modified = localUsageFileModifiedAt(path);
      if (!modified) return std::nullopt;
      return codexRolloutUsageEvent(jsonObjectsFromTail(path, kLocalUsageTailBytes), path,
                                    *modified);
    });
    if (event) events.push_back(std::move(*event));
  }
  return events;
}

}  // namespace glimmet
