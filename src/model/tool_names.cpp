#include "model/tool_names.hpp"

#include "base/text.hpp"
#include "model/tool_catalog.hpp"

namespace glimmet {

namespace {

// Identifiers returned unchanged: the catalogue's and every result of the rules below.
bool isKnownCanonicalID(std::string_view id) {
  return catalogItem(id) != nullptr;
}

bool namesApp(std::string_view lower) {
  return contains(lower, "app") || contains(lower, "desktop");
}

}  // namespace

bool namesPiAgent(std::string_view lower) {
  return lower == "pi" || lower == "pi-coding-agent" || contains(lower, "@earendil-works-pi") ||
         contains(lower, "earendil-works-pi-coding-agent");
}

std::string canonicalToolID(std::string_view name) {
  const std::string lower = toLower(name);
  std::string hyphened = replaceAll(replaceAll(lower, "_", "-"), " ", "-");
  if (isKnownCanonicalID(hyphened)) return hyphened;
  const std::string spaced = replaceAll(replaceAll(lower, "_", " "), "-", " ");

  // Cline's old extension id contains "claude"; it must not be taken for Claude Code.
  if (contains(lower, "claude-dev")) return "cline";
  if (contains(spaced, "claude app")) return "claude-app";
  if (contains(lower, "claude")) return "claude-code";
  if (contains(spaced, "codex app")) return "codex-app";
  if (contains(lower, "codex")) return "codex-cli";
  if (contains(spaced, "cursor agent")) return "cursor-agent-cli";
  if (contains(lower, "cursor")) return "cursor-ide";
  if (contains(lower, "kilo")) return "kilo-code";
  if (namesPiAgent(lower)) return "pi";
  if (contains(lower, "roo")) return "roo-code";
  if (contains(lower, "cline")) return "cline";
  if (contains(lower, "factory") || contains(lower, "droid")) return "factory-droid";
  if (contains(lower, "trae agent") || contains(lower, "trae-agent") ||
      contains(lower, "trae-cli")) {
    return "trae-agent-cli";
  }
  if (contains(lower, "trae solo")) return "trae-solo";
  if (contains(lower, "trae")) return "trae-ide";
  if (contains(lower, "gemini")) return "gemini-cli";
  if (contains(lower, "opencode")) return "opencode-cli";
  if (contains(lower, "copilot")) {
    if (contains(lower, "vscode") || contains(lower, "extension"))
      return "copilot-vscode-extension";
    if (contains(lower, "agent")) return "copilot-coding-agent";
    return "copilot-cli";
  }
  if (contains(lower, "vs code") || contains(lower, "vscode")) return "vscode-host";
  if (contains(lower, "kimi")) return contains(lower, "cli") ? "kimi-cli" : "kimi-app-web";
  return replaceAll(lower, " ", "-");
}

std::string toolDisplayName(std::string_view source) {
  const std::string lower = toLower(source);
  if (const auto* item = catalogItem(replaceAll(lower, "_", "-"))) return item->name;
  if (contains(lower, "kilo")) return "Kilo Code";
  if (namesPiAgent(lower)) return "Pi";
  if (contains(lower, "roo")) return "Roo Code";
  if (contains(lower, "cline") || contains(lower, "claude-dev")) return "Cline";
  if (contains(lower, "claude")) return namesApp(lower) ? "Claude App" : "Claude Code";
  if (contains(lower, "codex")) return namesApp(lower) ? "Codex App" : "Codex CLI";
  if (contains(lower, "cursor")) {
    return (contains(lower, "agent") || contains(lower, "cli")) ? "Cursor Agent CLI" : "Cursor IDE";
  }
  if (contains(lower, "factory") || contains(lower, "droid")) return "Factory Droid";
  if (contains(lower, "gemini")) return "Gemini CLI";
  if (contains(lower, "trae")) {
    if (contains(lower, "agent") || contains(lower, "cli")) return "Trae Agent CLI";
    if (contains(lower, "solo")) return "Trae SOLO";
    return "Trae IDE";
  }
  if (contains(lower, "copilot")) {
    if (contains(lower, "vscode") || contains(lower, "vs code") || contains(lower, "extension")) {
      return "Copilot VS Code Extension";
    }
    if (contains(lower, "agent")) return "Copilot Coding Agent";
    return "Copilot CLI";
  }
  if (contains(lower, "opencode")) return "OpenCode CLI";
  if (contains(lower, "windsurf")) return "Windsurf";
  if (contains(lower, "vs code") || contains(lower, "vscode")) return "VS Code Host";
  if (contains(lower, "kimi")) return contains(lower, "cli") ? "Kimi CLI" : "Kimi App / Web";
  if (source.empty()) return "Agent";
  return std::string(source);
}

}  // namespace glimmet
