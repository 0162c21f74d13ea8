#include "model/usage_snapshot.hpp"

#include <array>
#include <cmath>

#include <fmt/format.h>

#include "base/json_line_reader.hpp"
#include "base/name_table.hpp"
#include "base/text.hpp"

namespace glimmet {

namespace {

using Keys = std::initializer_list<std::string_view>;

constexpr auto kUsageStatusNames = std::to_array<EnumName<UsageStatus>>({
    {UsageStatus::ok, "ok"},
    {UsageStatus::warning, "warning"},
    {UsageStatus::limited, "limited"},
    {UsageStatus::error, "error"},
});
static_assert(isCompleteNameTable(kUsageStatusNames) &&
              kUsageStatusNames.back().value == UsageStatus::error);

// A whole percent for display that never claims a full 0 % or 100 % it has not reached.
std::string percentText(double percent) {
  double rounded = std::round(percent);
  if (rounded >= 100.0 && percent < 100.0) rounded = 99.0;
  if (rounded <= 0.0 && percent > 0.0) rounded = 1.0;
  return fmt::format("{:.0f}%", rounded);
}

UsageStatus statusForUsedPercent(double used) {
  if (used >= 100.0) return UsageStatus::limited;
  if (used >= 80.0) return UsageStatus::warning;
  return UsageStatus::ok;
}

// A key ending in "_percent" or "Percent" has a remaining twin, spelled into `buffer` (every
// line with usage asks for several, so no string is allocated for them).
using KeyBuffer = std::array<char, 96>;
std::string_view remainingVariant(std::string_view key, KeyBuffer& buffer) {
  std::string_view stem;
  std::string_view suffix;
  if (endsWith(key, "_percent")) {
    stem = key.substr(0, key.size() - 8);
    suffix = "_remaining_percent";
  } else if (endsWith(key, "Percent")) {
    stem = key.substr(0, key.size() - 7);
    suffix = "RemainingPercent";
  } else {
    return {};
  }
  if (stem.size() + suffix.size() > buffer.size()) return {};
  std::copy(stem.begin(), stem.end(), buffer.begin());
  std::copy(suffix.begin(), suffix.end(),
            buffer.begin() + static_cast<std::ptrdiff_t>(stem.size()));
  return {buffer.data(), stem.size() + suffix.size()};
}

template <typename Value>
std::optional<UsageMetric> makeQuotaMetric(const Value& usage, Keys labelKeys, Keys percentKeys,
                                           Keys resetKeys, const std::string& window) {
  const auto label = firstString(usage, labelKeys);
  std::optional<double> used;
  std::optional<double> remaining;
  for (const auto key : percentKeys) {
    if (const auto* value = member(usage, key)) {
      if ((used = doubleValue(*value))) break;
    }
    KeyBuffer buffer;
    const std::string_view twin = remainingVariant(key, buffer);
    if (const auto* value = twin.empty() ? nullptr : member(usage, twin)) {
      if ((remaining = doubleValue(*value))) break;
    }
  }
  const auto reset = firstString(usage, resetKeys);
  if (!label && !used && !remaining) return std::nullopt;
  UsageMetric metric;
  if (used) {
    metric.percent = *used;
    metric.label = percentText(*used) + " used";
    metric.status = statusForUsedPercent(*used);
    metric.values = {*used};
  } else if (remaining) {
    metric.percent = 100.0 - *remaining;
    metric.label = percentText(*remaining) + " left";
    metric.status = statusForUsedPercent(100.0 - *remaining);
    metric.values = {*remaining};
  }
  if (label) metric.label = *label;
  metric.suffix = reset ? "resets " + *reset : window;
  return metric;
}

template <typename Value>
std::optional<UsageMetric> makeContextMetric(const Value& usage) {
  const auto remainingPercent =
      firstDouble(usage, {"context_remaining_percent", "contextRemainingPercent"});
  const auto usedPercent =
      firstDouble(usage, {"context_percent", "context_window_percent", "contextPercent"});
  const auto remaining = firstDouble(usage, {"context_remaining", "contextRemaining"});
  const auto used = firstDouble(usage, {"context_used", "context_used_tokens", "contextUsed"});
  const auto total = firstDouble(usage, {"context_total", "context_total_tokens", "context_window",
                                         "contextWindow", "contextTotal"});
  const auto label = firstString(usage, {"context_window_label"});
  UsageMetric metric;
  if (remainingPercent) {
    metric.label = "Context " + percentText(*remainingPercent) + " left";
    metric.percent = 100.0 - *remainingPercent;
  } else if (remaining && total && *total > 0) {
    metric.label = "Context " + compactCount(*remaining) + " left";
    metric.percent = 100.0 * (1.0 - *remaining / *total);
  } else if (usedPercent) {
    metric.label = "Context " + percentText(*usedPercent) + " used";
    metric.percent = *usedPercent;
  } else if (used && total && *total > 0) {
    metric.label = "Context " + compactCount(*used) + " used";
    metric.percent = 100.0 * *used / *total;
  } else if (label) {
    metric.label = "Context " + *label;
  } else {
    return std::nullopt;
  }
  if (total) metric.suffix = compactCount(*total) + " window";
  metric.status = statusForUsedPercent(metric.percent.value_or(0));
  for (const auto& value : {remainingPercent, usedPercent, remaining, used, total}) {
    if (value) metric.values.push_back(*value);
  }
  return metric;
}

template <typename Value>
std::optional<UsageMetric> makeTokensMetric(const Value& usage) {
  const auto input =
      firstDouble(usage, {"input_tokens", "inputTokens", "prompt_tokens", "promptTokens"});
  const auto output = firstDouble(
      usage, {"output_tokens", "outputTokens", "completion_tokens", "completionTokens"});
  const auto total =
      firstDouble(usage, {"total_tokens", "totalTokens", "token_count", "tokenCount"});
  const auto cacheRead = firstDouble(usage, {"cache_read_tokens", "cacheReadTokens",
                                             "cache_read_input_tokens", "cached_input_tokens"});
  const auto cacheWrite =
      firstDouble(usage, {"cache_write_tokens", "cacheWriteTokens", "cache_creation_input_tokens"});
  const auto reasoning = firstDouble(usage, {"reasoning_tokens", "reasoningTokens"});
  if (!input && !output && !total && !cacheRead && !cacheWrite && !reasoning) return std::nullopt;
  UsageMetric metric;
  if (input) {
    metric.label = compactCount(*input) + " in";
  } else if (total) {
    metric.label = compactCount(*total) + " tokens";
  } else {
    metric.label = "Tokens";
  }
  std::vector<std::string> parts;
  if (output) parts.push_back(compactCount(*output) + " out");
  if (cacheRead) parts.push_back(compactCount(*cacheRead) + " cache read");
  if (cacheWrite) parts.push_back(compactCount(*cacheWrite) + " cache write");
  if (reasoning) parts.push_back(compactCount(*reasoning) + " reasoning");
  if (total && input) parts.push_back(compactCount(*total) + " total");
  metric.suffix = join(parts, " · ");
  metric.status = UsageStatus::ok;
  for (const auto& value : {input, output, total, cacheRead, cacheWrite, reasoning}) {
    metric.values.push_back(value.value_or(-1));
  }
  return metric;
}

template <typename Value>
std::optional<UsageMetric> makeCostMetric(const Value& usage) {
  std::optional<double> amount;
  bool dollars = false;
  for (const auto key : {"cost_amount", "cost_usd", "costUSD", "costAmount", "total_cost",
                         "totalCost", "amount", "cost"}) {
    if (const auto* value = member(usage, key)) {
      if ((amount = doubleValue(*value))) {
        dollars = std::string_view(key) == "cost_usd" || std::string_view(key) == "costUSD";
        break;
      }
    }
  }
  if (!amount) return std::nullopt;
  const bool estimate =
      firstBool(usage, {"cost_estimate", "costEstimate", "estimate"}).value_or(false);
  auto currency = firstString(usage, {"cost_currency", "costCurrency", "currency"});
  if (!currency && dollars) currency = "USD";
  UsageMetric metric;
  metric.label = (currency == "USD" || !currency) ? fmt::format("${:.2f}", *amount)
                                                  : fmt::format("{:.2f} {}", *amount, *currency);
  if (estimate) metric.label = "~" + metric.label;
  metric.suffix = estimate ? "estimated cost" : "cost";
  metric.status = UsageStatus::ok;
  metric.values = {*amount};
  return metric;
}

template <typename Value>
std::optional<UsageMetric> makeRateLimitMetric(const Value& usage) {
  const auto label = firstString(usage, {"rate_limit_label", "rateLimitLabel"});
  const auto reset = firstString(usage, {"rate_limit_reset", "rateLimitReset"});
  const auto blocked = firstBool(usage, {"rate_limit_blocked", "rateLimitBlocked"});
  const auto warning = firstBool(usage, {"rate_limit_warning", "rateLimitWarning"});
  if (!label && !reset && !blocked && !warning) return std::nullopt;
  UsageMetric metric;
  if (blocked.value_or(false)) {
    metric.label = label.value_or("Blocked");
    metric.status = UsageStatus::limited;
  } else if (warning.value_or(false)) {
    metric.label = label.value_or("Limit warning");
    metric.status = UsageStatus::warning;
  } else {
    metric.label = label.value_or("OK");
    const std::string lower = toLower(metric.label);
    const bool limited = contains(lower, "blocked") || contains(lower, "limited") ||
                         contains(lower, "limit reached") || contains(lower, "usage limit");
    metric.status = limited                    ? UsageStatus::limited
                    : contains(lower, "error") ? UsageStatus::error
                                               : UsageStatus::ok;
  }
  metric.suffix = reset ? "resets " + *reset : "";
  metric.values = {blocked.value_or(false) ? 1.0 : 0.0, warning.value_or(false) ? 1.0 : 0.0};
  return metric;
}

UsageSourceClass usageSourceClassFor(const std::string& sourceType, const std::string& source) {
  const std::string type = toLower(sourceType);
  if (contains(type, "loader")) return UsageSourceClass::stableLocalLoader;
  if (contains(type, "remote") || contains(type, "webhook")) return UsageSourceClass::remoteOptIn;
  if (contains(type, "wrapper")) return UsageSourceClass::wrapperExplicit;
  if (contains(toLower(source), "app") || contains(type, "app")) return UsageSourceClass::jumpOnly;
  return UsageSourceClass::officialPush;
}

}  // namespace

const char* rawValue(UsageQuality value) {
  switch (value) {
    case UsageQuality::official:
      return "official";
    case UsageQuality::stableLocal:
      return "stableLocal";
    case UsageQuality::wrapperExplicit:
      return "wrapperExplicit";
    case UsageQuality::demo:
      return "demo";
  }
  return "official";
}

const char* rawValue(UsageSourceClass value) {
  switch (value) {
    case UsageSourceClass::officialPush:
      return "officialPush";
    case UsageSourceClass::stableLocalLoader:
      return "stableLocalLoader";
    case UsageSourceClass::wrapperExplicit:
      return "wrapperExplicit";
    case UsageSourceClass::remoteOptIn:
      return "remoteOptIn";
    case UsageSourceClass::jumpOnly:
      return "jumpOnly";
    case UsageSourceClass::messagesOnly:
      return "messagesOnly";
    case UsageSourceClass::rateLimitSignal:
      return "rateLimitSignal";
    case UsageSourceClass::unsupported:
      return "unsupported";
  }
  return "unsupported";
}

std::string_view rawValue(UsageStatus value) {
  return rawName(kUsageStatusNames, value);
}

std::optional<UsageStatus> usageStatusFromRaw(std::string_view raw) {
  return valueNamed(kUsageStatusNames, raw);
}

bool UsageSnapshot::reportsError() const {
  for (const auto* metric : {&context, &tokens, &cost, &fiveHour, &daily, &weekly, &rateLimit}) {
    if (*metric && (*metric)->status == UsageStatus::error) return true;
  }
  return false;
}

std::string compactCount(double count) {
  if (count >= 1'000'000) return fmt::format("{:.1f}m", count / 1'000'000);
  if (count >= 1'000) return fmt::format("{:.1f}k", count / 1'000);
  return fmt::format("{:.0f}", count);
}

std::optional<std::string> expandedTopQuotaText(const UsageSnapshot& snapshot) {
  std::vector<std::string> parts;
  const auto part = [&](const char* window, const std::optional<UsageMetric>& metric) {
    if (!metric) return;
    if (metric->percent) {
      parts.push_back(fmt::format("{} {:.0f}%", window, std::round(*metric->percent)));
      return;
    }
    const std::string rest = trim(replaceAll(replaceAll(metric->label, " used", ""), " left", ""));
    if (!rest.empty()) parts.push_back(fmt::format("{} {}", window, rest));
  };
  part("5h", snapshot.fiveHour);
  part("7d", snapshot.weekly);
  if (parts.empty()) return std::nullopt;
  return join(parts, " · ");
}

void summarizeUsageSnapshot(UsageSnapshot& snapshot) {
  if (auto quota = expandedTopQuotaText(snapshot)) {
    snapshot.label = *quota;
  } else if (snapshot.context) {
    snapshot.label = snapshot.context->label;
  } else if (snapshot.tokens) {
    snapshot.label = snapshot.tokens->label;
  } else if (snapshot.rateLimit) {
    snapshot.label = snapshot.rateLimit->label;
  } else if (snapshot.cost) {
    snapshot.label = snapshot.cost->label;
  } else {
    snapshot.label = "No usage";
  }
  if (snapshot.fiveHour && snapshot.fiveHour->percent) {
    snapshot.percent = snapshot.fiveHour->percent;
  } else if (snapshot.weekly && snapshot.weekly->percent) {
    snapshot.percent = snapshot.weekly->percent;
  } else if (snapshot.context) {
    snapshot.percent = snapshot.context->percent;
  }
  snapshot.updated = snapshot.observedAt.empty() ? "" : "updated " + snapshot.observedAt;
}

template <typename Value>
UsageSnapshot buildUsageSnapshot(const Value& usage, const UsageSnapshotContext& context) {
  UsageSnapshot snapshot;
  snapshot.tool = context.tool;
  snapshot.source = context.source;
  snapshot.toolID = firstString(usage, {"tool_id", "toolId"}).value_or(context.toolID);
  const std::string sourceType = toLower(context.sourceType);
  std::string fallbackSource = "hook";
  if (contains(sourceType, "wrapper")) {
    fallbackSource = "wrapper";
  } else if (contains(sourceType, "webhook")) {
    fallbackSource = "webhook";
  } else if (contains(sourceType, "notify")) {
    fallbackSource = "notify";
  }
  snapshot.dataSource = firstString(usage, {"data_source", "dataSource"}).value_or(fallbackSource);
  snapshot.observedAt =
      firstString(usage, {"observed_at", "observedAt"}).value_or(context.timestamp.value_or(""));
  snapshot.sourceClass = usageSourceClassFor(context.sourceType, context.source);
  const std::string dataSource = toLower(snapshot.dataSource);
  if (snapshot.sourceClass == UsageSourceClass::stableLocalLoader) {
    snapshot.quality = UsageQuality::stableLocal;
  } else if (snapshot.sourceClass == UsageSourceClass::wrapperExplicit || dataSource == "wrapper") {
    snapshot.quality = UsageQuality::wrapperExplicit;
  } else if (dataSource == "demo") {
    snapshot.quality = UsageQuality::demo;
  }

  snapshot.context = makeContextMetric(usage);
  snapshot.tokens = makeTokensMetric(usage);
  snapshot.cost = makeCostMetric(usage);
  snapshot.fiveHour = makeQuotaMetric(
      usage,
      {"limit_5h_label", "five_hour_label", "five_hour_limit_label", "fiveHourLabel",
       "quota_label"},
      {"limit_5h_percent", "five_hour_percent", "five_hour_limit_percent", "quota_percent"},
      {"limit_5h_reset", "five_hour_reset", "five_hour_resets", "resets"}, "5h limit");
  snapshot.daily = makeQuotaMetric(usage, {"daily_label", "daily_limit_label"},
                                   {"daily_percent", "daily_limit_percent"},
                                   {"daily_reset", "daily_resets"}, "daily limit");
  snapshot.weekly = makeQuotaMetric(usage, {"weekly_label", "weekly_limit_label"},
                                    {"weekly_percent", "weekly_limit_percent"},
                                    {"weekly_reset", "weekly_resets"}, "7d limit");
  snapshot.rateLimit = makeRateLimitMetric(usage);

  summarizeUsageSnapshot(snapshot);
  return snapshot;
}

UsageSnapshot makeUsageSnapshot(const Json& usage, const UsageSnapshotContext& context) {
  return buildUsageSnapshot(usage, context);
}

UsageSnapshot makeUsageSnapshot(const JsonLineValue& usage, const UsageSnapshotContext& context) {
  return buildUsageSnapshot(usage, context);
}

}  // namespace glimmet
