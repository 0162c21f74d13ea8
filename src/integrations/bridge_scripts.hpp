#pragma once

#include <string_view>

namespace glimmet {

// Every bridge installed into the bridge directory, in the order the installer writes them.
inline constexpr std::string_view kBridgeScriptNames[] = {
    "glimmet-event", "glimmet-codex-notify", "glimmet-claude-statusline",
    "glimmet-wrap",  "glimmet-hook-claude",  "glimmet-hook-codex"};

}  // namespace glimmet
