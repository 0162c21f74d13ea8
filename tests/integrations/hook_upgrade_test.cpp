// Installing over what an older Glimmet wrote: its hooks that held sessions go, the rest is
// brought up to date where it stands, and nothing the user wrote is lost.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/json_values.hpp"
#include "base/text.hpp"
#include "hook_test_support.hpp"
#include "integrations/hook_groups.hpp"
#include "integrations/script_interpreter.hpp"
#include "platform/command_output.hpp"

namespace glimmet {
namespace {

using testing::readJsonFile;
using testing::readText;
using testing::ToolWorld;

Json handler(const std::string& command) {
  return {{"type", "command"}, {"command", command}};
}

Json group(std::optional<std::string> matcher, std::vector<Json> handlers) {
  Json result = {{"hooks", handlers}};
  if (matcher) result["matcher"] = *matcher;
  return result;
}

std::vector<std::string> commandsOf(const Json& hooks, const std::string& event) {
  std::vector<std::string> commands;
  if (!hooks.contains(event)) return commands;
  for (const auto& entry : hooks[event]) {
    for (const auto& one : entry["hooks"]) commands.push_back(one.value("command", ""));
  }
  return commands;
}

TEST(HookCommandTest, OwnCommandsAreToldFromCommandsTheUserComposed) {
  const std::string bridge = "/home/u/.glimmet/bin/glimmet-hook-claude";
  EXPECT_TRUE(isOwnBridgeCommand(bridge, bridge));
  EXPECT_TRUE(isOwnBridgeCommand("GLIMMET_HOME=/home/u/.glimmet " + bridge, bridge));
  EXPECT_TRUE(isOwnBridgeCommand("GLIMMET_HOME='/a b' /usr/bin/python3 " + bridge, bridge));
  EXPECT_TRUE(isOwnBridgeCommand("/usr/bin/env python3 -S " + bridge + " --event Stop", bridge));
  EXPECT_TRUE(isOwnBridgeCommand("'/opt/py 3/bin/python3.12' '" + bridge + "'", bridge));
  EXPECT_FALSE(isOwnBridgeCommand("bash -c '" + bridge + " | tee log'", bridge));
  EXPECT_FALSE(isOwnBridgeCommand("/my/wrapper " + bridge, bridge));
  EXPECT_FALSE(isOwnBridgeCommand(bridge + "-old", bridge));
  EXPECT_FALSE(isOwnBridgeCommand("'" + bridge, bridge));  // unbalanced quote
  EXPECT_EQ(shellWords(R"(A='x y' "b\"c" d\ e)"),
            (std::vector<std::string>{"A=x y", "b\"c", "d e"}));
}

TEST(HookUpgradeTest, ClaudeHooksThatHeldSessionsAreRemovedAndTheRestUpdatedInPlace) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const std::string gate = manager.claudeHookPath();
  const std::string event = manager.eventCommandPath();
  const std::string composed = "bash -c '" + gate + " >> /tmp/gate.log'";
  // What the previous version wrote, around the user's own hooks.
  const Json old = {
      {"hooks",
       {{"PreToolUse",
         {group("*", {handler(event + " --source claude_code")}),
          group("Bash", {handler("my-linter"), handler(gate)})}},
        {"UserPromptSubmit",
         {group(std::nullopt, {handler("GLIMMET_HOME=/old " + gate)}),
          group(std::nullopt, {handler(event + " --source claude_code")})}},
        {"Stop", {group(std::nullopt, {handler(gate)}), group(std::nullopt, {handler(composed)})}},
        {"PermissionRequest", {group("*", {handler("say asking")})}}}},
      {"theme", "dark"}};
  testing::ToolWorld::makeFile(manager.claudeSettings(), false, old.dump(2));
  world.addCommand("claude");
  ASSERT_TRUE(manager.installBridgeScripts().ok());
  EXPECT_EQ(testing::healthRow(manager.health(), "claude-code").status, HookStatus::repair);
  ASSERT_TRUE(manager.install("claude-code").ok());
  EXPECT_EQ(testing::healthRow(manager.health(), "claude-code").status, HookStatus::healthy);

  const Json settings = readJsonFile(manager.claudeSettings());
  const Json& hooks = settings["hooks"];
  EXPECT_EQ(settings["theme"], "dark");
  // The event bridge stays first on PreToolUse, brought up to today's command and timeout.
  EXPECT_EQ(hooks["PreToolUse"][0]["hooks"][0]["command"],
            manager.bridgeCommand(event, "--source claude_code"));
  EXPECT_EQ(hooks["PreToolUse"][0]["hooks"][0]["timeout"], 10);
  // The gate leaves the user's group; the user's linter stays with its matcher.
  EXPECT_EQ(hooks["PreToolUse"][1], group("Bash", {handler("my-linter")}));
  EXPECT_EQ(hooks["PreToolUse"].size(), 2u);
  // The old gate on UserPromptSubmit took its group with it.
  EXPECT_EQ(commandsOf(hooks, "UserPromptSubmit"),
            (std::vector<std::string>{manager.bridgeCommand(event, "--source claude_code")}));
  // A command the user composed around the bridge is theirs and stays.
  const auto stop = commandsOf(hooks, "Stop");
  EXPECT_EQ(std::count(stop.begin(), stop.end(), composed), 1);
  EXPECT_EQ(std::count(stop.begin(), stop.end(), gate), 0);
  // The gate now waits only on Claude's own permission prompt, after the user's hook.
  EXPECT_EQ(
      commandsOf(hooks, "PermissionRequest"),
      (std::vector<std::string>{"say asking", manager.bridgeCommand(event, "--source claude_code"),
                                manager.bridgeCommand(gate, "")}));

  // Installing again changes nothing.
  const std::string once = readText(manager.claudeSettings());
  ASSERT_TRUE(manager.install("claude-code").ok());
  EXPECT_EQ(readText(manager.claudeSettings()), once);

  // The Python version the hooks were installed with was removed: they need a repair.
  testing::writeText(manager.claudeSettings(),
                     replaceAll(once, "/usr/bin/env python3", "/opt/gone/bin/python3"));
  const auto gone = testing::healthRow(manager.health(), "claude-code");
  EXPECT_EQ(gone.status, HookStatus::repair);
  EXPECT_TRUE(contains(gone.detail, "current PermissionRequest approval hook")) << gone.detail;

  // An old gate left on Stop, even with everything else in place, holds every turn.
  auto stale = Json::parse(once);
  stale["hooks"]["Stop"].push_back(group(std::nullopt, {handler(gate)}));
  testing::writeText(manager.claudeSettings(), stale.dump(2));
  const auto held = testing::healthRow(manager.health(), "claude-code");
  EXPECT_EQ(held.status, HookStatus::repair);
  EXPECT_TRUE(contains(held.detail, "current Stop approval hook")) << held.detail;
}

TEST(HookUpgradeTest, CodexGatesOnPromptAndStopAreRemoved) {
  ToolWorld world;
  const HookManager manager = world.manager();
  const std::string gate = manager.codexHookPath();
  const Json old = {
      {"hooks",
       {{"UserPromptSubmit", {group(std::nullopt, {handler(gate + " --event UserPromptSubmit")})}},
        {"Stop",
         {group(std::nullopt, {handler("afplay done.aiff")}),
          group(std::nullopt, {handler(gate + " --event Stop")})}},
        {"PermissionRequest", {group("*", {handler(gate + " --event PermissionRequest")})}}}}};
  testing::ToolWorld::makeFile(manager.codexHooks(), false, old.dump(2));
  ASSERT_TRUE(manager.install("codex-cli").ok());
  const Json file = readJsonFile(manager.codexHooks());
  EXPECT_EQ(file.size(), 1u) << "no top-level key Codex does not know";
  const Json& hooks = file["hooks"];
  for (const auto* name : {"UserPromptSubmit", "Stop"}) {
    for (const auto& command : commandsOf(hooks, name)) {
      EXPECT_FALSE(contains(command, "glimmet-hook-codex")) << name << ": " << command;
    }
  }
  EXPECT_EQ(commandsOf(hooks, "Stop").front(), "afplay done.aiff");
  // The gate kept its place, first on PermissionRequest, with today's timeout.
  EXPECT_EQ(hooks["PermissionRequest"][0]["hooks"][0]["command"],
            manager.bridgeCommand(gate, "--event PermissionRequest"));
  EXPECT_EQ(hooks["PermissionRequest"][0]["hooks"][0]["timeout"], 130);
}

// A file that is a program (not a script starting with "#!").
void makeProgram(const std::string& path) {
  ToolWorld::makeFile(path, true,
                      std::string("\x7f"
                                  "ELF\x02\x01",
                                  6));
}

TEST(ScriptInterpreterTest, ShimsAreResolvedOnceToTheInterpreterTheyStandFor) {
  ToolWorld world;
  Environment environment;
  environment.set("PATH", world.pathDirectory());
  int probes = 0;
  const std::string real = world.homeFile("versions/3.12 beta/bin/python3");
  makeProgram(real);
  const InterpreterProbe probe = [&](const std::string&) -> std::optional<std::string> {
    ++probes;
    return real + "\n";
  };

  // Nothing on the search path: the agent's own search path decides.
  EXPECT_EQ(resolvePythonInterpreter(environment, probe), "/usr/bin/env python3");
  EXPECT_EQ(probes, 0);

  // A shim script is asked, and the answer is quoted as one shell word.
  ToolWorld::makeFile(world.pathDirectory() + "/python3", true, "#!/usr/bin/env bash\nexec x\n");
  EXPECT_EQ(resolvePythonInterpreter(environment, probe), "'" + real + "'");
  EXPECT_EQ(probes, 1);
  // A shim that answers with nothing usable, or with another script, is not trusted.
  EXPECT_EQ(resolvePythonInterpreter(environment, [](const std::string&) { return "python3"; }),
            "/usr/bin/env python3");
  EXPECT_EQ(resolvePythonInterpreter(environment,
                                     [&](const std::string& shim) { return std::optional(shim); }),
            "/usr/bin/env python3");

  // A real program on the path is used as it is, without asking anything.
  makeProgram(world.pathDirectory() + "/python3");
  EXPECT_EQ(resolvePythonInterpreter(environment, probe), world.pathDirectory() + "/python3");
  EXPECT_EQ(probes, 1);
}

TEST(ScriptInterpreterTest, AShimIsAskedForRealAndAHangingOneIsCutShort) {
  ToolWorld world;
  const std::string shim = world.homeFile("shims/python3");
  ToolWorld::makeFile(shim, true, "#!/bin/sh\necho /opt/python/bin/python3\n");
  EXPECT_EQ(askShimForInterpreter(shim), "/opt/python/bin/python3");

  ToolWorld::makeFile(shim, true, "#!/bin/sh\necho partial; exit 3\n");
  EXPECT_EQ(askShimForInterpreter(shim), std::nullopt);

  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(commandOutput({"/bin/sh", "-c", "sleep 30"}, std::chrono::milliseconds(200)),
            std::nullopt);
  // Closing its output does not let a program outlive the limit either.
  EXPECT_EQ(commandOutput({"/bin/sh", "-c", "exec >&-; sleep 30"}, std::chrono::milliseconds(200)),
            std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_EQ(commandOutput({"/nonexistent/program"}, std::chrono::seconds(1)), std::nullopt);
}

}  // namespace
}  // namespace glimmet
