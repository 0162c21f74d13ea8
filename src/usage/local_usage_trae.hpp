#pragma once

#include <optional>
#include <string>

#include "base/json_values.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// The token usage of one Trae Agent trajectory: the sum over its model interactions. Token
// rows only; a trajectory knows nothing of quotas.
std::optional<GlimmetEvent> traeTrajectoryUsageEvent(const Json& trajectory,
                                                     const std::string& filePath,
                                                     Timestamp fileModified);

// One event per recent trajectory under the root (newest 32).
std::vector<GlimmetEvent> loadTraeTrajectoryUsageEvents(const std::optional<std::string>& root,
                                                        Timestamp now);

}  // namespace glimmet
