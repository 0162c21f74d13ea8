#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "integrations/hook_config_json.hpp"

namespace glimmet {

// Gemini CLI finds hooks by the name they carry, and the user can switch one off by that name
// in `hooksConfig.disabled`; every entry Glimmet writes is called this.
inline constexpr std::string_view kGeminiHookName = "glimmet-event";

// The handler Glimmet puts under every Gemini event: `command` runs the event bridge. Gemini
// counts its timeout in milliseconds.
ConfigJson geminiEventHandler(const std::string& command);

// `hooks` (the settings' hooks object) with Glimmet's event entries in place; everyone else's
// handlers, groups and order stay as they were.
void placeGeminiHooks(ConfigJson& hooks, const ConfigJson& handler, std::string_view bridgePath);

// `hooks` without any of Glimmet's entries, and without the groups and events that held only them.
void removeGeminiHooks(ConfigJson& hooks, std::string_view bridgePath);

// What keeps `hooks` from being exactly what an install writes: "<Event> hook" for an entry that
// is missing, "current <Event> hook" for one that differs from `handler`, is there twice, has a
// matcher that skips some tools, or sits on an event Glimmet does not use.
std::vector<std::string> geminiHookProblems(const ConfigJson& hooks, const ConfigJson& handler,
                                            std::string_view bridgePath);

}  // namespace glimmet
