#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "base/json_values.hpp"
#include "base/text.hpp"
#include "hook_test_support.hpp"
#include "integrations/embedded_scripts.hpp"

namespace glimmet {
namespace {

using testing::backupsOf;
using testing::readJsonFile;
using testing::readText;
using testing::ticking;
using testing::ToolWorld;
using testing::writeText;

// How many groups of `event` have a command containing `needle`.
int groupsMentioning(const Json& hooks, const std::string& event, const std::string& needle) {
  int count = 0;
  if (!hooks.contains(event)) return 0;
  for (const auto& group : hooks[event]) {
    for (const auto& handler : group["hooks"]) {
      if (contains(handler.value("command", ""), needle)) {
        ++count;
        break;
      }
    }
  }
  return count;
}

// The notify array the installer writes, as TOML text.
std::string notifyArray(const HookManager& manager) {
  std::string text;
  for (const auto& part : manager.codexNotifyCommand()) {
    text += (text.empty() ? "\"" : ", \"") + part + "\"";
  }
  return text;
}

// config.toml up to the trust entries, which come last and have tests of their own.
std::string beforeTrust(const std::string& config) {
  return config.substr(0, config.find("\n[hooks.state."));
}

unsigned modeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

constexpr const char* kClaudeEventHooks[] = {
    "SessionStart", "UserPromptSubmit",   "Notification",
    "TaskCreated",  "TaskCompleted",      "Stop",
    "StopFailure",  "SessionEnd",         "PreToolUse",
    "PostToolUse",  "PostToolUseFailure", "PermissionRequest"};

TEST(BridgeScriptInstallTest, ScriptsAreExecutableCopiesOfTheSources) {
  ToolWorld world;
  const HookManager manager = world.manager();
  // An outdated copy with the wrong mode is replaced. Its folders are private, as an install
  // makes them: whatever the umask, a Glimmet home others can write is refused.
  ToolWorld::makeFile(manager.eventCommandPath(), false, "old");
  for (const auto* folder : {".glimmet", ".glimmet/bin"}) {
    std::filesystem::permissions(world.homeFile(folder), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
  }
  ASSERT_TRUE(manager.installBridgeScripts().ok());
  const std::string sources = std::string(GLIMMET_SOURCE_DIR) + "/src/integrations/scripts/";
  for (const auto* name : {"glimmet-event", "glimmet-codex-notify", "glimmet-claude-statusline",
                           "glimmet-wrap", "glimmet-hook-claude", "glimmet-hook-codex"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(modeOf(manager.bridgePath(name)), 0755u);
    EXPECT_EQ(readText(manager.bridgePath(name)), readText(sources + name));
  }
  // The event bridge's body is a module the launcher imports: read, never run.
  EXPECT_EQ(modeOf(manager.bridgePath("glimmet_event.py")), 0644u);
  EXPECT_EQ(readText(manager.bridgePath("glimmet_event.py")),
            readText(sources + "glimmet_event.py"));
  EXPECT_FALSE(std::filesystem::exists(manager.bridgePath("glimmet.js")));
  EXPECT_TRUE(std::filesystem::is_directory(world.homeFile(".glimmet/config")));
}

TEST(ClaudeInstallTest, InstallingTwiceLeavesOneGlimmetGroupPerEvent) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(1700000000));
  // The user's own hook and settings survive.
  ToolWorld::makeFile(
      manager.claudeSettings(), false,
      R"({"model":"opus","hooks":{"Stop":[{"hooks":[{"type":"command","command":"say done"}]}]}})");
  ASSERT_TRUE(manager.install("claude-code").ok());
  ASSERT_TRUE(manager.install("claude").ok());

  const Json settings = readJsonFile(manager.claudeSettings());
  EXPECT_EQ(settings["model"], "opus");
  const Json& hooks = settings["hooks"];
  EXPECT_EQ(hooks.size(), std::size(kClaudeEventHooks));
  for (const auto* event : kClaudeEventHooks) {
    EXPECT_EQ(groupsMentioning(hooks, event, manager.eventCommandPath()), 1) << event;
  }
  // Only Claude's own permission prompt waits for the user; the events that fire on every
  // prompt and tool call never do.
  for (const auto* event : {"PreToolUse", "UserPromptSubmit", "Stop"}) {
    EXPECT_EQ(groupsMentioning(hooks, event, manager.claudeHookPath()), 0) << event;
  }
  EXPECT_EQ(groupsMentioning(hooks, "PermissionRequest", manager.claudeHookPath()), 1);
  EXPECT_EQ(groupsMentioning(hooks, "Stop", "say done"), 1);
  ASSERT_EQ(hooks["Stop"].size(), 2u);
  EXPECT_EQ(hooks["Stop"][0]["hooks"][0]["command"], "say done");
  EXPECT_FALSE(hooks["Stop"][1].contains("matcher"));
  EXPECT_EQ(hooks["PreToolUse"][0]["matcher"], "*");
  EXPECT_EQ(
      hooks["PreToolUse"][0]["hooks"][0],
      (Json{{"type", "command"},
            {"command", manager.bridgeCommand(manager.eventCommandPath(), "--source claude_code")},
            {"timeout", 10}}));
  // The closed loop outlasts the bridge's 120 s wait, so Claude never kills it first.
  EXPECT_EQ(hooks["PermissionRequest"][1],
            (Json{{"matcher", "*"},
                  {"hooks",
                   {{{"type", "command"},
                     {"command", manager.bridgeCommand(manager.claudeHookPath(), "")},
                     {"timeout", 130}}}}}));
  EXPECT_EQ(settings["statusLine"],
            (Json{{"type", "command"},
                  {"command", manager.bridgeCommand(manager.claudeStatusLinePath(), "")},
                  {"refreshInterval", 60}}));
  // No python3 on this world's search path: the agent's own path decides.
  EXPECT_EQ(manager.bridgeCommand(manager.claudeHookPath(), ""),
            "GLIMMET_HOME=" + world.homeFile(".glimmet") +
                " GLIMMET_EVENT_FILE=" + world.homeFile(".local/share/Glimmet/events.jsonl") +
                " /usr/bin/env python3 -S " + manager.claudeHookPath());

  // Only the first install changed the file, after backing up the user's original text.
  const auto backups = backupsOf(manager.claudeSettings());
  ASSERT_EQ(backups, (std::vector<std::string>{"settings.json.glimmet-backup-1700000000"}));
  EXPECT_TRUE(contains(readText(world.homeFile(".claude/" + backups[0])), "\"model\":\"opus\""));
  // Nothing to chain: there was no status line.
  EXPECT_FALSE(std::filesystem::exists(manager.claudeStatusLineChain()));
}

TEST(ClaudeInstallTest, ForeignStatusLineIsChainedAndItsIntervalKept) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(10));
  ToolWorld::makeFile(
      manager.claudeSettings(), false,
      R"({"statusLine":{"type":"command","command":"~/bin/my-line","refreshInterval":5}})");
  ASSERT_TRUE(manager.installClaudeHooks().ok());
  EXPECT_EQ(readJsonFile(manager.claudeStatusLineChain()),
            (Json{{"statusLine",
                   {{"type", "command"}, {"command", "~/bin/my-line"}, {"refreshInterval", 5}}}}));
  const Json statusLine = readJsonFile(manager.claudeSettings())["statusLine"];
  EXPECT_EQ(statusLine["command"], manager.bridgeCommand(manager.claudeStatusLinePath(), ""));
  EXPECT_EQ(statusLine["refreshInterval"], 5);

  // Installing again must not chain Glimmet's own status line to itself.
  ASSERT_TRUE(manager.installClaudeHooks().ok());
  EXPECT_EQ(readJsonFile(manager.claudeStatusLineChain())["statusLine"]["command"],
            "~/bin/my-line");
}

TEST(ClaudeInstallTest, EscapedSlashesAreRecognisedAsAlreadyInstalled) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const std::string escaped = replaceAll(manager.eventCommandPath(), "/", "\\/");
  ToolWorld::makeFile(manager.claudeSettings(), false,
                      "{\"hooks\":{\"Stop\":[{\"hooks\":[{\"type\":\"command\",\"command\":\"" +
                          escaped + " --source claude_code\"}]}]}}");
  const auto planned = manager.plannedClaudeSettings();
  ASSERT_TRUE(planned.ok());
  const Json hooks = Json::parse(planned.value())["hooks"];
  EXPECT_EQ(groupsMentioning(hooks, "Stop", manager.eventCommandPath()), 1);
}

TEST(ClaudeInstallTest, SettingsThatAreNotAnObjectAreRefused) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(42));
  ToolWorld::makeFile(manager.claudeSettings(), false, "[1, 2]\n");
  const Status status = manager.install("claude-code");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error(), manager.claudeSettings() + " does not hold a JSON object");
  EXPECT_EQ(readText(manager.claudeSettings()), "[1, 2]\n");
  // Blank settings are simply empty.
  ToolWorld::makeFile(manager.claudeSettings(), false, "  \n");
  ASSERT_TRUE(manager.install("claude-code").ok());
  EXPECT_TRUE(readJsonFile(manager.claudeSettings()).contains("hooks"));
}

TEST(ClaudeInstallTest, PrivateAndLinkedSettingsStaySo) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const std::string real = world.homeFile("dotfiles/claude-settings.json");
  ToolWorld::makeFile(real, false, "{\"env\":{\"API_KEY\":\"secret\"}}");
  ::chmod(real.c_str(), 0600);
  std::filesystem::create_directories(world.homeFile(".claude"));
  std::filesystem::create_symlink(real, manager.claudeSettings());
  ASSERT_TRUE(manager.installClaudeHooks().ok());
  EXPECT_TRUE(std::filesystem::is_symlink(manager.claudeSettings()));
  EXPECT_EQ(modeOf(real), 0600u);
  EXPECT_EQ(readJsonFile(real)["env"]["API_KEY"], "secret");
  EXPECT_TRUE(readJsonFile(real).contains("hooks"));
}

TEST(CodexInstallTest, ForeignNotifyMovesToTheChainFile) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(7));
  const std::string original =
      "model = \"o3\"\n"
      "notify = [\"python3\", \"/home/me/notify.py\"]\n"
      "\n"
      "[features]\n"
      "codex_hooks = true\n"
      "\n"
      "[projects.\"/home/me/app\"]\n"
      "trust_level = \"trusted\"\n";
  ToolWorld::makeFile(manager.codexConfig(), false, original);
  ASSERT_TRUE(manager.install("codex-cli").ok());

  EXPECT_EQ(readJsonFile(manager.codexNotifyChain()),
            (Json{{"notify", {"python3", "/home/me/notify.py"}}}));
  EXPECT_EQ(beforeTrust(readText(manager.codexConfig())),
            "model = \"o3\"\n"
            "notify = [" +
                notifyArray(manager) +
                "]\n"
                "\n"
                "[features]\n"
                "hooks = true\n"
                "\n"
                "[projects.\"/home/me/app\"]\n"
                "trust_level = \"trusted\"\n");
  EXPECT_EQ(readText(manager.codexConfig() + ".glimmet-backup-7"), original);

  // Installing again keeps the chain pointing at the user's program, not at Glimmet's bridge.
  ASSERT_TRUE(manager.install("codex").ok());
  EXPECT_EQ(readJsonFile(manager.codexNotifyChain())["notify"][1], "/home/me/notify.py");
  EXPECT_EQ(backupsOf(manager.codexConfig()).size(), 1u);
  EXPECT_TRUE(backupsOf(manager.codexHooks()).empty());  // nothing changed the second time
}

TEST(CodexInstallTest, BridgeFromAnOldLocationIsReplacedNotChained) {
  ToolWorld world;
  const HookManager manager = world.manager();
  ToolWorld::makeFile(manager.codexConfig(), false,
                      "notify = [\"/old/home/.glimmet/bin/glimmet-codex-notify\"]\n");
  ASSERT_TRUE(manager.install("codex-cli").ok());
  EXPECT_EQ(beforeTrust(readText(manager.codexConfig())),
            "notify = [" + notifyArray(manager) + "]\n\n[features]\nhooks = true\n");
  EXPECT_FALSE(std::filesystem::exists(manager.codexNotifyChain()));
}

TEST(CodexInstallTest, EmptyOrMissingConfigGetsNotifyAndFeatures) {
  for (const bool exists : {true, false}) {
    SCOPED_TRACE(exists ? "empty file" : "no file");
    ToolWorld world;
    const HookManager manager = world.manager();
    if (exists) ToolWorld::makeFile(manager.codexConfig(), false, "");
    ASSERT_TRUE(manager.installCodexNotify().ok());
    EXPECT_EQ(beforeTrust(readText(manager.codexConfig())),
              "notify = [" + notifyArray(manager) + "]\n\n[features]\nhooks = true\n");
    EXPECT_FALSE(std::filesystem::exists(manager.codexNotifyChain()));
  }
}

TEST(CodexInstallTest, HooksFileHasEventAndApprovalGroupsOnce) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(1));
  ToolWorld::makeFile(
      manager.codexHooks(), false,
      R"({"hooks":{"Stop":[{"hooks":[{"type":"command","command":"afplay done.aiff"}]}]}})");
  ASSERT_TRUE(manager.install("codex-cli").ok());
  ASSERT_TRUE(manager.install("codex-cli").ok());
  const Json hooks = readJsonFile(manager.codexHooks())["hooks"];
  EXPECT_EQ(hooks.size(), 3u);
  for (const auto* event : {"PermissionRequest", "UserPromptSubmit", "Stop"}) {
    EXPECT_EQ(groupsMentioning(hooks, event, manager.eventCommandPath()), 1) << event;
  }
  EXPECT_EQ(groupsMentioning(hooks, "PermissionRequest", manager.codexHookPath()), 1);
  EXPECT_EQ(groupsMentioning(hooks, "UserPromptSubmit", manager.codexHookPath()), 0);
  EXPECT_EQ(groupsMentioning(hooks, "Stop", manager.codexHookPath()), 0);
  EXPECT_EQ(hooks["Stop"][0]["hooks"][0]["command"], "afplay done.aiff");
  EXPECT_EQ(
      hooks["PermissionRequest"][0],
      (Json{{"matcher", "*"},
            {"hooks",
             {{{"type", "command"},
               {"command", manager.bridgeCommand(manager.eventCommandPath(), "--source codex")},
               {"timeout", 10},
               {"statusMessage", "Notify Glimmet"}}}}}));
  EXPECT_EQ(hooks["UserPromptSubmit"][0]["hooks"][0]["async"], true);
  EXPECT_FALSE(hooks["Stop"][1]["hooks"][0].contains("async"));
  EXPECT_FALSE(hooks["Stop"][1].contains("matcher"));
  EXPECT_EQ(hooks["PermissionRequest"][1]["hooks"][0],
            (Json{{"type", "command"},
                  {"command",
                   manager.bridgeCommand(manager.codexHookPath(), "--event PermissionRequest")},
                  {"timeout", 130},
                  {"statusMessage", "Glimmet approval gate"}}));
  EXPECT_EQ(backupsOf(manager.codexHooks()).size(), 1u);
}

// An approval hook written by an older version may name the event bridge among its arguments.
// It is Glimmet's, not the user's: the first install rewrites it and adds the event hook beside
// it, so a second install finds nothing left to change.
TEST(HookPlanTest, OwnApprovalCommandMentioningTheEventBridgeIsNotTheUsers) {
  ToolWorld world;
  const HookManager manager = world.manager(ticking(1));
  const auto settingsWith = [&](const std::string& approvalBridge) {
    return Json{
        {"hooks",
         {{"PermissionRequest",
           {{{"matcher", "*"},
             {"hooks",
              {{{"type", "command"},
                {"command", "python3 " + approvalBridge + " " + manager.eventCommandPath()}}}}}}}}}}
        .dump();
  };
  const auto claude = manager.plannedClaudeSettings(settingsWith(manager.claudeHookPath()));
  ASSERT_TRUE(claude.ok());
  EXPECT_EQ(manager.plannedClaudeSettings(claude.value()).value(), claude.value());
  const Json claudeHooks = Json::parse(claude.value())["hooks"];
  EXPECT_EQ(groupsMentioning(claudeHooks, "PermissionRequest", manager.eventCommandPath()), 1);
  EXPECT_EQ(groupsMentioning(claudeHooks, "PermissionRequest", manager.claudeHookPath()), 1);

  const auto codex = manager.plannedCodexHooks(settingsWith(manager.codexHookPath()));
  ASSERT_TRUE(codex.ok());
  EXPECT_EQ(manager.plannedCodexHooks(codex.value()).value(), codex.value());
  const Json codexHooks = Json::parse(codex.value())["hooks"];
  EXPECT_EQ(groupsMentioning(codexHooks, "PermissionRequest", manager.eventCommandPath()), 1);
  EXPECT_EQ(groupsMentioning(codexHooks, "PermissionRequest", manager.codexHookPath()), 1);
}

TEST(OpenCodeInstallTest, PluginGoesUnderTheConfigurationRoot) {
  ToolWorld world;
  const HookManager manager = world.manager();
  ASSERT_TRUE(manager.install("opencode").ok());
  const std::string plugin = world.homeFile(".config/opencode/plugins/glimmet.js");
  EXPECT_EQ(manager.opencodePlugin(), plugin);
  EXPECT_EQ(readText(plugin),
            readText(std::string(GLIMMET_SOURCE_DIR) + "/src/integrations/scripts/glimmet.js"));
  EXPECT_EQ(modeOf(plugin), 0644u);
}

TEST(InstallFailureTest, BlockedConfigurationDirectoryKeepsTheScripts) {
  ToolWorld world;
  const HookManager manager = world.manager();
  // A file where the configuration directory should be: no directory can be made there.
  ToolWorld::makeFile(world.homeFile(".claude"), false, "not a directory");
  const Status status = manager.install("claude-code");
  ASSERT_FALSE(status.ok());
  EXPECT_TRUE(contains(status.error(), world.homeFile(".claude"))) << status.error();
  EXPECT_EQ(readText(manager.eventCommandPath()), embeddedScript("glimmet-event").value());
  EXPECT_EQ(readText(world.homeFile(".claude")), "not a directory");
}

TEST(InstallFailureTest, ReadOnlyConfigurationDirectory) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  ToolWorld world;
  const HookManager manager = world.manager();
  std::filesystem::create_directories(world.homeFile(".codex"));
  ToolWorld::makeFile(manager.codexConfig(), false, "model = \"o3\"\n");
  ::chmod(world.homeFile(".codex").c_str(), 0555);
  const Status status = manager.install("codex-cli");
  ::chmod(world.homeFile(".codex").c_str(), 0755);
  ASSERT_FALSE(status.ok());
  EXPECT_TRUE(contains(status.error(), "Permission denied")) << status.error();
  EXPECT_EQ(readText(manager.codexConfig()), "model = \"o3\"\n");
  EXPECT_TRUE(std::filesystem::exists(manager.codexNotifyPath()));
}

TEST(InstallPreviewTest, CodexPreviewShowsFeaturesAndHooksFile) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const auto [title, body] = manager.installationPreview("codex-cli");
  EXPECT_TRUE(contains(title, "Codex CLI"));
  EXPECT_TRUE(body.starts_with("Bridge scripts:\n+ " + manager.eventCommandPath() + "\n+ " +
                               manager.codexNotifyPath() + "\n+ " +
                               manager.claudeStatusLinePath()));
  EXPECT_TRUE(contains(body, "\nCodex hooks:\n+ [features] hooks = true\n+ " +
                                 manager.codexHooks() +
                                 ": PermissionRequest, UserPromptSubmit, Stop"));
  EXPECT_TRUE(contains(body, "--- " + manager.codexConfig()));
  EXPECT_TRUE(contains(body, "--- " + manager.codexHooks()));
  EXPECT_FALSE(contains(body, "codex_hooks"));
  // A preview writes nothing.
  EXPECT_FALSE(std::filesystem::exists(world.homeFile(".codex")));
  EXPECT_FALSE(std::filesystem::exists(world.homeFile(".glimmet")));
}

}  // namespace
}  // namespace glimmet
