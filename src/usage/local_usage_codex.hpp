#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/json_values.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// The usage a Codex rollout's records show: token totals and context of the newest record
// with token usage, quota windows of the newest record with rate limits. None when no record
// carries either. `fileModified` bounds and replaces unusable record times.
std::optional<GlimmetEvent> codexRolloutUsageEvent(const std::vector<Json>& records,
                                                   const std::string& filePath,
                                                   Timestamp fileModified);

// One event per recent rollout under the sessions root (newest 16), each from the file's tail.
std::vector<GlimmetEvent> loadCodexRolloutUsageEvents(const std::optional<std::string>& root,
                                                      Timestamp now);

}  // namespace glimmet
