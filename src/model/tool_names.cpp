#include "model/tool_names.hpp"

#include <functional>
#include <unordered_map>

#include "base/text.hpp"
#include "model/tool_catalog.hpp"

namespace glimmet {

namespace {

// Names arrive as "claude_code", "cursor-cli", "Codex.app" or "Trae SOLO CN"; matching on one
// spaced form lets a single row cover every spelling.
std::string spacedName(std::string_view lower) {
  std::string spaced(lower);
  for (char& c : spaced) {
    if (c == '_' || c == '-' || c == '.') c = ' ';
  }
  return spaced;
}

bool matches(const ToolAlias& alias, std::string_view spaced) {
  if (alias.wholeName ? spaced != alias.brand : !contains(spaced, alias.brand)) return false;
  if (alias.qualifiers.empty()) return true;
  for (const auto qualifier : alias.qualifiers) {
    if (contains(spaced, qualifier)) return true;
  }
  return false;
}

}  // namespace

const std::vector<ToolAlias>& toolAliases() {
  // Order matters where names overlap: Cline's old extension id contains "claude", a desktop
  // app or a CLI variant must be tried before its brand alone, and Roo's "roo cline" is Roo.
  static const std::vector<ToolAlias> aliases{
      {"claude dev", {}, "cline"},
      {"claude", {"app", "desktop"}, "claude-app"},
      {"claude", {}, "claude-code"},
      {"codex", {"app", "desktop"}, "codex-app"},
      {"codex", {}, "codex-cli"},
      {"cursor", {"glass"}, "cursor-glass"},
      {"cursor", {"agent", "cli"}, "cursor-agent-cli"},
      {"cursor", {}, "cursor-ide"},
      {"kilo", {}, "kilo-code"},
      {"pi", {}, "pi", true},
      {"pi coding agent", {}, "pi", true},
      {"earendil works pi", {}, "pi"},
      {"roo", {}, "roo-code"},
      {"cline", {}, "cline"},
      {"factory", {}, "factory-droid"},
      {"droid", {}, "factory-droid"},
      {"trae", {"agent", "cli"}, "trae-agent-cli"},
      {"trae", {"solo"}, "trae-solo"},
      {"trae", {}, "trae-ide"},
      {"gemini", {}, "gemini-cli"},
      {"opencode", {}, "opencode-cli"},
      {"copilot", {"vscode", "vs code", "extension"}, "copilot-vscode-extension"},
      {"copilot", {"agent"}, "copilot-coding-agent"},
      {"copilot", {}, "copilot-cli"},
      {"windsurf", {}, "windsurf"},
      {"vscode", {}, "vscode-host"},
      {"vs code", {}, "vscode-host"},
      {"kimi", {"cli"}, "kimi-cli"},
      {"kimi", {}, "kimi-app-web"},
  };
  return aliases;
}

namespace {

// Looked up by the name as it lies in the line: only a new name is copied into a key.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};

// Every event line asks for its source's id and name several times, and a file names only a
// handful of sources: each thread remembers the answers for the names it has seen.
template <std::string (*derive)(std::string_view)>
const std::string& remembered(std::string_view name) {
  constexpr size_t kMostNamesRemembered = 256;
  thread_local std::unordered_map<std::string, std::string, NameHash, std::equal_to<>> answers;
  if (const auto found = answers.find(name); found != answers.end()) return found->second;
  if (answers.size() >= kMostNamesRemembered) answers.clear();
  return answers.emplace(std::string(name), derive(name)).first->second;
}

std::string deriveCanonicalToolID(std::string_view name) {
  const std::string lower = toLower(name);
  std::string hyphened = replaceAll(replaceAll(lower, "_", "-"), " ", "-");
  if (catalogItem(hyphened) != nullptr) return hyphened;
  const std::string spaced = spacedName(lower);
  for (const auto& alias : toolAliases()) {
    if (matches(alias, spaced)) return std::string(alias.id);
  }
  return replaceAll(lower, " ", "-");
}

std::string deriveToolDisplayName(std::string_view source) {
  // Derived from the id, so that a message's tool id and its tool name never disagree.
  if (const auto* item = catalogItem(canonicalToolID(source))) return item->name;
  if (source.empty()) return "Agent";
  return std::string(source);
}

}  // namespace

std::string canonicalToolID(std::string_view name) {
  return remembered<deriveCanonicalToolID>(name);
}

std::string toolDisplayName(std::string_view source) {
  return remembered<deriveToolDisplayName>(source);
}

}  // namespace glimmet
