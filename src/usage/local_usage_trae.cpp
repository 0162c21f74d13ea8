#include "usage/local_usage_trae.hpp"

#include "usage/local_usage_values.hpp"
#include "usage/tail_reader.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

namespace {

constexpr size_t kTrajectoryLimit = 32;

struct TokenSums {
  double input = 0, output = 0, cacheRead = 0, cacheWrite = 0, reasoning = 0;
  bool any = false, anyCacheRead = false, anyCacheWrite = false, anyReasoning = false;
};

void add(TokenSums& sums, const Json& usage) {
  const auto take = [&](std::initializer_list<std::string_view> keys, double& sum, bool* flag) {
    if (auto value = firstLocalUsageNumber(usage, keys)) {
      sum += *value;
      sums.any = true;
      if (flag) *flag = true;
    }
  };
  take({"input_tokens", "prompt_tokens", "promptTokens"}, sums.input, nullptr);
  take({"output_tokens", "completion_tokens", "completionTokens"}, sums.output, nullptr);
  take({"cache_read_input_tokens", "cache_read_tokens", "cached_input_tokens", "cacheReadTokens"},
       sums.cacheRead, &sums.anyCacheRead);
  take({"cache_creation_input_tokens", "cache_write_tokens", "cacheWriteTokens"}, sums.cacheWrite,
       &sums.anyCacheWrite);
  take({"reasoning_tokens", "reasoningTokens"}, sums.reasoning, &sums.anyReasoning);
}

}  // namespace

std::optional<GlimmetEvent> traeTrajectoryUsageEvent(const Json& trajectory,
                                                     const std::string& filePath,
                                                     Timestamp fileModified) {
  const Json* interactions = member(trajectory, "llm_interactions");
  if (!interactions || !interactions->is_array()) return std::nullopt;
  TokenSums sums;
  for (const auto& interaction : *interactions) {
    const Json* response = localUsageDictionary(interaction, "response");
    const Json* usage = response ? localUsageDictionary(*response, "usage") : nullptr;
    if (usage) add(sums, *usage);
  }
  if (!sums.any) return std::nullopt;

  Json usage = Json::object();
  usage["data_source"] = "trajectory";
  usage["tool_id"] = "trae-agent-cli";
  usage["input_tokens"] = sums.input;
  usage["output_tokens"] = sums.output;
  usage["total_tokens"] = sums.input + sums.output;
  if (sums.anyCacheRead) usage["cache_read_tokens"] = sums.cacheRead;
  if (sums.anyCacheWrite) usage["cache_write_tokens"] = sums.cacheWrite;
  if (sums.anyReasoning) usage["reasoning_tokens"] = sums.reasoning;
  if (auto provider = firstString(trajectory, {"provider"})) usage["provider"] = *provider;
  if (auto model = firstString(trajectory, {"model"})) usage["model"] = *model;
  const std::string observedAt = normalizedLocalUsageTimestamp(
      firstString(trajectory, {"end_time"}) ? firstString(trajectory, {"end_time"})
                                            : firstString(trajectory, {"start_time"}),
      fileModified);
  usage["observed_at"] = observedAt;

  UsageOnlyEventFields fields;
  fields.idPrefix = "local-trae-trajectory";
  fields.source = "trae-agent-cli";
  fields.title = "Trae Agent usage updated";
  fields.timestamp = observedAt;
  fields.filePath = filePath;
  fields.usage = std::move(usage);
  return usageOnlyEvent(fields);
}

std::vector<GlimmetEvent> loadTraeTrajectoryUsageEvents(const std::optional<std::string>& root,
                                                        Timestamp now) {
  if (!root) return {};
  UsageFileQuery query;
  query.root = *root;
  query.limit = kTrajectoryLimit;
  query.cacheKey = "trae-trajectory";
  query.extensions = {".json"};
  std::vector<GlimmetEvent> events;
  for (const auto& path : recentUsageFiles(query, now)) {
    auto event = cachedFileEvent("trae-trajectory", path, [&path]() -> std::optional<GlimmetEvent> {
      const auto modified = localUsageFileModifiedAt(path);
      if (!modified) return std::nullopt;
      const auto objects = jsonObjectsFromFile(path);
      if (objects.empty()) return std::nullopt;
      return traeTrajectoryUsageEvent(objects.front(), path, *modified);
    });
    if (event) events.push_back(std::move(*event));
  }
  return events;
}

}  // namespace glimmet
