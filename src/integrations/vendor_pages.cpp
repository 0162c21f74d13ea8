#include "integrations/vendor_pages.hpp"

namespace glimmet {

namespace {

struct JumpTargetEntry {
  std::string_view toolID;
  std::string_view target;
};

// Every address lives here, so that a vendor moving a page is a one-line change.
constexpr JumpTargetEntry kJumpTargets[] = {
    {"codex-app", "/Applications/Codex.app"},
    {"cursor-ide", "/Applications/Cursor.app"},
    {"cursor-glass", "/Applications/Cursor Glass.app"},
    {"vscode-host", "/Applications/Visual Studio Code.app"},
    {"claude-app", "/Applications/Claude.app"},
    {"kilo-code", "https://kilocode.ai/docs/getting-started/installing"},
    {"pi", "https://github.com/badlogic/pi-mono/tree/main/packages/coding-agent#readme"},
    {"cline", "https://marketplace.visualstudio.com/items?itemName=saoudrizwan.claude-dev"},
    {"roo-code", "https://marketplace.visualstudio.com/items?itemName=RooVeterinaryInc.roo-cline"},
    {"trae-ide", "https://www.trae.ai/download"},
    {"trae-solo", "https://www.trae.ai/download"},
    {"trae-agent-cli", "https://github.com/bytedance/trae-agent"},
    {"windsurf", "https://windsurf.com/download"},
    {"kimi-app-web", "https://www.kimi.com/"},
    {"kimi-cli", "https://www.kimi.com/"},
    {"copilot-cli", "https://github.com/features/copilot"},
    {"copilot-vscode-extension", "https://github.com/features/copilot"},
    {"copilot-coding-agent", "https://github.com/features/copilot"},
};

}  // namespace

std::optional<std::string> toolJumpTarget(std::string_view toolID) {
  for (const auto& entry : kJumpTargets) {
    if (entry.toolID == toolID) return std::string(entry.target);
  }
  return std::nullopt;
}

}  // namespace glimmet
