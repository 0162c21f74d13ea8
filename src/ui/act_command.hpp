#pragma once

#include <string_view>
#include <vector>

namespace glimmet {

inline constexpr const char* kActUsage =
    "Usage: glimmet act <event-id> <role> [--option ID] [--note TEXT]\n"
    "\n"
    "Runs one action on the inbox message that holds the event <event-id> (as listed by\n"
    "glimmet inbox --json) and prints its result. Roles: authorize, reject, ignore, mark_read,\n"
    "jump, configure, choose_option (needs --option, takes --note) and send_input (the text\n"
    "in --note). Answers travel through the message's response channel; command channels are\n"
    "never run. Exit status: 0 done, 1 the action failed (the reason on standard error),\n"
    "2 a usage error.\n";

// `glimmet act <event-id> <role> [--option ID] [--note TEXT]`.
int runActCommand(const std::vector<std::string_view>& args);

}  // namespace glimmet
