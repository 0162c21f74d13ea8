#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"

namespace glimmet {

// Codex's config.toml as the installer sees it. Edits stay textual, so the user's comments and
// order survive, but the file is parsed before and after every edit: a file that is not valid
// TOML is refused, and an edit whose result does not parse to the intended values is never
// written.

// The top-level `notify` command, when the text parses and holds a list of strings there.
std::optional<std::vector<std::string>> codexNotifyCommandOf(std::string_view text);

// Whether the text parses and turns the hooks feature on (`features.hooks`, or the older
// `features.codex_hooks`, set to true), however the table is spelled.
bool codexHooksFeatureEnabled(std::string_view text);

// The configuration with `notify` set to `notify` and the hooks feature on (the deprecated flag
// removed); the text unchanged when both are already so. `path` names the file in errors.
Result<std::string> planCodexConfig(const std::string& path, std::string_view text,
                                    const std::vector<std::string>& notify);

}  // namespace glimmet
