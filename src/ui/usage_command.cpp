#include "ui/usage_command.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "app/core.hpp"
#include "base/json_values.hpp"
#include "base/text.hpp"
#include "integrations/hook_manager.hpp"
#include "model/usage_brands.hpp"
#include "model/usage_reset_label.hpp"
#include "platform/main_loop.hpp"
#include "platform/user_defaults.hpp"
#include "ui/view/collapsed_ticker.hpp"
#include "usage/usage_badges.hpp"
#include "usage/usage_eligibility.hpp"

namespace glimmet {

namespace {

constexpr const char* kUsageCommandUsage =
    "Usage: glimmet usage [--json]\n"
    "\n"
    "Shows which AI tools' usage the capsule may show and why: for every supported tool its\n"
    "eligibility, badge, the usage snapshot the decision rests on (data source, observed time,\n"
    "stale or not) and the labels the capsule would show, such as \"5h 42% used · 7d 18% used\"\n"
    "and the reset time. --json prints the same as a JSON array.\n";

// What the capsule would show for one tool.
struct UsageLabels {
  std::string label;
  std::optional<std::string> topQuota;
  std::optional<std::string> resetLabel;
};

// The first quota or rate-limit window whose reset reads as a date.
std::optional<std::string> resetLabelOf(const UsageSnapshot& snapshot, Timestamp now) {
  for (const auto* metric :
       {&snapshot.fiveHour, &snapshot.daily, &snapshot.weekly, &snapshot.rateLimit}) {
    if (!*metric) continue;
    if (auto label = shortUsageResetLabel((*metric)->suffix, LabelTimeZone::local(), now)) {
      return label;
    }
  }
  return std::nullopt;
}

UsageLabels labelsOf(const UsageSnapshot& snapshot, Timestamp now) {
  UsageLabels labels;
  labels.resetLabel = resetLabelOf(snapshot, now);
  labels.label = collapsedUsageLabel(snapshot, labels.resetLabel);
  labels.topQuota = expandedTopQuotaText(snapshot);
  return labels;
}

Json optionalText(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

Json metricPercent(const std::optional<UsageMetric>& metric) {
  return metric && metric->percent ? Json(*metric->percent) : Json(nullptr);
}

Json metricText(const std::optional<UsageMetric>& metric, std::string UsageMetric::*field) {
  return metric && !((*metric).*field).empty() ? Json((*metric).*field) : Json(nullptr);
}

Json eligibilityToJson(const UsageEligibility& judged, Timestamp now) {
  Json row{{"toolID", judged.toolID},
           {"name", judged.displayName},
           {"brand", usageBrandName(judged.toolID)},
           {"eligible", judged.reason == UsageEligibilityReason::eligible},
           {"reason", std::string(rawValue(judged.reason))},
           {"badge", std::string(usageEligibilityBadge(judged))},
           {"enabledByUser", judged.enabledByUser},
           {"integrationHealthy", judged.integrationHealthy},
           {"sourceClass", rawValue(judged.sourceClass)},
           {"quality", judged.quality ? Json(rawValue(*judged.quality)) : Json(nullptr)},
           {"source", optionalText(judged.latestUsageSource)},
           {"observedAt", optionalText(judged.latestUsageObservedAt)},
           {"stale", judged.stale}};
  const auto& snapshot = judged.snapshot;
  const auto labels =
      snapshot ? std::optional<UsageLabels>(labelsOf(*snapshot, now)) : std::nullopt;
  row["label"] = labels ? Json(labels->label) : Json(nullptr);
  row["topQuota"] = labels ? optionalText(labels->topQuota) : Json(nullptr);
  row["resetLabel"] = labels ? optionalText(labels->resetLabel) : Json(nullptr);
  const std::optional<UsageMetric> none;
  // Percents are the used share of each window, whichever way the tool reported it.
  row["fiveHourPercent"] = metricPercent(snapshot ? snapshot->fiveHour : none);
  row["dailyPercent"] = metricPercent(snapshot ? snapshot->daily : none);
  row["weeklyPercent"] = metricPercent(snapshot ? snapshot->weekly : none);
  row["contextPercent"] = metricPercent(snapshot ? snapshot->context : none);
  row["contextLabel"] = metricText(snapshot ? snapshot->context : none, &UsageMetric::label);
  row["tokensLabel"] = metricText(snapshot ? snapshot->tokens : none, &UsageMetric::label);
  row["tokensDetail"] = metricText(snapshot ? snapshot->tokens : none, &UsageMetric::suffix);
  row["costLabel"] = metricText(snapshot ? snapshot->cost : none, &UsageMetric::label);
  row["rateLimitLabel"] = metricText(snapshot ? snapshot->rateLimit : none, &UsageMetric::label);
  return row;
}

// A header naming the carousel's brands, then one block per tool: "Name (id) — badge", the
// reason and source class, and with a snapshot its labels and provenance.
std::string formatEligibility(const std::vector<UsageEligibility>& rows, Timestamp now) {
  const auto brands = eligibleUsageToolNames(rows);
  std::string out = brands.empty() ? "Usage carousel: empty (no tool is eligible)\n"
                                   : "Usage carousel: " + join(brands, ", ") + "\n";
  for (const auto& judged : rows) {
    out += fmt::format("\n{} ({}) — {}\n  {} · {}\n", judged.displayName, judged.toolID,
                       usageEligibilityBadge(judged), rawValue(judged.reason),
                       rawValue(judged.sourceClass));
    if (!judged.snapshot) continue;
    const UsageLabels labels = labelsOf(*judged.snapshot, now);
    out += "  " + terminalSafe(labels.label);
    if (labels.resetLabel) out += " · resets " + *labels.resetLabel;
    out += "\n";
    out += fmt::format("  {}, observed {}{}\n", terminalSafe(judged.snapshot->dataSource),
                       terminalSafe(judged.snapshot->observedAt), judged.stale ? " (stale)" : "");
  }
  return out;
}

}  // namespace

int runUsageCommand(const std::vector<std::string_view>& args) {
  bool json = false;
  for (const auto arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsageCommandUsage, stdout);
      return 0;
    }
    if (arg != "--json") {
      std::fputs(
          fmt::format("glimmet usage: unknown option {}\n\n{}", arg, kUsageCommandUsage).c_str(),
          stderr);
      return 2;
    }
    json = true;
  }
  const Environment environment = Environment::current();
  const bool isolated = isolationFlagFromEnvironment(environment);
  const Paths paths = resolvePaths(environment, isolated);
  const auto defaults = makeStandardUserDefaults(environment);
  auto options = makeEventStoreOptions(
      paths, isolated, isolated ? nullptr : defaults.get(),
      [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  // One look, so the local usage files are read now rather than after the command has exited.
  options.localUsageLoadMode = LocalUsageLoadMode::synchronous;
  MainLoop loop;
  EventStore store(loop, std::move(options));
  store.reload(true);

  const HookManager manager = HookManager::forProcess();
  const Timestamp now = systemNow();
  const auto rows =
      deriveUsageEligibility(manager.health(), defaults->stringArrayValue("disabledToolIDs"), store,
                             manager.wrapperBridgeReady(), now);
  if (json) {
    Json array = Json::array();
    for (const auto& judged : rows) array.push_back(eligibilityToJson(judged, now));
    std::puts(array.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
  } else {
    std::fputs(formatEligibility(rows, now).c_str(), stdout);
  }
  return 0;
}

}  // namespace glimmet
