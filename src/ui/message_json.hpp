#pragma once

#include "base/json_values.hpp"
#include "model/island_message.hpp"

namespace glimmet {

// The machine-readable form of an inbox message, with raw values as written to files.
Json messageToJson(const IslandMessage& message);

// A jump target as event files spell one: "kind" and its fields in snake_case, absent ones left
// out.
Json jumpTargetToJson(const JumpTarget& target);

// What a resolved jump offers: available, label, quality, action, and the reason when it is
// unavailable.
Json jumpSummaryToJson(const ResolvedJumpTarget& jump);

}  // namespace glimmet
