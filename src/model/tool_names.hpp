#pragma once

#include <string>
#include <string_view>

namespace glimmet {

// The canonical, lower-case hyphenated identifier of a tool named freely ("Claude_App" ->
// "claude-app", "Trae SOLO CN" -> "trae-solo", "my tool" -> "my-tool").
std::string canonicalToolID(std::string_view name);

// The human name of a tool ("codex" -> "Codex CLI"); an unknown source is shown as written.
std::string toolDisplayName(std::string_view source);

// The Pi terminal agent goes by several package names.
bool namesPiAgent(std::string_view lower);

}  // namespace glimmet
