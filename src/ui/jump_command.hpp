#pragma once

#include <string_view>
#include <vector>

namespace glimmet {

// `glimmet jump <event-id> [--dry-run] [--json]`: derives the jump of one event of the event
// file and prints it; without --dry-run it then opens it, as the message's Jump button would,
// and prints what came of it.
int runJumpCommand(const std::vector<std::string_view>& args);

}  // namespace glimmet
