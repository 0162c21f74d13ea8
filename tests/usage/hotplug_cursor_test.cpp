#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "base/text.hpp"
#include "model/island_message.hpp"
#include "model/usage_date.hpp"
#include "support/test_support.hpp"
#include "usage/hotplug_cursor.hpp"
#include "usage/usage_test_support.hpp"

namespace glimmet {
namespace {

using testing::setModified;

using namespace std::chrono_literals;
using testing::fixturePath;
using testing::readText;
using testing::TempDir;
using testing::writeText;

const Timestamp kNow = *parseUsageDate("2026-05-11T12:00:00Z");
const std::string kTranscript =
    "/Users/dev/.cursor/projects/Users-dev-shop/agent-transcripts/4f2c/4f2c.jsonl";

std::string fixtureTranscript() {
  return readText(fixturePath("hotplug/cursor-agent-transcript.jsonl"));
}

std::string line(const std::string& role, const std::string& text) {
  return Json{{"role", role}, {"message", {{"content", {{{"type", "text"}, {"text", text}}}}}}}
             .dump() +
         "\n";
}

std::vector<std::string> buttonRoles(const GlimmetEvent& event) {
  std::vector<std::string> roles;
  for (const auto& button : makeIslandMessage({event}, {}, {}, kNow).buttons) {
    roles.push_back(button.role);
  }
  return roles;
}

TEST(CursorHotplug, ReplyFromTenMinutesAgoIsACompletionWithJump) {
  const auto event =
      cursorHotplugCompletionEvent(fixtureTranscript(), kTranscript, kNow, kNow - 10min);
  ASSERT_TRUE(event);
  EXPECT_TRUE(event->id.starts_with("hotplug-cursor-completion-"));
  EXPECT_EQ(event->source, "cursor-ide");
  EXPECT_EQ(event->sourceType, "desktop_app");
  EXPECT_EQ(event->eventType, EventType::taskCompleted);
  EXPECT_EQ(event->status.raw(), "completed");
  EXPECT_EQ(event->severity.raw(), "success");
  EXPECT_EQ(event->title, "Cursor IDE completed");
  // The last assistant record only calls a tool; the reply is the last one with text.
  const std::string reply = "Added an Install section to README.md with the build and test steps.";
  EXPECT_EQ(event->message, reply);
  EXPECT_EQ(event->completionSnippet, reply);
  EXPECT_EQ(event->preview.agent, reply);
  // The request is the user's words, not Cursor's wrapper and not the tool result after it.
  EXPECT_EQ(event->preview.user, "Add an Install section to the README");
  EXPECT_EQ(event->cwd, "/Users/dev/shop");
  EXPECT_EQ(event->project, "shop");
  EXPECT_EQ(event->transcriptPath, kTranscript);
  EXPECT_EQ(event->rawEventName, "CursorTranscriptAssistantMessage");
  EXPECT_EQ(event->timestamp, std::chrono::floor<std::chrono::seconds>(kNow - 10min));

  ASSERT_TRUE(event->typedJumpTarget);
  EXPECT_EQ(event->typedJumpTarget->kind, JumpTarget::Kind::terminalCwd);
  EXPECT_EQ(event->typedJumpTarget->cwd, "/Users/dev/shop");
  EXPECT_EQ(event->typedJumpTarget->terminal, "com.todesktop.230313mzl4w4u92");
  const auto roles = buttonRoles(*event);
  EXPECT_EQ(std::count(roles.begin(), roles.end(), "jump"), 1);

  // The same file read again is the same completion, so it is not announced twice.
  EXPECT_EQ(
      cursorHotplugCompletionEvent(fixtureTranscript(), kTranscript, kNow + 1min, kNow - 10min)->id,
      event->id);
}

TEST(CursorHotplug, RepliesOlderThanTwoHoursAreHistory) {
  const std::string text = fixtureTranscript();
  EXPECT_FALSE(cursorHotplugCompletionEvent(text, kTranscript, kNow, kNow - 3h));
  EXPECT_FALSE(cursorHotplugCompletionEvent(text, kTranscript, kNow, kNow - 2h - 1s));
  EXPECT_TRUE(cursorHotplugCompletionEvent(text, kTranscript, kNow, kNow - 2h + 1s));
  // Without any time the age is unknown, and an old reply must not resurface.
  EXPECT_FALSE(cursorHotplugCompletionEvent(text, kTranscript, kNow));

  // A record's own time outranks the file's.
  const std::string dated = Json{
      {"role", "assistant"},
      {"timestamp", "2026-05-11T08:00:00Z"},
      {"content", "Done."}}.dump();
  EXPECT_FALSE(cursorHotplugCompletionEvent(dated, kTranscript, kNow, kNow - 1min));
  const Timestamp halfPastEight = *parseUsageDate("2026-05-11T08:30:00Z");
  const auto fresh =
      cursorHotplugCompletionEvent(dated, kTranscript, halfPastEight, halfPastEight - 5h);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->rawTimestamp, "2026-05-11T08:00:00Z");
}

TEST(CursorHotplug, TextsAreCompactedAndAMissingRequestReadsAsATask) {
  const std::string request = "<user_query>\n" + std::string(300, 'q') + "\n</user_query>";
  std::string reply = "First line.\n\n   Second\tline. " + std::string(700, 'a');
  auto event = cursorHotplugCompletionEvent(line("user", request) + line("assistant", reply),
                                            kTranscript, kNow, kNow);
  ASSERT_TRUE(event);
  EXPECT_EQ(utf8Length(event->message), 600u);
  EXPECT_TRUE(event->message.starts_with("First line. Second line. aaa"));
  EXPECT_TRUE(event->message.ends_with("…"));
  EXPECT_EQ(event->completionSnippet, event->message);
  EXPECT_FALSE(contains(event->preview.user, "user_query"));
  EXPECT_EQ(utf8Length(event->preview.user), 240u);

  event = cursorHotplugCompletionEvent(line("assistant", "All set."), kTranscript, kNow, kNow);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->preview.user, "Cursor task");
  EXPECT_EQ(event->message, "All set.");

  // A different reply in the same file is a different completion.
  const auto other =
      cursorHotplugCompletionEvent(line("assistant", "All set, again."), kTranscript, kNow, kNow);
  ASSERT_TRUE(other);
  EXPECT_NE(other->id, event->id);
}

TEST(CursorHotplug, WorkspaceComesFromTheProjectFolderName) {
  EXPECT_EQ(cursorWorkspacePath(kTranscript), "/Users/dev/shop");
  EXPECT_EQ(cursorWorkspacePath("/h/.cursor/projects/home-dev-api/agent-transcripts/a.jsonl"),
            "/home/dev/api");
  EXPECT_FALSE(cursorWorkspacePath("/h/.cursor/projects/empty-window/agent-transcripts/a.jsonl"));
  EXPECT_FALSE(cursorWorkspacePath("/h/.cursor/projects/Users-dev/chats/a.jsonl"));
  EXPECT_FALSE(cursorWorkspacePath("agent-transcripts/a.jsonl"));

  // Without a workspace the jump opens the Cursor app, and the card still has a project name.
  const auto event = cursorHotplugCompletionEvent(
      line("assistant", "Done."), "/h/.cursor/projects/empty-window/agent-transcripts/a.jsonl",
      kNow, kNow);
  ASSERT_TRUE(event);
  ASSERT_TRUE(event->typedJumpTarget);
  EXPECT_EQ(event->typedJumpTarget->kind, JumpTarget::Kind::app);
  EXPECT_EQ(event->typedJumpTarget->bundleID, "com.todesktop.230313mzl4w4u92");
  EXPECT_FALSE(event->hasExplicitCwd);
}

TEST(CursorHotplug, BrokenTranscriptsYieldNothing) {
  const std::string reply = line("assistant", "Finished the refactor.");
  for (const std::string& text : {
           std::string(),
           std::string("garbage\n[1,2,3]\n\"text\"\n"),
           reply.substr(0, reply.size() / 2),  // cut off while Cursor writes it
           line("user", "only a question"),
           line("assistant", "   \n  "),
           std::string(R"({"message":{"content":"no role"}})"),
           std::string(R"({"role":"assistant","message":{"content":[{"type":"tool_use"}]}})"),
           std::string(R"({"role":"assistant","message":{"content":42}})"),
       }) {
    EXPECT_FALSE(cursorHotplugCompletionEvent(text, kTranscript, kNow, kNow)) << text;
  }
}

TEST(CursorHotplug, LoaderReadsTheNewestTranscripts) {
  TempDir root;
  const std::string projects = root.file("projects");
  const std::string fresh = projects + "/Users-dev-shop/agent-transcripts/c1/c1.jsonl";
  const std::string stale = projects + "/Users-dev-api/agent-transcripts/c2.jsonl";
  const std::string elsewhere = projects + "/Users-dev-shop/terminals/t1.jsonl";
  for (const auto& path : {fresh, stale, elsewhere}) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    writeText(path, fixtureTranscript());
  }
  // A file named like the folder is not inside it.
  writeText(projects + "/agent-transcripts.jsonl", fixtureTranscript());
  setModified(fresh, 10min);
  setModified(stale, 3h);
  setModified(elsewhere, 1min);
  setModified(projects + "/agent-transcripts.jsonl", 1min);

  EXPECT_EQ(recentCursorHotplugTranscriptFiles(projects), (std::vector<std::string>{fresh, stale}));
  EXPECT_EQ(recentCursorHotplugTranscriptFiles(projects, 1), (std::vector<std::string>{fresh}));

  const auto events = loadCursorTranscriptHotplugEvents(projects, systemNow());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].transcriptPath, fresh);
  EXPECT_EQ(events[0].cwd, "/Users/dev/shop");

  EXPECT_TRUE(loadCursorTranscriptHotplugEvents(root.file("missing"), systemNow()).empty());
  EXPECT_TRUE(loadCursorTranscriptHotplugEvents(std::nullopt, systemNow()).empty());
}

}  // namespace
}  // namespace glimmet
