// The first-run question: what it asks for from the stored decisions and the hook health, its
// exact texts, when it may run, and what Continue writes (the defaults file, the hook files).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/startup_permissions.hpp"
#include "integrations/hook_test_support.hpp"
#include "pets/pet_catalog.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::TempDir;
using testing::ToolWorld;

constexpr const char* kAccessText =
    "Glimmet uses folder access to scan installed Codex pets and macOS Automation to focus the "
    "current agent terminal or app when you use Jump.";
constexpr const char* kHooksText =
    "Glimmet will also install or repair local Claude/Codex hook files so approval and "
    "completion events can reach the notch.";

ToolHealth row(const std::string& id, bool detected, HookStatus status) {
  ToolHealth health;
  health.id = id;
  health.detected = detected;
  health.status = status;
  return health;
}

TEST(StartupPermissionNeeds, PetsFolderIsNeededUntilAllowedOrDecided) {
  struct Case {
    const char* stored;
    bool needed;
  };
  const Case cases[] = {
      {"{}", true},
      {R"({"codexPetsDirectoryAuthorized":false,"didRequestCodexPetsDirectoryAuthorization":false})",
       true},
      {R"({"codexPetsDirectoryAuthorized":true})", false},
      {R"({"didRequestCodexPetsDirectoryAuthorization":true})", false},
      // Read as the pet list reads it: whatever it takes for allowed counts here too.
      {R"({"codexPetsDirectoryAuthorized":"yes"})", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    TempDir dir;
    testing::writeText(dir.file("defaults.json"), c.stored);
    const JsonFileUserDefaults defaults(dir.file("defaults.json"));
    const auto needs = startupPermissionNeeds(defaults, {}, false);
    EXPECT_EQ(needs.codexPetsDirectory, c.needed);
    EXPECT_EQ(needs.any(), c.needed);
    EXPECT_FALSE(needs.aiToolHooks);
  }
}

TEST(StartupPermissionNeeds, HooksAreNeededOnlyForDetectedClaudeOrCodexAwaitingRepair) {
  TempDir dir;
  testing::writeText(dir.file("defaults.json"), R"({"codexPetsDirectoryAuthorized":true})");
  const JsonFileUserDefaults defaults(dir.file("defaults.json"));
  struct Case {
    const char* name;
    std::vector<ToolHealth> health;
    std::vector<std::string> tools;
  };
  const Case cases[] = {
      {"claude awaiting repair", {row("claude-code", true, HookStatus::repair)}, {"claude-code"}},
      {"codex awaiting repair", {row("codex-cli", true, HookStatus::repair)}, {"codex-cli"}},
      {"not detected", {row("claude-code", false, HookStatus::repair)}, {}},
      {"healthy", {row("claude-code", true, HookStatus::healthy)}, {}},
      {"missing", {row("codex-cli", true, HookStatus::missing)}, {}},
      {"another tool", {row("gemini-cli", true, HookStatus::repair)}, {}},
      // Claude first whatever order the health lists them in.
      {"both",
       {row("opencode-cli", true, HookStatus::repair), row("codex-cli", true, HookStatus::repair),
        row("claude-code", true, HookStatus::repair)},
       {"claude-code", "codex-cli"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto needs = startupPermissionNeeds(defaults, c.health, false);
    EXPECT_EQ(needs.hookToolIDs, c.tools);
    EXPECT_EQ(needs.aiToolHooks, !c.tools.empty());
    EXPECT_EQ(needs.any(), !c.tools.empty());
    EXPECT_FALSE(needs.codexPetsDirectory);
  }
  // Automation is the shell's to decide and passes through.
  const auto withAutomation = startupPermissionNeeds(defaults, {}, true);
  EXPECT_TRUE(withAutomation.automationPreflight);
  EXPECT_TRUE(withAutomation.any());
}

TEST(StartupPermissionTexts, HookParagraphFollowsABlankLineOnlyWhenHooksAreNeeded) {
  StartupPermissionNeeds petsOnly;
  petsOnly.codexPetsDirectory = true;
  EXPECT_EQ(startupPermissionInformativeText(petsOnly), kAccessText);

  StartupPermissionNeeds withHooks;
  withHooks.aiToolHooks = true;
  withHooks.hookToolIDs = {"codex-cli"};
  EXPECT_EQ(startupPermissionInformativeText(withHooks),
            std::string(kAccessText) + "\n\n" + kHooksText);

  const auto prompt = startupPermissionPrompt(withHooks);
  EXPECT_EQ(prompt.message, "Allow Glimmet startup permissions?");
  EXPECT_EQ(prompt.informativeText, std::string(kAccessText) + "\n\n" + kHooksText);
  EXPECT_EQ(prompt.buttons, (std::vector<std::string>{"Continue", "Later"}));
  EXPECT_EQ(prompt.buttons[static_cast<size_t>(prompt.continueButton)], "Continue");
  EXPECT_EQ(prompt.buttons[static_cast<size_t>(prompt.laterButton)], "Later");
}

TEST(StartupPermissionGate, RunsOnlyOnceOutsideIsolationOverASurface) {
  struct Case {
    bool isolated, alreadyRan, hasSurface, allowed;
  };
  const Case cases[] = {
      {false, false, true, true},   {true, false, true, false}, {false, true, true, false},
      {false, false, false, false}, {true, true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.isolated << c.alreadyRan << c.hasSurface);
    EXPECT_EQ(startupPermissionFlowAllowed(c.isolated, c.alreadyRan, c.hasSurface), c.allowed);
  }
}

TEST(StartupPermissionContinue, AllowsThePetsFolderInOneWriteKeepingOtherPreferences) {
  TempDir dir;
  const std::string file = dir.file("defaults.json");
  testing::writeText(file, R"({"selectedPetID":"glimcat"})");
  JsonFileUserDefaults defaults(file);
  ASSERT_TRUE(authorizeCodexPetsDirectory(defaults).ok());

  // What the next launch reads from disk.
  const JsonFileUserDefaults reread(file);
  EXPECT_TRUE(reread.boolValue("codexPetsDirectoryAuthorized", false));
  EXPECT_TRUE(reread.boolValue("didRequestCodexPetsDirectoryAuthorization", false));
  EXPECT_EQ(reread.stringValue("selectedPetID"), "glimcat");
  EXPECT_FALSE(startupPermissionNeeds(reread, {}, false).any());

  // The pets of ~/.codex/pets are now gathered.
  Paths paths;
  paths.homeDirectory = dir.path();
  EXPECT_EQ(petSources(paths, reread).codexPetsDirectory, dir.path() + "/.codex/pets");
}

TEST(StartupPermissionContinue, InstallsEachListedToolAndReportsEveryFailureByTool) {
  ToolWorld world(Platform::Linux);
  const HookManager manager = world.manager([] { return int64_t{1700000000}; });
  // Claude Code with a hook of another program and none of Glimmet's: awaiting repair.
  ToolWorld::makeFile(manager.claudeSettings(), false,
                      R"({"hooks":{"Stop":[{"hooks":[{"type":"command","command":"say"}]}]}})");
  const auto before = startupPermissionNeeds(JsonFileUserDefaults(world.homeFile("d.json")),
                                             manager.health(), false);
  ASSERT_EQ(before.hookToolIDs, (std::vector<std::string>{"claude-code"}));
  // Codex's folder is a file: its install cannot write there.
  ToolWorld::makeFile(world.homeFile(".codex"), false, "not a folder");

  const auto failures = installStartupHooks(manager, {"codex-cli", "claude-code"});
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].rfind("codex-cli: ", 0), 0u) << failures[0];
  EXPECT_GT(failures[0].size(), std::string("codex-cli: ").size());

  // Claude was installed after Codex failed; its old file was backed up first.
  EXPECT_TRUE(std::filesystem::exists(manager.claudeSettings() + ".glimmet-backup-1700000000"));
  EXPECT_NE(testing::readText(manager.claudeSettings()).find(manager.eventCommandPath()),
            std::string::npos);
  const auto after = startupPermissionNeeds(JsonFileUserDefaults(world.homeFile("d.json")),
                                            manager.health(), false);
  EXPECT_EQ(std::count(after.hookToolIDs.begin(), after.hookToolIDs.end(), "claude-code"), 0);
  EXPECT_TRUE(installStartupHooks(manager, {}).empty());
}

}  // namespace
}  // namespace glimmet
