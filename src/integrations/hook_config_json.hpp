#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/result.hpp"

namespace glimmet {

// Other tools' JSON files are edited in the user's own key order: a rewrite that sorted them
// would turn a one-line change into a diff of the whole file.
using ConfigJson = nlohmann::ordered_json;

// Edits of the hook tables shared by Claude Code's settings.json and Codex's hooks.json:
// `hooks[event]` is a list of matcher groups, each {matcher?, hooks: [{type, command, ...}]}.

// Whether some command in some group of `event` contains `needle` (a bridge path).
bool hookEventMentions(const ConfigJson& hooks, std::string_view event, std::string_view needle);

// The object at the top of a configuration file's text; empty text is an empty object. Text
// that is not a JSON object is an error naming the file (and the line of a syntax error):
// rewriting it would drop whatever the user wrote there.
Result<ConfigJson> parseConfigObject(const std::string& path, std::string_view text);

// Pretty-printed in the indentation `existing` uses (two spaces when it shows none), with a
// final line feed; invalid UTF-8 is replaced, not thrown.
std::string serializeConfig(const ConfigJson& object, std::string_view existing = {});

// The text of a configuration file: empty when the file does not exist, an error when it exists
// but cannot be read (rewriting it then would lose the user's settings).
Result<std::string> readConfigText(const std::string& path);

// A path as one shell word: unchanged when it holds only safe characters, else single-quoted.
std::string shellWord(std::string_view path);

}  // namespace glimmet
