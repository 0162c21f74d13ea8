#include <gtest/gtest.h>

#include <filesystem>

#include "base/json_values.hpp"
#include "base/text.hpp"
#include "hook_test_support.hpp"

namespace glimmet {
namespace {

using testing::healthRow;
using testing::readText;
using testing::ToolWorld;
using testing::writeText;

// The file with every group of `event` whose commands mention `bridge` taken out.
std::string withoutGroup(const std::string& text, const std::string& event,
                         const std::string& bridge) {
  auto file = nlohmann::ordered_json::parse(text);
  auto& groups = file["hooks"][event];
  nlohmann::ordered_json kept = nlohmann::ordered_json::array();
  for (const auto& group : groups) {
    bool mentions = false;
    for (const auto& handler : group["hooks"]) {
      mentions = mentions || contains(handler.value("command", ""), bridge);
    }
    if (!mentions) kept.push_back(group);
  }
  if (kept.size() == groups.size()) ADD_FAILURE() << "no " << bridge << " group in " << event;
  groups = kept;
  return file.dump(2);
}

TEST(ReadinessTest, OpenCodeIsDetectedByTheToolNotByGlimmetsPlugin) {
  ToolWorld world;
  const HookManager manager = world.manager();
  ASSERT_TRUE(manager.install("opencode-cli").ok());
  auto opencode = healthRow(manager.health(), "opencode-cli");
  EXPECT_FALSE(opencode.detected);
  EXPECT_EQ(opencode.status, HookStatus::missing);

  // OpenCode's own configuration beside the plugin, or its command, is the tool itself.
  ToolWorld::makeFile(world.homeFile(".config/opencode/opencode.json"), false, "{}");
  opencode = healthRow(manager.health(), "opencode-cli");
  EXPECT_TRUE(opencode.detected);
  EXPECT_EQ(opencode.status, HookStatus::healthy);
  std::filesystem::remove(world.homeFile(".config/opencode/opencode.json"));
  world.addCommand("opencode");
  EXPECT_EQ(healthRow(manager.health(), "opencode-cli").status, HookStatus::healthy);

  std::filesystem::remove(manager.opencodePlugin());
  opencode = healthRow(manager.health(), "opencode-cli");
  EXPECT_EQ(opencode.status, HookStatus::repair);
  EXPECT_TRUE(contains(opencode.detail, "Install the OpenCode plugin")) << opencode.detail;
}

TEST(ReadinessTest, TraeAgentIsNotDetectedByGlimmetsOwnUsageFolder) {
  ToolWorld world;
  std::filesystem::create_directories(world.homeFile(".glimmet/usage/trae-agent"));
  EXPECT_FALSE(world.manager().isDetected(*catalogItem("trae-agent-cli")));
  world.addCommand("trae-cli");
  EXPECT_TRUE(world.manager().isDetected(*catalogItem("trae-agent-cli")));
}

TEST(ReadinessTest, RemovingAnyClaudeEntryNeedsRepairNamingIt) {
  ToolWorld world;
  world.addCommand("claude");
  const HookManager manager = world.manager();
  ASSERT_TRUE(manager.install("claude-code").ok());
  ASSERT_EQ(healthRow(manager.health(), "claude-code").status, HookStatus::healthy);
  const std::string installed = readText(manager.claudeSettings());

  const std::string eventBridge = manager.eventCommandPath();
  const std::string approvalBridge = manager.claudeHookPath();
  const std::pair<std::string, std::string> entries[] = {
      {"SessionStart", eventBridge},         {"UserPromptSubmit", eventBridge},
      {"Notification", eventBridge},         {"TaskCreated", eventBridge},
      {"TaskCompleted", eventBridge},        {"Stop", eventBridge},
      {"StopFailure", eventBridge},          {"SessionEnd", eventBridge},
      {"PreToolUse", eventBridge},           {"PostToolUse", eventBridge},
      {"PostToolUseFailure", eventBridge},   {"PermissionRequest", eventBridge},
      {"PermissionRequest", approvalBridge},
  };
  for (const auto& [event, bridge] : entries) {
    SCOPED_TRACE(event + " " + bridge);
    writeText(manager.claudeSettings(), withoutGroup(installed, event, bridge));
    const auto claude = healthRow(manager.health(), "claude-code");
    EXPECT_EQ(claude.status, HookStatus::repair);
    EXPECT_TRUE(claude.detail.starts_with("Install or repair Claude Code hooks")) << claude.detail;
    EXPECT_TRUE(contains(claude.detail, event)) << claude.detail;
  }

  auto settings = nlohmann::ordered_json::parse(installed);
  settings.erase("statusLine");
  writeText(manager.claudeSettings(), settings.dump(2));
  auto claude = healthRow(manager.health(), "claude-code");
  EXPECT_EQ(claude.status, HookStatus::repair);
  EXPECT_TRUE(contains(claude.detail, "status line")) << claude.detail;

  // Reinstalling repairs it.
  ASSERT_TRUE(manager.install("claude-code").ok());
  EXPECT_EQ(healthRow(manager.health(), "claude-code").status, HookStatus::healthy);
}

TEST(ReadinessTest, RemovingAnyCodexEntryNeedsRepairNamingIt) {
  ToolWorld world;
  world.addCommand("codex");
  const HookManager manager = world.manager();
  ASSERT_TRUE(manager.install("codex-cli").ok());
  ASSERT_EQ(healthRow(manager.health(), "codex-cli").status, HookStatus::healthy);
  const std::string hooks = readText(manager.codexHooks());
  const std::pair<std::string, std::string> entries[] = {
      {"PermissionRequest", manager.eventCommandPath()},
      {"UserPromptSubmit", manager.eventCommandPath()},
      {"Stop", manager.eventCommandPath()},
      {"PermissionRequest", manager.codexHookPath()},
  };
  {
    for (const auto& [event, bridge] : entries) {
      SCOPED_TRACE(event + " " + bridge);
      writeText(manager.codexHooks(), withoutGroup(hooks, event, bridge));
      const auto codex = healthRow(manager.health(), "codex-cli");
      EXPECT_EQ(codex.status, HookStatus::repair);
      EXPECT_TRUE(contains(codex.detail, event)) << codex.detail;
    }
  }
  writeText(manager.codexHooks(), hooks);

  const std::string config = readText(manager.codexConfig());
  std::string withoutNotify;
  for (const auto& line : split(config, '\n')) {
    if (!line.starts_with("notify")) withoutNotify += line + "\n";
  }
  writeText(manager.codexConfig(), withoutNotify);
  auto codex = healthRow(manager.health(), "codex-cli");
  EXPECT_EQ(codex.status, HookStatus::repair);
  EXPECT_TRUE(contains(codex.detail, "notify")) << codex.detail;

  writeText(manager.codexConfig(), replaceAll(config, "hooks = true", "hooks = false"));
  codex = healthRow(manager.health(), "codex-cli");
  EXPECT_EQ(codex.status, HookStatus::repair);
  EXPECT_TRUE(contains(codex.detail, "hooks feature")) << codex.detail;
}

// Entries written by an older installer (no location prefix, slashes escaped by another JSON
// writer) are still Glimmet's own and still count.
TEST(ReadinessTest, EntriesFromAnOlderInstallStillCount) {
  ToolWorld world;
  world.addCommand("claude");
  const HookManager manager = world.manager();
  ASSERT_TRUE(manager.install("claude-code").ok());
  auto settings = Json::parse(readText(manager.claudeSettings()));
  for (auto& [event, groups] : settings["hooks"].items()) {
    for (auto& group : groups) {
      for (auto& handler : group["hooks"]) {
        std::string command = handler["command"];
        command = command.substr(command.find(manager.locations().bridgeDirectory));
        handler["command"] = command;
      }
    }
  }
  settings["statusLine"]["command"] = manager.claudeStatusLinePath();
  writeText(manager.claudeSettings(), replaceAll(settings.dump(), "/", "\\/"));
  EXPECT_EQ(healthRow(manager.health(), "claude-code").status, HookStatus::healthy);

  // Reinstalling brings them up to date in place, one group per event as before.
  ASSERT_TRUE(manager.install("claude-code").ok());
  const auto updated = Json::parse(readText(manager.claudeSettings()));
  EXPECT_EQ(updated["hooks"]["Stop"].size(), 1u);
  EXPECT_EQ(updated["hooks"]["Stop"][0]["hooks"][0]["command"],
            manager.bridgeCommand(manager.eventCommandPath(), "--source claude_code"));
  EXPECT_EQ(updated["statusLine"]["command"],
            manager.bridgeCommand(manager.claudeStatusLinePath(), ""));
}

}  // namespace
}  // namespace glimmet
