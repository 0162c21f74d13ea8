#include "usage/usage_badges.hpp"

#include "model/usage_freshness.hpp"

namespace glimmet {

namespace {

std::string_view eligibleBadge(const UsageEligibility& eligibility) {
  const std::string source = normalizedUsageDataSource(eligibility.latestUsageSource.value_or(""));
  if (source == "rollout") return "Rollout usage active";
  if (source == "transcript") return "Transcript usage active";
  if (source == "trajectory") return "Trajectory usage active";
  if (source == "statusline") return "StatusLine usage active";
  if (source == "opencode-plugin") return "OpenCode plugin active";
  // Codex's notify bridge reports a finished turn; the figures themselves come with the rollout.
  if (source == "notify" && eligibility.toolID == "codex-cli") return "Notify + rollout active";
  return "Live usage ready";
}

std::string_view waitingBadge(const UsageEligibility& eligibility) {
  if (eligibility.toolID == "trae-agent-cli") return "Trajectory loader ready";
  if (eligibility.toolID == "claude-code") return "Hooks + transcript ready";
  if (eligibility.sourceClass == UsageSourceClass::wrapperExplicit) return "Stream JSON wrapper";
  return "Waiting for first usage";
}

}  // namespace

std::string_view usageEligibilityBadge(const UsageEligibility& eligibility) {
  switch (eligibility.reason) {
    case UsageEligibilityReason::eligible:
      return eligibleBadge(eligibility);
    case UsageEligibilityReason::notEnabled:
      return "Disabled in Glimmet";
    case UsageEligibilityReason::integrationMissing:
      return "Install tool first";
    case UsageEligibilityReason::integrationUnhealthy:
      return "Repair integration";
    case UsageEligibilityReason::waitingFirstUsage:
      return waitingBadge(eligibility);
    case UsageEligibilityReason::staleUsage:
      return "Stale usage";
    case UsageEligibilityReason::jumpOnly:
      return "No usage";
    case UsageEligibilityReason::messagesOnly:
      return "Messages";
    case UsageEligibilityReason::wrapperMissing:
      return "Needs wrapper bridge";
    case UsageEligibilityReason::remoteSetupRequired:
      // The Codex App reports through its own app server; the hosted agents need a webhook.
      return eligibility.toolID == "codex-app" ? "Waiting app usage" : "Requires webhook";
    case UsageEligibilityReason::unsupported:
      return "Unsupported";
  }
  return "Unsupported";
}

}  // namespace glimmet
