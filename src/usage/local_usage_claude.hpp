#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/json_values.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// The usage of a Claude Code transcript's newest message that carries one. Observed at the
// file's modification time: the session is as current as its transcript, whatever the
// records after that message were.
std::optional<GlimmetEvent> claudeTranscriptUsageEvent(const std::vector<Json>& records,
                                                       const std::string& filePath,
                                                       Timestamp fileModified);

// One event per recent transcript under the projects root (newest 64), each from its tail.
std::vector<GlimmetEvent> loadClaudeTranscriptUsageEvents(const std::optional<std::string>& root,
                                                          Timestamp now);

}  // namespace glimmet
