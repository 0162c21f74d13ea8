#pragma once

#include <string_view>

#include "usage/usage_eligibility.hpp"

namespace glimmet {

// The short text the AI Tools tab and the usage panel put next to a tool: what feeds its usage
// when it is eligible ("Rollout usage active"), else what the user has to do or wait for.
std::string_view usageEligibilityBadge(const UsageEligibility& eligibility);

}  // namespace glimmet
