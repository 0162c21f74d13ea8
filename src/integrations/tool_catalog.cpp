#include "integrations/tool_catalog.hpp"

namespace glimmet {

const std::vector<AIToolCatalogItem>& aiToolCatalog() {
  static const std::vector<AIToolCatalogItem> catalog = {
      {"Claude", "claude-app", "Claude App", "App", "macos-app", {}, {"/Applications/Claude.app"}, std::nullopt, "Jump only", {"Jump", "Messages limited"}, 0, {217, 119, 87}, "Open the Claude desktop app for source context"},
      {"Claude", "claude-code", "Claude Code", "CLI", "command", {"claude"}, {}, "~/.claude/settings.json", "Hooks", {"Messages", "Approval", "Usage", "Rate limit", "Jump"}, 0, {217, 119, 87}, "Hooks write local Glimmet events"},
      {"OpenAI Codex", "codex-app", "Codex App", "App", "macos-app", {}, {"/Applications/Codex.app"}, std::nullopt, "App Server", {"Usage", "Approval", "Jump"}, 0, {0, 214, 163}, "App detection and Jump reserved"},
      {"OpenAI Codex", "codex-cli", "Codex CLI", "CLI", "command", {"codex"}, {}, "~/.codex/config.toml", "Notify", {"Messages", "Usage", "Rate limit", "Jump"}, 0, {0, 214, 163}, "notify bridge writes local Glimmet events"},
      {"Cursor", "cursor-ide", "Cursor IDE", "IDE", "macos-app", {"cursor"}, {"/Applications/Cursor.app"}, std::nullopt, "Jump / Wrapper", {"Messages", "Jump"}, 0, {0, 107, 255}, "Jump to Cursor (Edit); wrapper can record runs"},
      {"Cursor", "cursor-glass", "Cursor Glass", "IDE", "macos-app", {}, {"/Applications/Cursor Glass.app"}, std::nullopt, "Jump", {"Messages", "Jump"}, 0, {0, 107, 255}, "Jump to Cursor Glass (preview build) when installed"},
      {"Cursor", "cursor-agent-cli", "Cursor Agent CLI", "CLI", "command", {"cursor-agent", "cursor"}, {}, std::nullopt, "Stream JSON / Wrapper", {"Messages", "Usage", "Jump"}, 0, {0, 107, 255}, "Wrapper adapter can record Cursor Agent stream-json usage"},
      {"Kilo Code", "kilo-code", "Kilo Code", "IDE / CLI", "command", {"kilo"}, {}, "~/.kilo", "Wrapper", {"Messages", "Usage", "Approval limited", "Jump"}, 1, {108, 112, 126}, "Wrapper adapter can record Kilo Code start/complete/fail and usage"},
      {"Pi", "pi", "Pi", "CLI", "command", {"pi"}, {}, "~/.pi/agent", "Wrapper", {"Messages", "Usage", "Jump"}, 1, {9, 9, 11}, "Wrapper adapter can record Pi terminal agent runs and usage"},
      {"Cline", "cline", "Cline", "Extension", "vscode-extension", {}, {}, "~/.vscode/extensions", "VS Code Extension / Wrapper", {"Messages", "Usage", "Approval", "Jump"}, 1, {36, 41, 47}, "Wrapper adapter can record Cline task, approval, and usage events"},
      {"Roo Code", "roo-code", "Roo Code", "Extension", "vscode-extension", {}, {}, "~/.vscode/extensions", "VS Code Extension / Wrapper", {"Messages", "Usage", "Approval", "Jump"}, 1, {116, 83, 219}, "Wrapper adapter can record Roo Code task, approval, and usage events"},
      {"Factory", "factory-droid", "Factory Droid", "CLI", "command", {"factory-droid", "droid"}, {}, std::nullopt, "Wrapper", {"Messages", "Jump"}, 0, {255, 159, 67}, "Wrapper adapter can record Factory Droid start/complete/fail"},
      {"Trae", "trae-ide", "Trae IDE", "IDE", "macos-app", {}, {"/Applications/Trae.app", "/Applications/Trae CN.app", "~/Applications/Trae.app", "~/Applications/Trae CN.app"}, std::nullopt, "Jump / Notifications", {"Messages limited", "Jump"}, 1, {28, 126, 214}, "Jump and notification adapter reserved"},
      {"Trae", "trae-solo", "Trae SOLO", "App/Cloud", "macos-app", {"trae-solo"}, {"/Applications/TRAE SOLO CN.app", "/Applications/Trae SOLO.app", "~/Applications/TRAE SOLO CN.app", "~/Applications/Trae SOLO.app"}, std::nullopt, "Webhook / Wrapper", {"Messages", "Completion", "Jump"}, 1, {28, 126, 214}, "Wrapper adapter can record Trae SOLO runs"},
      {"Trae", "trae-agent-cli", "Trae Agent CLI", "CLI", "command", {"trae-cli"}, {}, "~/.glimmet/usage/trae-agent", "Trajectory file / Wrapper", {"Messages", "Usage", "Jump"}, 0, {28, 126, 214}, "Trajectory files publish local token usage snapshots"},
      {"Gemini", "gemini-cli", "Gemini CLI", "CLI", "command", {"gemini"}, {}, "~/.gemini", "Wrapper", {"Messages", "Usage limited", "Jump"}, 1, {142, 117, 178}, "Wrapper adapter can record Gemini start/complete/fail"},
      {"OpenCode", "opencode-cli", "OpenCode CLI", "CLI", "command", {"opencode"}, {}, "~/.config/opencode/plugins/glimmet.js", "Plugin / Wrapper", {"Messages", "Usage", "Approval limited", "Jump"}, 0, {0, 180, 216}, "OpenCode plugin writes session usage updates"},
      {"GitHub Copilot", "copilot-vscode-extension", "Copilot VS Code Extension", "Extension", "vscode-extension", {}, {}, "~/.vscode/extensions", "Jump only", {"Jump", "Messages limited"}, 2, {24, 23, 23}, "Detects local Copilot VS Code extension"},
      {"GitHub Copilot", "copilot-cli", "Copilot CLI", "CLI", "command", {"gh"}, {}, "~/.config/gh", "Wrapper", {"Messages", "Jump"}, 1, {24, 23, 23}, "Wrapper adapter can record gh copilot runs"},
      {"GitHub Copilot", "copilot-coding-agent", "Copilot Coding Agent", "Cloud Agent", "webhook", {}, {}, std::nullopt, "Webhook", {"Messages", "Completion", "Jump"}, 1, {24, 23, 23}, "Cloud webhook setup reserved"},
      {"VS Code", "vscode-host", "VS Code Host", "IDE", "macos-app", {"code"}, {"/Applications/Visual Studio Code.app"}, std::nullopt, "Jump only", {"Jump"}, 2, {0, 122, 204}, "Host app for extensions and source Jump"},
      {"Kimi", "kimi-app-web", "Kimi App / Web", "App/Web", "macos-app", {}, {"/Applications/Kimi.app"}, std::nullopt, "Jump only", {"Jump", "Messages limited"}, 2, {0, 0, 0}, "Open Kimi app or web context"},
      {"Kimi", "kimi-cli", "Kimi CLI", "CLI", "command", {"kimi", "kimi-cli"}, {}, "~/.kimi", "Wrapper", {"Messages", "Usage limited", "Jump"}, 2, {0, 0, 0}, "Wrapper adapter can record Kimi CLI runs"},
      {"Warp", "warp", "Warp", "Terminal / AI", "macos-app", {}, {"/Applications/Warp.app", "~/Applications/Warp.app"}, std::nullopt, "Jump", {"Jump"}, 1, {120, 90, 220}, "Jump opens Warp at the agent's cwd (dev.warp.Warp-Stable)"},
      {"Windsurf", "windsurf", "Windsurf", "IDE", "macos-app", {}, {"/Applications/Windsurf.app", "~/Applications/Windsurf.app"}, std::nullopt, "Jump", {"Messages limited", "Jump"}, 1, {0, 178, 169}, "Jump opens Windsurf at the agent's cwd"},  };
  return catalog;
}

const AIToolCatalogItem* catalogItem(std::string_view id) {
  for (const auto& item : aiToolCatalog()) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

bool isWrapperTool(std::string_view id) {
  constexpr std::string_view kWrapperTools[] = {
      "cursor-agent-cli", "kilo-code",  "pi",          "cline",       "roo-code", "factory-droid",
      "trae-agent-cli",   "trae-solo",  "gemini-cli",  "copilot-cli", "kimi-cli"};
  for (const auto tool : kWrapperTools) {
    if (tool == id) return true;
  }
  return false;
}

RGBColor toolColor(std::string_view toolID) {
  if (const auto* item = catalogItem(toolID)) return item->color;
  return {142, 142, 147};
}

}  // namespace glimmet
