#include "integrations/settings_tool_actions.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

ToolHealth row(std::string_view id, HookStatus status, bool detected,
               std::optional<std::string> jumpTarget = std::nullopt) {
  const AIToolCatalogItem* item = catalogItem(id);
  EXPECT_NE(item, nullptr) << id;
  ToolHealth health;
  health.id = item->id;
  health.product = item->product;
  health.name = item->name;
  health.surface = item->surface;
  health.integration = item->integration;
  health.capabilities = item->capabilities;
  health.status = status;
  health.detected = detected;
  health.jumpTarget = std::move(jumpTarget);
  return health;
}

TEST(SettingsToolActionTest, RawValuesReadBackCaseSensitively) {
  EXPECT_EQ(hookStatusFromRawValue(hookStatusRawValue(HookStatus::repair)), HookStatus::repair);
  EXPECT_EQ(hookStatusFromRawValue("needs repair"), std::nullopt);
}

TEST(SettingsToolActionTest, JumpActionFollowsIntegrationThenCapabilities) {
  // "Jump only" jumps whatever the surface; other "jump" integrations only on windowed surfaces.
  EXPECT_TRUE(settingsToolIsJumpAction(row("vscode-host", HookStatus::alpha, true)));
  EXPECT_TRUE(settingsToolIsJumpAction(row("copilot-vscode-extension", HookStatus::alpha, true)));
  EXPECT_TRUE(settingsToolIsJumpAction(row("cursor-ide", HookStatus::alpha, true)));
  EXPECT_FALSE(settingsToolIsJumpAction(row("warp", HookStatus::alpha, true)));
  // Trae SOLO's integration says nothing of Jump; its surface and capability decide.
  EXPECT_TRUE(settingsToolIsJumpAction(row("trae-solo", HookStatus::healthy, true)));
  EXPECT_FALSE(settingsToolIsJumpAction(row("gemini-cli", HookStatus::alpha, true)));
}

TEST(SettingsToolActionTest, PrimaryActionOrder) {
  EXPECT_EQ(settingsToolPrimaryAction(row("trae-solo", HookStatus::alpha, true)),
            SettingsToolPrimaryAction::jump);
  EXPECT_EQ(settingsToolPrimaryAction(
                row("trae-ide", HookStatus::missing, false, "https://www.trae.ai/download")),
            SettingsToolPrimaryAction::download);
  // Repair wins over Jump so that the button does what it says.
  EXPECT_EQ(settingsToolPrimaryAction(row("cursor-ide", HookStatus::repair, true)),
            SettingsToolPrimaryAction::repair);
  EXPECT_EQ(settingsToolPrimaryAction(row("gemini-cli", HookStatus::alpha, true)),
            SettingsToolPrimaryAction::bridge);
  EXPECT_EQ(settingsToolPrimaryAction(row("gemini-cli", HookStatus::healthy, true)),
            SettingsToolPrimaryAction::none);
  // A missing tool whose target is an app bundle has nothing to download.
  EXPECT_EQ(settingsToolPrimaryAction(
                row("codex-app", HookStatus::missing, false, "/Applications/Codex.app")),
            SettingsToolPrimaryAction::none);
  // Detected but missing (a prerequisite is absent) still offers the download.
  EXPECT_EQ(settingsToolPrimaryAction(
                row("kimi-cli", HookStatus::missing, true, "HTTPS://www.kimi.com/")),
            SettingsToolPrimaryAction::download);
  EXPECT_EQ(settingsToolActionTitle(row("claude-code", HookStatus::repair, true)), "Repair");
}

TEST(SettingsToolActionTest, StatusLinesAfterOpening) {
  const auto missing = row("windsurf", HookStatus::missing, false);
  EXPECT_EQ(settingsToolOpenedStatus(missing), "Opened Windsurf download");
  EXPECT_EQ(settingsToolOpenFailedStatus(missing), "Could not open Windsurf download");
  const auto jump = row("cursor-ide", HookStatus::alpha, true);
  EXPECT_EQ(settingsToolOpenedStatus(jump), "Opened Cursor IDE");
  EXPECT_EQ(settingsToolOpenFailedStatus(jump), "Could not open Cursor IDE");
  const auto other = row("gemini-cli", HookStatus::alpha, true);
  EXPECT_EQ(settingsToolOpenedStatus(other), "Opened Gemini CLI setup");
  EXPECT_EQ(settingsToolOpenFailedStatus(other), "Could not open Gemini CLI");
}

TEST(SettingsToolActionTest, GroupsFollowFirstAppearanceOfEachProduct) {
  std::vector<ToolHealth> rows;
  for (const auto& item : aiToolCatalog()) rows.push_back(row(item.id, HookStatus::missing, false));
  // A product that appears again later joins its first group.
  rows.push_back(row("claude-app", HookStatus::alpha, true));
  const auto groups = settingsAIToolGroups(rows);
  std::vector<std::string> products;
  for (const auto& group : groups) products.push_back(group.product);
  EXPECT_EQ(products,
            (std::vector<std::string>{"Claude", "OpenAI Codex", "Cursor", "Kilo Code", "Pi",
                                      "Cline", "Roo Code", "Factory", "Trae", "Gemini", "OpenCode",
                                      "GitHub Copilot", "VS Code", "Kimi", "Warp", "Windsurf"}));
  ASSERT_EQ(groups[0].tools.size(), 3u);
  EXPECT_EQ(groups[0].tools[2].status, HookStatus::alpha);
  EXPECT_EQ(groups[2].tools.size(), 3u);
  EXPECT_EQ(groups[8].tools[1].id, "trae-solo");
}

}  // namespace
}  // namespace glimmet
