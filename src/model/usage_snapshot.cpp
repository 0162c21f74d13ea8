#include "model/usage_snapshot.hpp"

#include <array>
#include <cmath>
#include <utility>

#include <fmt/format.h>

#include "base/json_line_reader.hpp"
#include "base/member_names.hpp"
#include "base/name_table.hpp"
#include "base/recent_answers.hpp"
#include "base/text.hpp"
#include "model/usage_number_text.hpp"

namespace glimmet {

namespace {

// Every name a usage object is read for, in the groups each metric is made from (a metric
// needs at least one name of its group), then the names that only qualify a metric or the
// snapshot.
constexpr auto kContextNameList = std::to_array<std::string_view>(
    {"context_remaining_percent", "contextRemainingPercent", "context_percent",
     "context_window_percent", "contextPercent", "context_remaining", "contextRemaining",
     "context_used", "context_used_tokens", "contextUsed", "context_total", "context_total_tokens",
     "context_window", "contextWindow", "contextTotal", "context_window_label"});
constexpr auto kTokenNameList = std::to_array<std::string_view>({"input_tokens",
                                                                 "inputTokens",
                                                                 "prompt_tokens",
                                                                 "promptTokens",
                                                                 "output_tokens",
                                                                 "outputTokens",
                                                                 "completion_tokens",
                                                                 "completionTokens",
                                                                 "total_tokens",
                                                                 "totalTokens",
                                                                 "token_count",
                                                                 "tokenCount",
                                                                 "cache_read_tokens",
                                                                 "cacheReadTokens",
                                                                 "cache_read_input_tokens",
                                                                 "cached_input_tokens",
                                                                 "cache_write_tokens",
                                                                 "cacheWriteTokens",
                                                                 "cache_creation_input_tokens",
                                                                 "reasoning_tokens",
                                                                 "reasoningTokens"});
constexpr auto kCostNameList =
    std::to_array<std::string_view>({"cost_amount", "cost_usd", "costUSD", "costAmount",
                                     "total_cost", "totalCost", "amount", "cost"});
constexpr auto kFiveHourNameList = std::to_array<std::string_view>(
    {"limit_5h_label", "five_hour_label", "five_hour_limit_label", "fiveHourLabel", "quota_label",
     "limit_5h_percent", "limit_5h_remaining_percent", "five_hour_percent",
     "five_hour_remaining_percent", "five_hour_limit_percent", "five_hour_limit_remaining_percent",
     "quota_percent", "quota_remaining_percent"});
constexpr auto kDailyNameList = std::to_array<std::string_view>(
    {"daily_label", "daily_limit_label", "daily_percent", "daily_remaining_percent",
     "daily_limit_percent", "daily_limit_remaining_percent"});
constexpr auto kWeeklyNameList = std::to_array<std::string_view>(
    {"weekly_label", "weekly_limit_label", "weekly_percent", "weekly_remaining_percent",
     "weekly_limit_percent", "weekly_limit_remaining_percent"});
constexpr auto kRateLimitNameList = std::to_array<std::string_view>(
    {"rate_limit_label", "rateLimitLabel", "rate_limit_reset", "rateLimitReset",
     "rate_limit_blocked", "rateLimitBlocked", "rate_limit_warning", "rateLimitWarning"});
constexpr auto kQualifierNameList = std::to_array<std::string_view>(
    {"cost_estimate", "costEstimate", "estimate",       "cost_currency",   "costCurrency",
     "currency",      "tool_id",      "toolId",         "data_source",     "dataSource",
     "observed_at",   "observedAt",   "limit_5h_reset", "five_hour_reset", "five_hour_resets",
     "resets",        "daily_reset",  "daily_resets",   "weekly_reset",    "weekly_resets"});
constexpr MemberNames kUsageNames{joinNames(kContextNameList, kTokenNameList, kCostNameList,
                                            kFiveHourNameList, kDailyNameList, kWeeklyNameList,
                                            kRateLimitNameList, kQualifierNameList)};

consteval MemberName key(std::string_view text) {
  return kUsageNames(text);
}
using Names = std::initializer_list<MemberName>;
using UsageNameSet = MemberSet<decltype(kUsageNames)::kCount>;

// Each metric's group as a set, so that a usage object with none of its names skips it at once.
constexpr UsageNameSet kContextNames = kUsageNames.set(kContextNameList);
constexpr UsageNameSet kTokenNames = kUsageNames.set(kTokenNameList);
constexpr UsageNameSet kCostNames = kUsageNames.set(kCostNameList);
constexpr UsageNameSet kFiveHourNames = kUsageNames.set(kFiveHourNameList);
constexpr UsageNameSet kDailyNames = kUsageNames.set(kDailyNameList);
constexpr UsageNameSet kWeeklyNames = kUsageNames.set(kWeeklyNameList);
constexpr UsageNameSet kRateLimitNames = kUsageNames.set(kRateLimitNameList);

// A usage object in the tree, looked up by name.
template <typename Value>
struct NamedMembers {
  const Value& object;
  const Value* get(MemberName name) const { return member(object, name.text); }
  bool mayHaveAny(const UsageNameSet& /*names*/) const { return true; }
};

// A decoded line's usage object, matched to `kUsageNames` in one pass.
struct CollectedMembers {
  MemberSlots<decltype(kUsageNames)::kCount> members;
  explicit CollectedMembers(const JsonLineValue& object) : members(object, kUsageNames) {}
  const JsonLineValue* get(MemberName name) const { return members.get(name.id); }
  bool mayHaveAny(const UsageNameSet& names) const { return members.present().intersects(names); }
};

// The first of the names whose value the lenient reader accepts.
template <typename Members>
std::optional<std::string> usageString(const Members& usage, Names names) {
  for (const MemberName name : names) {
    if (const auto* value = usage.get(name)) {
      if (auto text = stringValue(*value)) return text;
    }
  }
  return std::nullopt;
}
template <typename Members>
std::optional<double> usageDouble(const Members& usage, Names names) {
  for (const MemberName name : names) {
    if (const auto* value = usage.get(name)) {
      if (auto number = doubleValue(*value)) return number;
    }
  }
  return std::nullopt;
}
template <typename Members>
std::optional<bool> usageBool(const Members& usage, Names names) {
  for (const MemberName name : names) {
    if (const auto* value = usage.get(name)) {
      if (auto flag = boolValue(*value)) return flag;
    }
  }
  return std::nullopt;
}

constexpr auto kUsageStatusNames = std::to_array<EnumName<UsageStatus>>({
    {UsageStatus::ok, "ok"},
    {UsageStatus::warning, "warning"},
    {UsageStatus::limited, "limited"},
    {UsageStatus::error, "error"},
});
static_assert(isCompleteNameTable(kUsageStatusNames) &&
              kUsageStatusNames.back().value == UsageStatus::error);

// A whole percent for display that never claims a full 0 % or 100 % it has not reached.
void appendPercentText(std::string& out, double percent) {
  double rounded = std::round(percent);
  if (rounded >= 100.0 && percent < 100.0) rounded = 99.0;
  if (rounded <= 0.0 && percent > 0.0) rounded = 1.0;
  appendWholeNumberText(out, rounded);
  out += '%';
}
std::string percentText(double percent) {
  std::string text;
  appendPercentText(text, percent);
  return text;
}

void appendCompactCount(std::string& out, double count) {
  if (count >= 1'000'000) {
    appendTenthsText(out, count, 1'000'000);
    out += 'm';
  } else if (count >= 1'000) {
    appendTenthsText(out, count, 1'000);
    out += 'k';
  } else {
    appendWholeNumberText(out, count);
  }
}

UsageStatus statusForUsedPercent(double used) {
  if (used >= 100.0) return UsageStatus::limited;
  if (used >= 80.0) return UsageStatus::warning;
  return UsageStatus::ok;
}

// A quota's percentage: each name of a used percentage is followed by its remaining twin
// ("weekly_percent", then "weekly_remaining_percent"), and the first that reads wins.
struct PercentNames {
  MemberName used;
  MemberName remaining;
};

// Built where the snapshot keeps it: a metric is 144 bytes, and a snapshot has up to seven.
template <typename Members>
void readQuotaMetric(const Members& usage, Names labelKeys,
                     std::initializer_list<PercentNames> percentKeys, Names resetKeys,
                     std::string_view window, std::optional<UsageMetric>& out) {
  const auto label = usageString(usage, labelKeys);
  std::optional<double> used;
  std::optional<double> remaining;
  for (const PercentNames& keys : percentKeys) {
    if (const auto* value = usage.get(keys.used)) {
      if ((used = doubleValue(*value))) break;
    }
    if (const auto* value = usage.get(keys.remaining)) {
      if ((remaining = doubleValue(*value))) break;
    }
  }
  const auto reset = usageString(usage, resetKeys);
  if (!label && !used && !remaining) return;
  UsageMetric& metric = out.emplace();
  if (label) {
    metric.label = std::move(*label);
  } else if (used) {
    appendPercentText(metric.label, *used);
    metric.label += " used";
  } else {
    appendPercentText(metric.label, *remaining);
    metric.label += " left";
  }
  if (used) {
    metric.percent = *used;
    metric.status = statusForUsedPercent(*used);
    metric.values.push_back(*used);
  } else if (remaining) {
    metric.percent = 100.0 - *remaining;
    metric.status = statusForUsedPercent(100.0 - *remaining);
    metric.values.push_back(*remaining);
  }
  if (reset) {
    metric.suffix.reserve(7 + reset->size());
    metric.suffix += "resets ";
    metric.suffix += *reset;
  } else {
    metric.suffix = window;
  }
}

template <typename Members>
std::optional<UsageMetric> makeContextMetric(const Members& usage) {
  const auto remainingPercent =
      usageDouble(usage, {key("context_remaining_percent"), key("contextRemainingPercent")});
  const auto usedPercent = usageDouble(
      usage, {key("context_percent"), key("context_window_percent"), key("contextPercent")});
  const auto remaining = usageDouble(usage, {key("context_remaining"), key("contextRemaining")});
  const auto used =
      usageDouble(usage, {key("context_used"), key("context_used_tokens"), key("contextUsed")});
  const auto total =
      usageDouble(usage, {key("context_total"), key("context_total_tokens"), key("context_window"),
                          key("contextWindow"), key("contextTotal")});
  const auto label = usageString(usage, {key("context_window_label")});
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

template <typename Members>
void readTokensMetric(const Members& usage, std::optional<UsageMetric>& out) {
  const auto input = usageDouble(
      usage, {key("input_tokens"), key("inputTokens"), key("prompt_tokens"), key("promptTokens")});
  const auto output = usageDouble(usage, {key("output_tokens"), key("outputTokens"),
                                          key("completion_tokens"), key("completionTokens")});
  const auto total = usageDouble(
      usage, {key("total_tokens"), key("totalTokens"), key("token_count"), key("tokenCount")});
  const auto cacheRead =
      usageDouble(usage, {key("cache_read_tokens"), key("cacheReadTokens"),
                          key("cache_read_input_tokens"), key("cached_input_tokens")});
  const auto cacheWrite = usageDouble(usage, {key("cache_write_tokens"), key("cacheWriteTokens"),
                                              key("cache_creation_input_tokens")});
  const auto reasoning = usageDouble(usage, {key("reasoning_tokens"), key("reasoningTokens")});
  if (!input && !output && !total && !cacheRead && !cacheWrite && !reasoning) return;
  UsageMetric& metric = out.emplace();
  if (input) {
    appendCompactCount(metric.label, *input);
    metric.label += " in";
  } else if (total) {
    appendCompactCount(metric.label, *total);
    metric.label += " tokens";
  } else {
    metric.label = "Tokens";
  }
  const auto addPart = [&metric](double count, std::string_view what) {
    if (!metric.suffix.empty()) metric.suffix += " · ";
    appendCompactCount(metric.suffix, count);
    metric.suffix += what;
  };
  if (output) addPart(*output, " out");
  if (cacheRead) addPart(*cacheRead, " cache read");
  if (cacheWrite) addPart(*cacheWrite, " cache write");
  if (reasoning) addPart(*reasoning, " reasoning");
  if (total && input) addPart(*total, " total");
  metric.status = UsageStatus::ok;
  for (const auto& value : {input, output, total, cacheRead, cacheWrite, reasoning}) {
    metric.values.push_back(value.value_or(-1));
  }
}

template <typename Members>
std::optional<UsageMetric> makeCostMetric(const Members& usage) {
  std::optional<double> amount;
  bool dollars = false;
  for (const MemberName name :
       {key("cost_amount"), key("cost_usd"), key("costUSD"), key("costAmount"), key("total_cost"),
        key("totalCost"), key("amount"), key("cost")}) {
    if (const auto* value = usage.get(name)) {
      if ((amount = doubleValue(*value))) {
        dollars = name.text == "cost_usd" || name.text == "costUSD";
        break;
      }
    }
  }
  if (!amount) return std::nullopt;
  const bool estimate =
      usageBool(usage, {key("cost_estimate"), key("costEstimate"), key("estimate")})
          .value_or(false);
  auto currency = usageString(usage, {key("cost_currency"), key("costCurrency"), key("currency")});
  if (!currency && dollars) currency = "USD";
  UsageMetric metric;
  metric.label = (currency == "USD" || !currency) ? fmt::format("${:.2f}", *amount)
                                                  : fmt::format("{:.2f} {}", *amount, *currency);
  if (estimate) metric.label = "~" + metric.label;
  metric.suffix = estimate ? "estimated cost" : "cost";
  metric.status = UsageStatus::ok;
  metric.values.push_back(*amount);
  return metric;
}

template <typename Members>
std::optional<UsageMetric> makeRateLimitMetric(const Members& usage) {
  const auto label = usageString(usage, {key("rate_limit_label"), key("rateLimitLabel")});
  const auto reset = usageString(usage, {key("rate_limit_reset"), key("rateLimitReset")});
  const auto blocked = usageBool(usage, {key("rate_limit_blocked"), key("rateLimitBlocked")});
  const auto warning = usageBool(usage, {key("rate_limit_warning"), key("rateLimitWarning")});
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
  metric.values.push_back(blocked.value_or(false) ? 1.0 : 0.0);
  metric.values.push_back(warning.value_or(false) ? 1.0 : 0.0);
  return metric;
}

UsageSourceClass usageSourceClassFor(const LowerCaseText& type, std::string_view source) {
  if (type.contains("loader")) return UsageSourceClass::stableLocalLoader;
  if (type.contains("remote") || type.contains("webhook")) return UsageSourceClass::remoteOptIn;
  if (type.contains("wrapper")) return UsageSourceClass::wrapperExplicit;
  if (LowerCaseText(source).contains("app") || type.contains("app")) {
    return UsageSourceClass::jumpOnly;
  }
  return UsageSourceClass::officialPush;
}

// What the source type and the source say about a usage object: where its data comes from when
// it names nothing, and the class of its source.
struct SourceReading {
  std::string_view fallbackDataSource;
  UsageSourceClass sourceClass = UsageSourceClass::officialPush;
};

SourceReading readSource(std::string_view sourceTypeText, std::string_view source) {
  // Usage lines come from a few sources, line after line.
  thread_local RecentAnswersForTwoTexts<SourceReading> answers;
  if (const auto* known = answers.find(sourceTypeText, source)) return *known;
  const LowerCaseText sourceType(sourceTypeText);
  SourceReading reading;
  reading.fallbackDataSource = "hook";
  if (sourceType.contains("wrapper")) {
    reading.fallbackDataSource = "wrapper";
  } else if (sourceType.contains("webhook")) {
    reading.fallbackDataSource = "webhook";
  } else if (sourceType.contains("notify")) {
    reading.fallbackDataSource = "notify";
  }
  reading.sourceClass = usageSourceClassFor(sourceType, source);
  return answers.remember(sourceTypeText, source, reading);
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
  std::string text;
  appendCompactCount(text, count);
  return text;
}

namespace {

// "5h 42% · 7d 18%" into `text`, which is left empty when neither window is known.
void writeTopQuotaText(const UsageSnapshot& snapshot, std::string& text) {
  text.clear();
  const auto part = [&text](std::string_view window, const std::optional<UsageMetric>& metric) {
    if (!metric) return;
    std::string rest;
    if (!metric->percent) {
      rest = trim(replaceAll(replaceAll(metric->label, " used", ""), " left", ""));
      if (rest.empty()) return;
    }
    if (!text.empty()) text += " · ";
    text += window;
    text += ' ';
    if (metric->percent) {
      appendWholeNumberText(text, std::round(*metric->percent));
      text += '%';
    } else {
      text += rest;
    }
  };
  part("5h", snapshot.fiveHour);
  part("7d", snapshot.weekly);
}

}  // namespace

std::optional<std::string> expandedTopQuotaText(const UsageSnapshot& snapshot) {
  std::string text;
  writeTopQuotaText(snapshot, text);
  if (text.empty()) return std::nullopt;
  return text;
}

void summarizeUsageSnapshot(UsageSnapshot& snapshot) {
  // The quota windows first, else the first metric known.
  writeTopQuotaText(snapshot, snapshot.label);
  if (snapshot.label.empty()) {
    if (snapshot.context) {
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
  }
  if (snapshot.fiveHour && snapshot.fiveHour->percent) {
    snapshot.percent = snapshot.fiveHour->percent;
  } else if (snapshot.weekly && snapshot.weekly->percent) {
    snapshot.percent = snapshot.weekly->percent;
  } else if (snapshot.context) {
    snapshot.percent = snapshot.context->percent;
  }
  snapshot.updated.clear();
  if (!snapshot.observedAt.empty()) {
    snapshot.updated.reserve(8 + snapshot.observedAt.size());
    snapshot.updated += "updated ";
    snapshot.updated += snapshot.observedAt;
  }
}

template <typename Members>
void buildUsageSnapshot(const Members& usage, const UsageSnapshotContext& context,
                        UsageSnapshot& snapshot) {
  snapshot.tool = context.tool;
  snapshot.source = context.source;
  if (auto toolID = usageString(usage, {key("tool_id"), key("toolId")})) {
    snapshot.toolID = std::move(*toolID);
  } else {
    snapshot.toolID = context.toolID;
  }
  const SourceReading source = readSource(context.sourceType, context.source);
  if (auto dataSource = usageString(usage, {key("data_source"), key("dataSource")})) {
    snapshot.dataSource = std::move(*dataSource);
  } else {
    snapshot.dataSource = source.fallbackDataSource;
  }
  if (auto observedAt = usageString(usage, {key("observed_at"), key("observedAt")})) {
    snapshot.observedAt = std::move(*observedAt);
  } else if (context.timestamp) {
    snapshot.observedAt = *context.timestamp;
  }
  snapshot.sourceClass = source.sourceClass;
  const std::string_view dataSource = snapshot.dataSource;
  if (snapshot.sourceClass == UsageSourceClass::stableLocalLoader) {
    snapshot.quality = UsageQuality::stableLocal;
  } else if (snapshot.sourceClass == UsageSourceClass::wrapperExplicit ||
             equalsIgnoringCase(dataSource, "wrapper")) {
    snapshot.quality = UsageQuality::wrapperExplicit;
  } else if (equalsIgnoringCase(dataSource, "demo")) {
    snapshot.quality = UsageQuality::demo;
  }

  if (usage.mayHaveAny(kContextNames)) snapshot.context = makeContextMetric(usage);
  if (usage.mayHaveAny(kTokenNames)) readTokensMetric(usage, snapshot.tokens);
  if (usage.mayHaveAny(kCostNames)) snapshot.cost = makeCostMetric(usage);
  if (usage.mayHaveAny(kFiveHourNames)) {
    readQuotaMetric(
        usage,
        {key("limit_5h_label"), key("five_hour_label"), key("five_hour_limit_label"),
         key("fiveHourLabel"), key("quota_label")},
        {{key("limit_5h_percent"), key("limit_5h_remaining_percent")},
         {key("five_hour_percent"), key("five_hour_remaining_percent")},
         {key("five_hour_limit_percent"), key("five_hour_limit_remaining_percent")},
         {key("quota_percent"), key("quota_remaining_percent")}},
        {key("limit_5h_reset"), key("five_hour_reset"), key("five_hour_resets"), key("resets")},
        "5h limit", snapshot.fiveHour);
  }
  if (usage.mayHaveAny(kDailyNames)) {
    readQuotaMetric(usage, {key("daily_label"), key("daily_limit_label")},
                    {{key("daily_percent"), key("daily_remaining_percent")},
                     {key("daily_limit_percent"), key("daily_limit_remaining_percent")}},
                    {key("daily_reset"), key("daily_resets")}, "daily limit", snapshot.daily);
  }
  if (usage.mayHaveAny(kWeeklyNames)) {
    readQuotaMetric(usage, {key("weekly_label"), key("weekly_limit_label")},
                    {{key("weekly_percent"), key("weekly_remaining_percent")},
                     {key("weekly_limit_percent"), key("weekly_limit_remaining_percent")}},
                    {key("weekly_reset"), key("weekly_resets")}, "7d limit", snapshot.weekly);
  }
  if (usage.mayHaveAny(kRateLimitNames)) snapshot.rateLimit = makeRateLimitMetric(usage);

  summarizeUsageSnapshot(snapshot);
}

void readUsageSnapshot(const Json& usage, const UsageSnapshotContext& context,
                       UsageSnapshot& snapshot) {
  buildUsageSnapshot(NamedMembers<Json>{usage}, context, snapshot);
}

void readUsageSnapshot(const JsonLineValue& usage, const UsageSnapshotContext& context,
                       UsageSnapshot& snapshot) {
  buildUsageSnapshot(CollectedMembers(usage), context, snapshot);
}

}  // namespace glimmet
