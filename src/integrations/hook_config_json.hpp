#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/json_values.hpp"
#include "base/result.hpp"

namespace glimmet {

// Edits of the hook tables shared by Claude Code's settings.json and Codex's hooks.json:
// `hooks[event]` is a list of matcher groups, each {matcher?, hooks: [{type, command, ...}]}.

// Whether some command in some group of `event` contains `needle` (a bridge path).
bool hookEventMentions(const Json& hooks, std::string_view event, std::string_view needle);

// Appends a group holding `handler` to `event`, unless some command of that event already
// contains `bridgePath`; a value that is not a list of groups is replaced.
void appendHookGroup(Json& hooks, std::string_view event, const std::optional<std::string>& matcher,
                     Json handler, std::string_view bridgePath);

// The object at the top of a configuration text; an empty object for text that is not one.
Json parseConfigObject(std::string_view text);

// Pretty-printed with sorted keys and a final line feed; invalid UTF-8 is replaced, not thrown.
std::string serializeConfig(const Json& object);

// The text of a configuration file: empty when the file does not exist, an error when it exists
// but cannot be read (rewriting it then would lose the user's settings).
Result<std::string> readConfigText(const std::string& path);

// A path as one shell word: unchanged when it holds only safe characters, else single-quoted.
std::string shellWord(std::string_view path);

}  // namespace glimmet
