// Gemini CLI's hooks in its user settings: what an install writes and keeps, how the health
// check judges the entries, and how they come out again.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "base/text.hpp"
#include "hook_test_support.hpp"
#include "integrations/hook_config_json.hpp"

namespace glimmet {
namespace {

using testing::backupsOf;
using testing::healthRow;
using testing::readText;
using testing::ticking;
using testing::ToolWorld;
using testing::writeText;

ConfigJson readSettings(const std::string& path) {
  return ConfigJson::parse(readText(path));
}

constexpr const char* kGeminiEvents[] = {"SessionStart", "SessionEnd", "BeforeAgent", "AfterAgent",
                                         "BeforeTool",   "AfterTool",  "Notification"};

// Glimmet's handlers under `event`, found by their name.
std::vector<ConfigJson> ownHandlers(const ConfigJson& hooks, const std::string& event) {
  std::vector<ConfigJson> found;
  if (!hooks.contains(event)) return found;
  for (const auto& group : hooks[event]) {
    for (const auto& handler : group["hooks"]) {
      if (handler.value("name", "") == "glimmet-event") found.push_back(handler);
    }
  }
  return found;
}

std::vector<std::string> keysOf(const ConfigJson& object) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.push_back(key);
  return keys;
}

constexpr const char* kUserSettings = R"({
    "theme": "Dracula",
    "mcpServers": {"zeta": {"command": "z"}, "alpha": {"command": "a"}},
    "hooksConfig": {"enabled": true},
    "hooks": {
        "BeforeTool": [
            {"matcher": "run_shell_command",
             "hooks": [{"name": "audit", "type": "command", "command": "/opt/audit/log-tool", "timeout": 5000}]}
        ]
    },
    "general": {"vimMode": true}
}
)";

TEST(GeminiInstallTest, MergesOneEntryPerEventAndKeepsEverythingElse) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(1700000000));
  ToolWorld::makeFile(manager.geminiSettings(), false, kUserSettings);
  EXPECT_EQ(manager.geminiSettings(), world.homeFile(".gemini/settings.json"));

  ASSERT_TRUE(manager.install("gemini-cli").ok());
  const std::string first = readText(manager.geminiSettings());
  ASSERT_TRUE(manager.install("gemini").ok());
  // The second install found everything in place: the same bytes, no second backup.
  EXPECT_EQ(readText(manager.geminiSettings()), first);
  EXPECT_EQ(backupsOf(manager.geminiSettings()),
            (std::vector<std::string>{"settings.json.glimmet-backup-1700000000"}));
  EXPECT_EQ(readText(world.homeFile(".gemini/settings.json.glimmet-backup-1700000000")),
            kUserSettings);

  const ConfigJson settings = readSettings(manager.geminiSettings());
  // The user's keys, in the user's order, and the user's four-space indentation.
  EXPECT_EQ(keysOf(settings),
            (std::vector<std::string>{"theme", "mcpServers", "hooksConfig", "hooks", "general"}));
  EXPECT_EQ(keysOf(settings["mcpServers"]), (std::vector<std::string>{"zeta", "alpha"}));
  EXPECT_TRUE(first.starts_with("{\n    \"theme\": \"Dracula\",\n"));

  const ConfigJson& hooks = settings["hooks"];
  EXPECT_EQ(keysOf(hooks).size(), std::size(kGeminiEvents));
  const ConfigJson expected = {
      {"name", "glimmet-event"},
      {"type", "command"},
      {"command", manager.bridgeCommand(manager.eventCommandPath(), "--source gemini-cli")},
      {"timeout", 10000}};
  for (const auto* event : kGeminiEvents) {
    SCOPED_TRACE(event);
    const auto own = ownHandlers(hooks, event);
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0], expected);
  }
  // The user's own BeforeTool hook stays first and untouched; Glimmet's group follows it and
  // runs for every tool. Lifecycle events get no matcher, which Gemini reads as "every".
  ASSERT_EQ(hooks["BeforeTool"].size(), 2u);
  EXPECT_EQ(hooks["BeforeTool"][0],
            ConfigJson::parse(R"({"matcher": "run_shell_command", "hooks": [{"name": "audit",
                "type": "command", "command": "/opt/audit/log-tool", "timeout": 5000}]})"));
  EXPECT_EQ(hooks["BeforeTool"][1]["matcher"], "*");
  EXPECT_EQ(hooks["AfterTool"][0]["matcher"], "*");
  EXPECT_FALSE(hooks["SessionEnd"][0].contains("matcher"));
  EXPECT_FALSE(hooks["Notification"][0].contains("matcher"));
}

TEST(GeminiInstallTest, InvalidSettingsAreRefusedAndLeftAsTheyWere) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(5));
  const std::string broken = "{\n  \"theme\": \"Dracula\",\n  \"hooks\": {\n}\n";
  ToolWorld::makeFile(manager.geminiSettings(), false, broken);
  const Status status = manager.install("gemini-cli");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), manager.geminiSettings() + " is not valid JSON (line 5)");
  EXPECT_EQ(readText(manager.geminiSettings()), broken);
  EXPECT_TRUE(backupsOf(manager.geminiSettings()).empty());
  EXPECT_FALSE(manager.removeGeminiHooks().ok());
  EXPECT_EQ(readText(manager.geminiSettings()), broken);
  // The preview says why instead of showing a diff.
  EXPECT_TRUE(contains(manager.installationPreview("gemini-cli").second,
                       "Cannot edit: " + manager.geminiSettings() + " is not valid JSON"));
}

TEST(GeminiInstallTest, GeminiCliHomeMovesTheSettings) {
  ToolWorld world;
  world.setEnvironment("GEMINI_CLI_HOME", world.homeFile("elsewhere"));
  const HookManager manager = world.manager();
  EXPECT_EQ(manager.geminiSettings(), world.homeFile("elsewhere/.gemini/settings.json"));
  ASSERT_TRUE(manager.install("gemini-cli").ok());
  EXPECT_EQ(ownHandlers(readSettings(manager.geminiSettings())["hooks"], "BeforeAgent").size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(world.homeFile(".gemini")));
  // That folder alone is Gemini's trace: the health check looks there.
  const auto gemini = healthRow(manager.health(), "gemini-cli");
  EXPECT_TRUE(gemini.detected);
  EXPECT_EQ(gemini.status, HookStatus::healthy);
}

TEST(GeminiHealthTest, HealthyOnlyWhileEveryEntryIsWhatAnInstallWrites) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(100));
  const auto row = [&] { return healthRow(manager.health(), "gemini-cli"); };

  EXPECT_EQ(row().status, HookStatus::missing);
  EXPECT_EQ(row().detail, "Install or repair Gemini CLI hooks");
  world.addCommand("gemini");
  EXPECT_EQ(row().status, HookStatus::repair);
  EXPECT_EQ(hookStatusRawValue(row().status), "Needs repair");
  // The wrapper stays documented beside the hooks, for versions that have none.
  EXPECT_TRUE(row().path.ends_with(" · glimmet-wrap"));
  EXPECT_EQ(row().integration, "Hooks / Wrapper");

  ASSERT_TRUE(manager.install("gemini-cli").ok());
  EXPECT_EQ(row().status, HookStatus::healthy);
  EXPECT_EQ(hookStatusRawValue(row().status), "Healthy");
  EXPECT_EQ(row().detail,
            "Hooks write local Glimmet events; the wrapper records versions without hooks");
  const std::string installed = readText(manager.geminiSettings());

  // Each edit of one entry asks for repair, and a repair puts back exactly what was installed.
  const auto editOnce = [&](const std::function<void(ConfigJson&)>& edit,
                            const std::string& problem) {
    SCOPED_TRACE(problem);
    ConfigJson settings = ConfigJson::parse(installed);
    edit(settings["hooks"]);
    writeText(manager.geminiSettings(), serializeConfig(settings, installed));
    EXPECT_EQ(row().status, HookStatus::repair);
    EXPECT_EQ(row().detail, "Install or repair Gemini CLI hooks (missing " + problem + ")");
    ASSERT_TRUE(manager.install("gemini-cli").ok());
    EXPECT_EQ(readText(manager.geminiSettings()), installed);
    EXPECT_EQ(row().status, HookStatus::healthy);
  };
  editOnce([](ConfigJson& hooks) { hooks["BeforeTool"][0]["hooks"][0]["timeout"] = 60000; },
           "current BeforeTool hook");
  editOnce([](ConfigJson& hooks) { hooks["AfterTool"][0]["matcher"] = "run_shell_command"; },
           "current AfterTool hook");
  editOnce([](ConfigJson& hooks) { hooks["AfterAgent"][0]["hooks"][0]["command"] = "true"; },
           "current AfterAgent hook");
  editOnce([](ConfigJson& hooks) { hooks.erase("Notification"); }, "Notification hook");
  editOnce([](ConfigJson& hooks) { hooks["SessionEnd"].push_back(hooks["SessionEnd"][0]); },
           "current SessionEnd hook");
  // An entry on an event Glimmet does not use (BeforeModel runs on every model call).
  editOnce([](ConfigJson& hooks) { hooks["BeforeModel"] = hooks["SessionStart"]; },
           "current BeforeModel hook");

  // An outdated bridge script asks for repair too.
  writeText(manager.eventCommandPath(), "#!/usr/bin/env python3\n");
  EXPECT_EQ(row().status, HookStatus::repair);
}

TEST(GeminiRemovalTest, TakesOutExactlyGlimmetsEntries) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(200));
  ToolWorld::makeFile(manager.geminiSettings(), false, kUserSettings);
  ASSERT_TRUE(manager.install("gemini-cli").ok());
  ASSERT_TRUE(manager.removeGeminiHooks().ok());
  // Back to the user's own content; only the layout is the installer's.
  EXPECT_EQ(readSettings(manager.geminiSettings()), ConfigJson::parse(kUserSettings));
  EXPECT_EQ(backupsOf(manager.geminiSettings()).size(), 2u);
  // Nothing left to remove: the file is not touched again.
  const std::string removed = readText(manager.geminiSettings());
  ASSERT_TRUE(manager.removeGeminiHooks().ok());
  EXPECT_EQ(readText(manager.geminiSettings()), removed);
  EXPECT_EQ(backupsOf(manager.geminiSettings()).size(), 2u);

  // Settings that held nothing but Glimmet's hooks lose the hooks table with them.
  ToolWorld fresh;
  const HookManager other = fresh.manager();
  ASSERT_TRUE(other.install("gemini-cli").ok());
  ASSERT_TRUE(other.removeGeminiHooks().ok());
  EXPECT_EQ(readText(other.geminiSettings()), "{}\n");
  // No settings at all: nothing to do, nothing made.
  std::filesystem::remove(other.geminiSettings());
  ASSERT_TRUE(other.removeGeminiHooks().ok());
  EXPECT_FALSE(std::filesystem::exists(other.geminiSettings()));
}

TEST(GeminiInstallTest, PreviewShowsTheSettingsDiffAndTheWrapperFallback) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const auto [title, body] = manager.installationPreview("gemini");
  EXPECT_EQ(title, "Gemini CLI bridge install preview");
  EXPECT_TRUE(contains(body, "Gemini CLI hooks:\n+ " + manager.geminiSettings() +
                                 ": SessionStart, SessionEnd, BeforeAgent, AfterAgent, "
                                 "BeforeTool, AfterTool, Notification"));
  EXPECT_TRUE(contains(body, "+++ " + manager.geminiSettings()));
  EXPECT_TRUE(contains(body, "\"name\": \"glimmet-event\""));
  EXPECT_TRUE(contains(body, manager.wrapPath() + " --source gemini-cli -- gemini"));
  // A preview writes nothing.
  EXPECT_FALSE(std::filesystem::exists(manager.geminiSettings()));
}

}  // namespace
}  // namespace glimmet
