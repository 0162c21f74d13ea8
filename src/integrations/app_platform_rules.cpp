#include "integrations/app_platform_rules.hpp"

namespace glimmet {

namespace {

// Package names, desktop-entry ids and commands as each vendor's Linux downloads install them.
const std::vector<LinuxAppRule>& linuxAppRules() {
  static const std::vector<LinuxAppRule> rules = {
      // claude.ai/download offers the desktop app for macOS and Windows only; Claude Code's own
      // "/desktop" hand-off is enabled on darwin and win32 alone.
      {"claude-app", false, {}, {}, {}, {}, {}},
      // developers.openai.com/codex/app: the Codex app is a macOS download.
      {"codex-app", false, {}, {}, {}, {}, {}},
      // cursor.com/download and docs.cursor.com "Installation": an AppImage and .deb/.rpm
      // packages; the packages install cursor.desktop and the `cursor` command.
      {"cursor-ide", true, {"cursor"}, {"cursor"}, {}, {}, {"cursor"}},
      // Cursor Glass preview builds are published for macOS only.
      {"cursor-glass", false, {}, {}, {}, {}, {}},
      // trae.ai/download: macOS and Windows installers; no Linux build of the IDE or of SOLO.
      {"trae-ide", false, {}, {}, {}, {}, {}},
      {"trae-solo", false, {}, {}, {}, {}, {}},
      // code.visualstudio.com/docs/setup/linux: the .deb/.rpm packages install code.desktop and
      // /usr/bin/code; "snap install code --classic"; Flathub's community com.visualstudio.code.
      {"vscode-host", true, {"code"}, {"code"}, {"com.visualstudio.code"}, {"code"}, {}},
      // kimi.com/download: desktop apps for macOS and Windows; Linux users have the web only.
      {"kimi-app-web", false, {}, {}, {}, {}, {}},
      // docs.warp.dev "Installation and setup": "apt install ./warp-terminal.deb", .rpm,
      // pacman and AppImage builds; the packages install dev.warp.Warp.desktop and the
      // `warp-terminal` command.
      {"warp", true, {"dev.warp.Warp"}, {"warp-terminal"}, {}, {}, {"warp"}},
      // docs.windsurf.com "Getting started" (Linux): the apt/dnf package `windsurf` installs
      // windsurf.desktop and the `windsurf` command.
      {"windsurf", true, {"windsurf"}, {"windsurf"}, {}, {}, {}},
  };
  return rules;
}

}  // namespace

const LinuxAppRule* linuxAppRule(std::string_view toolID) {
  for (const auto& rule : linuxAppRules()) {
    if (rule.toolID == toolID) return &rule;
  }
  return nullptr;
}

bool isAvailableOn(std::string_view toolID, Platform platform) {
  if (platform == Platform::macOS) return true;
  const LinuxAppRule* rule = linuxAppRule(toolID);
  return !rule || rule->available;
}

}  // namespace glimmet
