#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/text.hpp"
#include "hook_test_support.hpp"
#include "integrations/settings_tool_actions.hpp"

namespace glimmet {
namespace {

using testing::healthRow;
using testing::readText;
using testing::ToolWorld;
using testing::writeText;

// Twenty-five missing rows, Healthy after installing and Needs repair after an edit are checked
// end to end in tools_command_test.cpp.
TEST(ToolHealthTest, ClaudeCodeReadinessFollowsScriptsAndSettings) {
  ToolWorld world;
  const HookManager manager = world.manager();
  ASSERT_TRUE(manager.install("claude-code").ok());
  // The settings name the bridges with every slash escaped, as some JSON writers do.
  writeText(manager.claudeSettings(), replaceAll(readText(manager.claudeSettings()), "/", "\\/"));
  auto claude = healthRow(manager.health(), "claude-code");
  EXPECT_TRUE(claude.detected);
  EXPECT_EQ(claude.status, HookStatus::healthy);

  // Current text but not executable is not ready either.
  ASSERT_TRUE(manager.installBridgeScripts().ok());
  EXPECT_EQ(healthRow(manager.health(), "claude-code").status, HookStatus::healthy);
  std::filesystem::permissions(manager.eventCommandPath(), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write);
  EXPECT_EQ(healthRow(manager.health(), "claude-code").status, HookStatus::repair);
}

TEST(ToolHealthTest, ClaudeCodeIsDetectedBySettingsCommandOrLocalBin) {
  ToolWorld world;
  EXPECT_FALSE(world.manager().isDetected(*catalogItem("claude-code")));
  // Not executable: not an installation.
  ToolWorld::makeFile(world.homeFile(".local/bin/claude"), false);
  EXPECT_FALSE(world.manager().isDetected(*catalogItem("claude-code")));
  ToolWorld::makeFile(world.homeFile(".local/bin/claude"), true);
  EXPECT_TRUE(world.manager().isDetected(*catalogItem("claude-code")));
  const auto claude = healthRow(world.manager().health(), "claude-code");
  EXPECT_EQ(claude.status, HookStatus::repair);

  ToolWorld other;
  other.addCommand("claude");
  EXPECT_TRUE(other.manager().isDetected(*catalogItem("claude-code")));
}

TEST(ToolHealthTest, TraeRowsStayApart) {
  {
    ToolWorld world;
    world.addCommand("trae");  // the agent CLI installs this generic command too
    const auto rows = world.manager().health();
    EXPECT_FALSE(healthRow(rows, "trae-ide").detected);
    EXPECT_FALSE(healthRow(rows, "trae-agent-cli").detected);
    EXPECT_FALSE(healthRow(rows, "trae-solo").detected);
  }
  {
    ToolWorld world;
    world.addCommand("trae-cli");
    const auto rows = world.manager().health();
    EXPECT_TRUE(healthRow(rows, "trae-agent-cli").detected);
    EXPECT_FALSE(healthRow(rows, "trae-ide").detected);
  }
  {
    ToolWorld world;
    world.addApp("/Applications/TRAE SOLO CN.app");
    const auto rows = world.manager().health();
    EXPECT_TRUE(healthRow(rows, "trae-solo").detected);
    EXPECT_FALSE(healthRow(rows, "trae-ide").detected);
    EXPECT_EQ(healthRow(rows, "trae-solo").path, "/Applications/TRAE SOLO CN.app · glimmet-wrap");
    // Detected, no wrapper yet: still a Jump, because the surface is a windowed app.
    EXPECT_EQ(healthRow(rows, "trae-solo").status, HookStatus::alpha);
    EXPECT_EQ(settingsToolPrimaryAction(healthRow(rows, "trae-solo")),
              SettingsToolPrimaryAction::jump);
  }
  {
    ToolWorld world;
    world.addApp("/Applications/Trae.app");
    const auto rows = world.manager().health();
    EXPECT_TRUE(healthRow(rows, "trae-ide").detected);
    EXPECT_FALSE(healthRow(rows, "trae-solo").detected);
  }
  {
    ToolWorld world;
    world.addApp("~/Applications/Trae CN.app");
    const auto rows = world.manager().health();
    EXPECT_TRUE(healthRow(rows, "trae-ide").detected);
    // The display path is the first existing bundle, written as in the catalogue.
    EXPECT_EQ(healthRow(rows, "trae-ide").path, "~/Applications/Trae CN.app");
    EXPECT_EQ(healthRow(rows, "trae-ide").status, HookStatus::alpha);
    EXPECT_EQ(healthRow(rows, "trae-ide").detail, "Jump and notification adapter reserved");
  }
}

TEST(ToolHealthTest, WrapperToolWithoutWrapperIsAlphaWithBridgeAction) {
  ToolWorld world;
  world.addCommand("droid");
  const HookManager manager = world.manager();
  auto droid = healthRow(manager.health(), "factory-droid");
  EXPECT_TRUE(droid.detected);
  EXPECT_EQ(droid.status, HookStatus::alpha);
  EXPECT_EQ(droid.detail, "Install wrapper bridge to record Factory Droid runs");
  EXPECT_EQ(settingsToolPrimaryAction(droid), SettingsToolPrimaryAction::bridge);
  EXPECT_TRUE(droid.path.ends_with(" · glimmet-wrap"));
  EXPECT_FALSE(manager.wrapperBridgeReady());

  ASSERT_TRUE(manager.install("factory-droid").ok());
  EXPECT_TRUE(manager.wrapperBridgeReady());
  droid = healthRow(manager.health(), "factory-droid");
  EXPECT_EQ(droid.status, HookStatus::healthy);
  EXPECT_EQ(droid.detail, "Wrapper adapter can record Factory Droid start/complete/fail");
  // A wrapper tool that is absent keeps its catalogue detail once the wrapper is ready.
  EXPECT_EQ(healthRow(manager.health(), "kimi-cli").detail,
            "Wrapper adapter can record Kimi CLI runs");
  EXPECT_EQ(healthRow(manager.health(), "kimi-cli").status, HookStatus::missing);

  writeText(manager.wrapPath(), "#!/usr/bin/env python3\n");
  EXPECT_FALSE(manager.wrapperBridgeReady());
  EXPECT_EQ(healthRow(manager.health(), "factory-droid").status, HookStatus::alpha);
}

TEST(ToolHealthTest, AppRowsAndTheirActions) {
  ToolWorld world;
  auto codexApp = healthRow(world.manager().health(), "codex-app");
  EXPECT_EQ(codexApp.jumpTarget, "/Applications/Codex.app");
  EXPECT_EQ(settingsToolPrimaryAction(codexApp), SettingsToolPrimaryAction::none);
  EXPECT_EQ(settingsToolPrimaryAction(healthRow(world.manager().health(), "windsurf")),
            SettingsToolPrimaryAction::download);

  world.addApp("/Applications/Codex.app");
  codexApp = healthRow(world.manager().health(), "codex-app");
  EXPECT_EQ(codexApp.status, HookStatus::alpha);
  EXPECT_EQ(codexApp.detail, "App detection and Jump reserved");
  EXPECT_EQ(settingsToolPrimaryAction(codexApp), SettingsToolPrimaryAction::jump);
}

TEST(ToolHealthTest, ExtensionsAndWebhookDetection) {
  ToolWorld world;
  std::filesystem::create_directories(world.homeFile(".cursor/extensions/GitHub.Copilot-1.250.0"));
  std::filesystem::create_directories(
      world.homeFile(".vscode/extensions/rooveterinaryinc.roo-cline-3.1"));
  const HookManager manager = world.manager();
  EXPECT_TRUE(manager.isDetected(*catalogItem("copilot-vscode-extension")));
  EXPECT_TRUE(manager.isDetected(*catalogItem("roo-code")));
  EXPECT_FALSE(manager.isDetected(*catalogItem("cline")));
  EXPECT_FALSE(manager.isDetected(*catalogItem("copilot-coding-agent")));
  ToolWorld::makeFile(world.homeFile(".glimmet/config/copilot-coding-agent-webhook.json"));
  const auto agent = healthRow(manager.health(), "copilot-coding-agent");
  EXPECT_EQ(agent.status, HookStatus::alpha);
  EXPECT_EQ(agent.detail, "Configure a webhook before Glimmet can receive cloud-agent events");

  EXPECT_TRUE(manager.directoryContains("GITHUB.copilot", world.homeFile(".cursor/extensions")));
  EXPECT_FALSE(manager.directoryContains("copilot", world.homeFile(".cursor/extensions")));
  EXPECT_FALSE(manager.directoryContainsAny({"x", "github"}, world.homeFile("no/such/dir")));
  EXPECT_TRUE(manager.directoryContainsAny({"x", "github"}, world.homeFile(".cursor/extensions")));
}

TEST(ToolHealthTest, CodexAndOpenCodeReadiness) {
  ToolWorld world;
  const HookManager manager = world.manager();
  ASSERT_TRUE(manager.install("codex").ok());
  EXPECT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);
  // The older flag name still enables hooks.
  const std::string config = manager.codexConfig();
  writeText(config, replaceAll(readText(config), "hooks = true", "codex_hooks = true"));
  EXPECT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);
  writeText(config, replaceAll(readText(config), "codex_hooks = true", "codex_hooks = false"));
  auto codex = healthRow(manager.health(), "codex-cli");
  EXPECT_EQ(codex.status, HookStatus::repair);
  EXPECT_EQ(codex.detail, "Install or repair Codex CLI notify and hooks (missing hooks feature)");

  EXPECT_EQ(healthRow(manager.health(), "opencode-cli").status, HookStatus::missing);
  world.addCommand("opencode");
  ASSERT_TRUE(manager.install("opencode-cli").ok());
  auto opencode = healthRow(manager.health(), "opencode-cli");
  EXPECT_TRUE(opencode.detected);
  EXPECT_EQ(opencode.status, HookStatus::healthy);
  writeText(manager.opencodePlugin(), "export const GlimmetPlugin = async () => ({});\n");
  opencode = healthRow(manager.health(), "opencode-cli");
  EXPECT_EQ(opencode.status, HookStatus::repair);
  EXPECT_EQ(opencode.detail, "Install the OpenCode plugin to record session usage");
}

TEST(ToolHealthTest, BrokenFilesCountAsAbsent) {
  ToolWorld world;
  // A directory where the settings file should be, and extension folders that cannot be read.
  std::filesystem::create_directories(world.homeFile(".claude/settings.json"));
  std::filesystem::create_directories(world.homeFile(".codex/hooks.json"));
  ToolWorld::makeFile(world.homeFile(".vscode/extensions"));
  const auto rows = world.manager().health();
  ASSERT_EQ(rows.size(), 25u);
  EXPECT_EQ(healthRow(rows, "claude-code").status, HookStatus::repair);
  EXPECT_FALSE(healthRow(rows, "cline").detected);
}

TEST(AppLocationsTest, SearchPathRules) {
  ToolWorld world;
  const std::string dir = world.pathDirectory();
  ToolWorld::makeFile(dir + "/a/tool", false);
  std::filesystem::create_directories(dir + "/b/tool");  // a directory is not a command
  ToolWorld::makeFile(dir + "/c/tool", true);
  ToolWorld::makeFile(dir + "/d/tool", true);
  Environment environment;
  environment.set("PATH", "::" + dir + "/a:" + dir + "/b::" + dir + "/c:" + dir + "/d");
  EXPECT_EQ(executableInPath("tool", environment), dir + "/c/tool");
  EXPECT_EQ(executableInPath("nothing", environment), std::nullopt);
  environment.set("PATH", "");
  EXPECT_EQ(executableInPath("tool", environment), std::nullopt);
  // Without PATH the default list applies; /bin/sh exists on every system this runs on.
  EXPECT_EQ(executableInPath("sh", Environment()).value_or("").ends_with("/sh"), true);
  EXPECT_TRUE(contains(kDefaultSearchPath, "/opt/homebrew/bin"));
}

TEST(AppLocationsTest, PreferredAppPathAndLogos) {
  ToolWorld world;
  const HookManager manager = world.manager();
  EXPECT_EQ(manager.preferredExistingAppPath({}), std::nullopt);
  EXPECT_EQ(manager.preferredExistingAppPath({"~/Applications/A.app", "/Applications/B.app"}),
            world.homeFile("Applications/A.app"));
  world.addApp("/Applications/B.app");
  EXPECT_EQ(manager.preferredExistingAppPath({"~/Applications/A.app", "/Applications/B.app"}),
            "/Applications/B.app");
  EXPECT_EQ(manager.resolvedPath("~/.kimi"), world.homeFile(".kimi"));
  EXPECT_EQ(manager.resolvedPath("/opt/x"), "/opt/x");
  EXPECT_EQ(manager.resolvedPath("~user/x"), "~user/x");

  EXPECT_EQ(manager.softwareLogoAppPath("Claude Code"), "/Applications/Claude.app");
  EXPECT_EQ(manager.softwareLogoAppPath("codex"), "/Applications/Codex.app");
  EXPECT_EQ(manager.softwareLogoAppPath("cursor-agent-cli"), "/Applications/Cursor.app");
  EXPECT_EQ(manager.softwareLogoAppPath("cursor-glass"), "/Applications/Cursor Glass.app");
  EXPECT_EQ(manager.softwareLogoAppPath("trae-solo"), "/Applications/TRAE SOLO CN.app");
  world.addApp("/Applications/Trae SOLO.app");
  EXPECT_EQ(manager.softwareLogoAppPath("trae_solo"), "/Applications/Trae SOLO.app");
  world.addApp("/Applications/Trae CN.app");
  EXPECT_EQ(manager.softwareLogoAppPath("trae-agent-cli"), "/Applications/Trae CN.app");
  EXPECT_EQ(manager.softwareLogoAppPath("kimi-cli"), "/Applications/Kimi.app");
  EXPECT_EQ(manager.softwareLogoAppPath("gemini-cli"), std::nullopt);
}

}  // namespace
}  // namespace glimmet
