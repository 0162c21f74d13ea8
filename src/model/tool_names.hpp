#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glimmet {

// One row of the alias table that names tools: a name belongs to the tool `id` when its
// spaced lower-case form contains `brand` (or equals it, for `wholeName` rows) and, when
// `qualifiers` are given, also contains one of them. Rows are tried in order.
struct ToolAlias {
  std::string_view brand;
  std::vector<std::string_view> qualifiers;
  std::string_view id;
  bool wholeName = false;
};

// The alias table itself; every id in it is a catalogue id, so the display name of a name is
// always the catalogue name of the id it maps to.
const std::vector<ToolAlias>& toolAliases();

// The canonical, lower-case hyphenated identifier of a tool named freely ("Claude_App" ->
// "claude-app", "Trae SOLO CN" -> "trae-solo", "my tool" -> "my-tool").
std::string canonicalToolID(std::string_view name);

// The human name of a tool: the catalogue name of its canonical id ("codex" -> "Codex CLI",
// "codex desktop" -> "Codex App"); an unknown source is shown as written.
std::string toolDisplayName(std::string_view source);

}  // namespace glimmet
