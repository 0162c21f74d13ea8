#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/time.hpp"
#include "integrations/tool_health.hpp"
#include "model/usage_snapshot.hpp"
#include "store/event_store.hpp"

namespace glimmet {

// Why a tool is, or is not, in the usage carousel.
enum class UsageEligibilityReason {
  eligible,
  notEnabled,
  integrationMissing,
  integrationUnhealthy,
  waitingFirstUsage,
  staleUsage,
  jumpOnly,
  messagesOnly,
  wrapperMissing,
  remoteSetupRequired,
  unsupported
};

// The case name: "eligible", "notEnabled", …
std::string_view rawValue(UsageEligibilityReason reason);

// The judgement on one catalogue tool, rebuilt from health, settings and store every time.
struct UsageEligibility {
  std::string toolID;
  std::string displayName;
  bool enabledByUser = true;
  bool integrationHealthy = false;
  bool usageObserved = false;
  std::optional<std::string> latestUsageSource;
  std::optional<std::string> latestUsageObservedAt;
  bool stale = false;
  std::optional<UsageQuality> quality;
  UsageSourceClass sourceClass = UsageSourceClass::unsupported;
  UsageEligibilityReason reason = UsageEligibilityReason::unsupported;
  // The snapshot the judgement rests on.
  std::optional<UsageSnapshot> snapshot;
};

// How a tool's usage reaches Glimmet when everything is in place.
UsageSourceClass configuredUsageSourceClass(const ToolHealth& tool);

// Some capability is exactly "Usage" (any case): "Usage limited" does not count.
bool hasExactUsageCapability(const ToolHealth& tool);

// Whether the integration path of `sourceClass` works for the tool right now.
bool integrationIsHealthy(const ToolHealth& tool, UsageSourceClass sourceClass,
                          bool wrapperBridgeReady);

// The snapshot the carousel may show for the tool: the newest acceptable one of `snapshots` (in
// store order), the earlier one on equal times; none when none is acceptable.
std::optional<UsageSnapshot> bestUsageForEligibility(const ToolHealth& tool,
                                                     const std::vector<UsageSnapshot>& snapshots,
                                                     bool wrapperBridgeReady, Timestamp now);
std::optional<UsageSnapshot> bestUsageForEligibility(const ToolHealth& tool, EventStore& store,
                                                     bool wrapperBridgeReady, Timestamp now);

// One judgement per tool of `toolHealth`: the eligible ones first, catalogue order otherwise.
std::vector<UsageEligibility> deriveUsageEligibility(
    const std::vector<ToolHealth>& toolHealth, const std::vector<std::string>& disabledToolIDs,
    EventStore& store, bool wrapperBridgeReady, Timestamp now);

// The brands of the eligible tools, each once, in eligibility order: the carousel's entries.
// Empty when no tool is eligible; there is no fallback list.
std::vector<std::string> eligibleUsageToolNames(const std::vector<UsageEligibility>& eligibility);
std::vector<std::string> eligibleUsageToolNames(const std::vector<ToolHealth>& toolHealth,
                                                const std::vector<std::string>& disabledToolIDs,
                                                EventStore& store, bool wrapperBridgeReady,
                                                Timestamp now);

}  // namespace glimmet
