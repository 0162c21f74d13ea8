#include "usage/usage_eligibility.hpp"

#include <algorithm>
#include <array>

#include "base/name_table.hpp"
#include "base/text.hpp"
#include "model/usage_brands.hpp"
#include "model/usage_date.hpp"
#include "model/usage_freshness.hpp"

namespace glimmet {

namespace {

using Reason = UsageEligibilityReason;
using SourceClass = UsageSourceClass;

constexpr auto kReasonNames = std::to_array<EnumName<Reason>>({
    {Reason::eligible, "eligible"},
    {Reason::notEnabled, "notEnabled"},
    {Reason::integrationMissing, "integrationMissing"},
    {Reason::integrationUnhealthy, "integrationUnhealthy"},
    {Reason::waitingFirstUsage, "waitingFirstUsage"},
    {Reason::staleUsage, "staleUsage"},
    {Reason::jumpOnly, "jumpOnly"},
    {Reason::messagesOnly, "messagesOnly"},
    {Reason::wrapperMissing, "wrapperMissing"},
    {Reason::remoteSetupRequired, "remoteSetupRequired"},
    {Reason::unsupported, "unsupported"},
});
static_assert(isCompleteNameTable(kReasonNames) &&
              kReasonNames.back().value == Reason::unsupported);

bool isAnyOf(std::string_view id, std::initializer_list<std::string_view> ids) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The classes whose snapshots speak for real, current usage of the tool.
bool carriesUsage(SourceClass sourceClass) {
  switch (sourceClass) {
    case SourceClass::officialPush:
    case SourceClass::stableLocalLoader:
    case SourceClass::wrapperExplicit:
    case SourceClass::remoteOptIn:
    case SourceClass::rateLimitSignal:
      return true;
    default:
      return false;
  }
}

bool isPresent(const ToolHealth& tool) {
  return tool.detected && tool.status != HookStatus::missing;
}

// Read from the tool's own files: trusted even while its hooks, notify bridge or wrapper need
// repair, because nothing of Glimmet's sits between the tool and the file.
bool isFreshLocalFileUsage(const UsageSnapshot& snapshot, Timestamp now) {
  return isLocalFileUsageSource(snapshot.dataSource) && !isUsageSnapshotStale(snapshot, now);
}

bool isTrustedPush(const ToolHealth& tool, const UsageSnapshot& snapshot, bool wrapperBridgeReady) {
  return snapshot.quality != UsageQuality::demo && carriesUsage(snapshot.sourceClass) &&
         integrationIsHealthy(tool, snapshot.sourceClass, wrapperBridgeReady);
}

bool isAcceptable(const ToolHealth& tool, const UsageSnapshot& snapshot, bool wrapperBridgeReady,
                  Timestamp now) {
  if (isFreshLocalFileUsage(snapshot, now)) return true;
  if (isTrustedPush(tool, snapshot, wrapperBridgeReady)) return true;
  return snapshot.sourceClass == SourceClass::stableLocalLoader && isPresent(tool);
}

Reason reasonFor(const ToolHealth& tool, const UsageEligibility& judged,
                 const std::optional<UsageSnapshot>& snapshot, bool wrapperBridgeReady,
                 Timestamp now) {
  const SourceClass sourceClass = judged.sourceClass;
  if (!judged.enabledByUser) return Reason::notEnabled;
  if (sourceClass == SourceClass::jumpOnly) return Reason::jumpOnly;
  if (!isPresent(tool)) return Reason::integrationMissing;
  if (sourceClass == SourceClass::messagesOnly) return Reason::messagesOnly;
  if (sourceClass == SourceClass::wrapperExplicit && !wrapperBridgeReady) {
    return Reason::wrapperMissing;
  }
  if (sourceClass == SourceClass::remoteOptIn && !snapshot) return Reason::remoteSetupRequired;
  if (!snapshot) {
    if (!judged.integrationHealthy) return Reason::integrationUnhealthy;
    const bool expectsUsage =
        hasExactUsageCapability(tool) ||
        (carriesUsage(sourceClass) && sourceClass != SourceClass::remoteOptIn);
    return expectsUsage ? Reason::waitingFirstUsage : Reason::unsupported;
  }
  if (judged.stale) return Reason::staleUsage;
  if ((snapshot->quality != UsageQuality::demo && carriesUsage(sourceClass) &&
       judged.integrationHealthy) ||
      isFreshLocalFileUsage(*snapshot, now)) {
    return Reason::eligible;
  }
  return judged.integrationHealthy ? Reason::unsupported : Reason::integrationUnhealthy;
}

}  // namespace

std::string_view rawValue(UsageEligibilityReason reason) {
  return rawName(kReasonNames, reason);
}

UsageSourceClass configuredUsageSourceClass(const ToolHealth& tool) {
  const std::string_view id = tool.id;
  if (isAnyOf(id, {"claude-app", "cursor-ide", "vscode-host", "kimi-app-web", "trae-ide",
                   "copilot-vscode-extension"})) {
    return SourceClass::jumpOnly;
  }
  if (isAnyOf(id, {"codex-app", "trae-solo", "copilot-coding-agent"})) {
    return SourceClass::remoteOptIn;
  }
  if (id == "trae-agent-cli") return SourceClass::stableLocalLoader;
  if (isAnyOf(id, {"opencode-cli", "claude-code", "codex-cli"})) return SourceClass::officialPush;
  if (isAnyOf(id, {"cursor-agent-cli", "kilo-code", "pi", "cline", "roo-code", "factory-droid",
                   "gemini-cli", "copilot-cli", "kimi-cli"})) {
    return SourceClass::wrapperExplicit;
  }
  if (hasExactUsageCapability(tool)) return SourceClass::officialPush;
  for (const auto& capability : tool.capabilities) {
    if (contains(toLower(capability), "messages")) return SourceClass::messagesOnly;
  }
  return SourceClass::unsupported;
}

bool hasExactUsageCapability(const ToolHealth& tool) {
  return std::any_of(tool.capabilities.begin(), tool.capabilities.end(),
                     [](const std::string& capability) { return toLower(capability) == "usage"; });
}

bool integrationIsHealthy(const ToolHealth& tool, UsageSourceClass sourceClass,
                          bool wrapperBridgeReady) {
  switch (sourceClass) {
    case SourceClass::officialPush:
    case SourceClass::rateLimitSignal:
      return tool.status == HookStatus::healthy;
    case SourceClass::stableLocalLoader:
    case SourceClass::jumpOnly:
    case SourceClass::messagesOnly:
      return isPresent(tool);
    case SourceClass::wrapperExplicit:
      return isPresent(tool) && wrapperBridgeReady;
    case SourceClass::remoteOptIn:
      return tool.detected && tool.status == HookStatus::healthy;
    case SourceClass::unsupported:
      return false;
  }
  return false;
}

std::optional<UsageSnapshot> bestUsageForEligibility(const ToolHealth& tool,
                                                     const std::vector<UsageSnapshot>& snapshots,
                                                     bool wrapperBridgeReady, Timestamp now) {
  const UsageSnapshot* best = nullptr;
  Timestamp bestObserved = kDistantPast;
  for (const auto& snapshot : snapshots) {
    if (!isAcceptable(tool, snapshot, wrapperBridgeReady, now)) continue;
    const Timestamp observed = parseUsageDate(snapshot.observedAt).value_or(kDistantPast);
    if (!best || observed > bestObserved) {
      best = &snapshot;
      bestObserved = observed;
    }
  }
  if (!best) return std::nullopt;
  return *best;
}

std::optional<UsageSnapshot> bestUsageForEligibility(const ToolHealth& tool, EventStore& store,
                                                     bool wrapperBridgeReady, Timestamp now) {
  return bestUsageForEligibility(tool, store.usageSnapshots(tool.id), wrapperBridgeReady, now);
}

std::vector<UsageEligibility> deriveUsageEligibility(
    const std::vector<ToolHealth>& toolHealth, const std::vector<std::string>& disabledToolIDs,
    EventStore& store, bool wrapperBridgeReady, Timestamp now) {
  std::vector<UsageEligibility> result;
  result.reserve(toolHealth.size());
  for (const auto& tool : toolHealth) {
    UsageEligibility& judged = result.emplace_back();
    judged.toolID = tool.id;
    judged.displayName = tool.name;
    judged.snapshot = bestUsageForEligibility(tool, store, wrapperBridgeReady, now);
    const auto& snapshot = judged.snapshot;
    judged.sourceClass = snapshot ? snapshot->sourceClass : configuredUsageSourceClass(tool);
    judged.enabledByUser =
        std::find(disabledToolIDs.begin(), disabledToolIDs.end(), tool.id) == disabledToolIDs.end();
    judged.usageObserved = snapshot.has_value();
    if (snapshot) {
      judged.latestUsageSource = snapshot->dataSource;
      judged.latestUsageObservedAt = snapshot->observedAt;
      judged.quality = snapshot->quality;
      judged.stale = isUsageSnapshotStale(*snapshot, now);
    }
    judged.integrationHealthy = integrationIsHealthy(tool, judged.sourceClass, wrapperBridgeReady);
    judged.reason = reasonFor(tool, judged, snapshot, wrapperBridgeReady, now);
  }
  std::stable_sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
    return a.reason == Reason::eligible && b.reason != Reason::eligible;
  });
  return result;
}

std::vector<std::string> eligibleUsageToolNames(const std::vector<UsageEligibility>& eligibility) {
  std::vector<std::string> names;
  for (const auto& judged : eligibility) {
    if (judged.reason != Reason::eligible) continue;
    std::string brand = usageBrandName(judged.toolID);
    if (std::find(names.begin(), names.end(), brand) == names.end()) {
      names.push_back(std::move(brand));
    }
  }
  return names;
}

std::vector<std::string> eligibleUsageToolNames(const std::vector<ToolHealth>& toolHealth,
                                                const std::vector<std::string>& disabledToolIDs,
                                                EventStore& store, bool wrapperBridgeReady,
                                                Timestamp now) {
  return eligibleUsageToolNames(
      deriveUsageEligibility(toolHealth, disabledToolIDs, store, wrapperBridgeReady, now));
}

}  // namespace glimmet
