// One Gemini CLI turn the way Gemini runs it: `glimmet install gemini-cli` writes the hooks,
// each hook's own command from the settings is run by the shell with Gemini's payload on its
// standard input, and `glimmet inbox --json` shows what the user would see.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

using nlohmann::json;

class GeminiHooksInboxTest : public ::testing::Test {
 protected:
  GeminiHooksInboxTest()
      : eventFile_(dir_.file("data/Glimmet/events.jsonl")),
        environment_(isolatedEnvironment(dir_.path(), eventFile_)) {}

  ChildProcess glimmet(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {GLIMMET_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return runToCompletion(argv, environment_);
  }

  // The command Gemini would run for `event`: Glimmet's entry in the installed settings.
  std::string installedCommand(const std::string& event) {
    const json settings = json::parse(readText(dir_.file("home/.gemini/settings.json")));
    for (const auto& group : settings["hooks"][event]) {
      for (const auto& handler : group["hooks"]) {
        if (handler["name"] == "glimmet-event") return handler["command"];
      }
    }
    ADD_FAILURE() << "no Glimmet entry for " << event;
    return "true";
  }

  // Runs the installed hook for the payload in tests/fixtures/agents/gemini/<event>.json, as
  // Gemini does: through the shell, payload on standard input. Gemini takes anything printed
  // for a decision, so the hook must print nothing; exit 0 lets Gemini go on.
  void fire(const std::string& event) {
    SCOPED_TRACE(event);
    const std::string payload = readText(fixturePath("agents/gemini/" + event + ".json"));
    auto hook =
        ChildProcess::spawn({"/bin/sh", "-c", installedCommand(event)}, environment_, payload);
    ASSERT_TRUE(hook.waitExit(60));
    EXPECT_EQ(hook.exitCode(), 0);
    EXPECT_EQ(hook.output(), "");
  }

  // The one message of the session, which must be the inbox's only one and Gemini's.
  json newestMessage() {
    auto inbox = glimmet({"inbox", "--json"});
    EXPECT_EQ(inbox.exitCode(), 0) << inbox.output();
    const json messages = json::parse(inbox.output(), nullptr, false);
    if (!messages.is_array() || messages.size() != 1) {
      ADD_FAILURE() << "expected one message: " << inbox.output();
      return json::object();
    }
    EXPECT_EQ(messages[0]["toolID"], "gemini-cli");
    return messages[0];
  }

  TempDir dir_;
  std::string eventFile_;
  std::vector<std::string> environment_;
};

TEST_F(GeminiHooksInboxTest, OneTurnThroughTheInstalledHooks) {
  auto install = glimmet({"install", "gemini-cli"});
  ASSERT_EQ(install.exitCode(), 0) << install.output();
  EXPECT_EQ(install.output(), "Gemini CLI bridge installed\n");

  // The updates of one session collapse into one message that shows the newest, so the inbox
  // is read after each step, as the user would see it then.
  fire("SessionStart");
  fire("BeforeAgent");
  json shown = newestMessage();
  EXPECT_EQ(shown["title"], "Gemini CLI received a prompt");
  EXPECT_EQ(shown["detail"], "write hello to out.txt · session: 5f0c2a8e...");
  EXPECT_EQ(shown["badge"], "Working");

  // The permission prompt: nothing here can answer it, so it shows Gemini waiting, with the
  // command it asks about.
  fire("Notification");
  shown = newestMessage();
  EXPECT_EQ(shown["title"], "Gemini CLI needs attention");
  EXPECT_EQ(shown["detail"], "echo hello > out.txt · session: 5f0c2a8e...");
  EXPECT_EQ(shown["badge"], "Waiting");

  fire("BeforeTool");
  shown = newestMessage();
  EXPECT_EQ(shown["title"], "Gemini CLI running tool");
  EXPECT_EQ(shown["detail"], "run_shell_command · echo hello > out.txt · session: 5f0c2a8e...");
  EXPECT_EQ(shown["badge"], "Working");

  fire("AfterTool");
  fire("AfterAgent");
  shown = newestMessage();
  EXPECT_EQ(shown["title"], "Gemini CLI completed");
  EXPECT_EQ(shown["detail"], "Done: out.txt now holds the word hello. · session: 5f0c2a8e...");
  EXPECT_EQ(shown["intent"], "task_result");
  EXPECT_EQ(shown["badge"], "Done");

  // Gemini fires SessionEnd more than once on one exit: one end is recorded.
  for (int time = 0; time < 3; ++time) fire("SessionEnd");
  EXPECT_EQ(splitLines(readText(eventFile_)).size(), 7u);
  shown = newestMessage();
  EXPECT_EQ(shown["title"], "Gemini CLI session ended");
  EXPECT_EQ(shown["sourceEventIDs"].size(), 7u);

  // With every hook in place, `glimmet tools` calls Gemini CLI healthy.
  auto tools = glimmet({"tools", "--json"});
  ASSERT_EQ(tools.exitCode(), 0) << tools.output();
  std::string geminiStatus;
  for (const auto& row : json::parse(tools.output())) {
    if (row["id"] == "gemini-cli") geminiStatus = row["status"];
  }
  EXPECT_EQ(geminiStatus, "Healthy");
}

}  // namespace
}  // namespace glimmet::testing
