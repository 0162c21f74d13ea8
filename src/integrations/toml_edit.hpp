#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmet {

// Small, line-based edits of Codex's config.toml. They change only the lines they are about and
// keep every other line, comment and blank line of the user's file as it was.

// Everything before the first "#" (quoting is not considered: Codex's keys never hold one).
std::string stripTomlLineComment(std::string_view line);
// The parts of the key assigned on a line ("features.hooks = true" -> features, hooks; quotes
// removed), or absent when the line does not start with a key and "=".
std::optional<std::vector<std::string>> tomlKeyPath(std::string_view line);
// The key assigned on a line ("hooks = true" -> "hooks"), or absent for other lines.
std::optional<std::string> tomlAssignmentKey(std::string_view line);
// Whether `key` is set to true inside the `[section]` table.
bool tomlFeatureFlagEnabled(std::string_view text, std::string_view section, std::string_view key);
// Turns the hooks feature on: `[features]` gets "hooks = true" and loses the deprecated
// `codex_hooks` flag; a missing table is appended.
std::string ensureCodexHooksFeature(std::string_view text);

// The top-level `notify` assignment: its first and one-past-last line (a multi-line array spans
// several lines) and the strings of its array when they could be read.
struct TomlNotifyAssignment {
  size_t firstLine = 0;
  size_t endLine = 0;
  std::optional<std::vector<std::string>> command;
};
std::optional<TomlNotifyAssignment> findTomlNotify(const std::vector<std::string>& lines);

// Replaces the top-level `notify` assignment by `notifyLine`, or puts it at the top (top-level
// keys must precede the first table).
std::string setTomlNotify(std::string_view text, std::string_view notifyLine);

// A TOML basic string holding `value`.
std::string tomlQuoted(std::string_view value);

}  // namespace glimmet
