#pragma once

#include <string_view>

namespace glimmet {

// Every bridge installed into the bridge directory, in the order the installer writes them. The
// event bridge's module comes before its launcher, so the launcher never finds it missing.
inline constexpr std::string_view kBridgeScriptNames[] = {
    "glimmet_event.py", "glimmet-event",       "glimmet-codex-notify", "glimmet-claude-statusline",
    "glimmet-wrap",     "glimmet-hook-claude", "glimmet-hook-codex"};

// A module the launchers import: read, never run, so it is not executable.
inline bool isBridgeModule(std::string_view name) {
  return name.ends_with(".py");
}

}  // namespace glimmet
