#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "model/jump_target.hpp"

namespace glimmet {

// Opens a resolved jump; true when it opened.
using JumpOpener = std::function<bool(const ResolvedJumpTarget&)>;

// `glimmet jump <event-id> [--dry-run] [--json]`: derives the jump of one event of the event
// file and prints it; without --dry-run it also opens it through `opener` (none: opening is
// refused with status 2).
int runJumpCommand(const std::vector<std::string_view>& args, const JumpOpener& opener = {});

}  // namespace glimmet
