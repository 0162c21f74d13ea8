#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "base/text.hpp"
#include "model/island_message.hpp"
#include "model/usage_date.hpp"
#include "support/test_support.hpp"
#include "usage/hotplug_codex.hpp"
#include "usage/hotplug_files.hpp"
#include "usage/usage_test_support.hpp"

namespace glimmet {
namespace {

using testing::setModified;

using namespace std::chrono_literals;
using testing::fixturePath;
using testing::readText;
using testing::TempDir;
using testing::writeText;

constexpr const char* kRolloutName =
    "rollout-2026-12-05T17-23-21-01a2473b-58e4-7632-b261-91d4b0aff75a.jsonl";
// The escalated call in the fixtures was written at 17:23:21.916.
const Timestamp kCallTime = *parseUsageDate("2026-12-05T17:23:21.916Z");

std::string rolloutPath() {
  return "/home/dev/.codex/sessions/2026/12/05/" + std::string(kRolloutName);
}

std::string pendingRollout() {
  return readText(fixturePath("hotplug/codex-escalation-pending.rollout.jsonl"));
}

// One rollout record the way Codex writes it.
std::string record(const std::string& timestamp, const std::string& type, const Json& payload) {
  return Json{{"timestamp", timestamp}, {"type", type}, {"payload", payload}}.dump() + "\n";
}

std::string escalatedCall(const std::string& timestamp, const std::string& callID,
                          const Json& arguments) {
  return record(timestamp, "response_item",
                {{"type", "function_call"},
                 {"name", "exec_command"},
                 {"arguments", arguments.dump()},
                 {"call_id", callID}});
}

TEST(CodexHotplug, PendingEscalatedCallBecomesOneApprovalWithoutAnswerButtons) {
  const Timestamp now = kCallTime + 10min;
  const auto event = codexHotplugEventFromTail(pendingRollout(), rolloutPath(), now);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->id, "hotplug-codex-permission-call_c404a4fc656a");
  EXPECT_EQ(event->source, "codex");
  EXPECT_EQ(event->sourceType, "stable_local_loader");
  EXPECT_EQ(event->eventType, EventType::permissionRequest);
  EXPECT_EQ(event->status.raw(), "waiting_approval");
  EXPECT_EQ(event->severity.raw(), "warning");
  EXPECT_EQ(event->title, "Codex CLI needs approval");
  EXPECT_EQ(event->notifyPolicy.raw(), "immediate");
  EXPECT_EQ(event->message, "echo hello > out.txt");
  EXPECT_EQ(event->toolName, "Bash");
  EXPECT_EQ(event->actionKind, "shell");
  EXPECT_EQ(event->risk, MessageRisk::medium);
  EXPECT_EQ(event->preview.user, "write hello to out.txt");
  EXPECT_EQ(event->preview.agent, "harness test");
  EXPECT_EQ(event->cwd, "/home/dev/project");
  EXPECT_EQ(event->sessionId, "01a2473b-58e4-7632-b261-91d4b0aff75a");
  EXPECT_EQ(event->transcriptPath, rolloutPath());
  EXPECT_EQ(event->rawEventName, "RolloutPendingFunctionCall");
  EXPECT_EQ(event->timestamp, kCallTime);

  // Glimmet did not broker this prompt, so it has nowhere to send an answer: Jump only.
  const IslandMessage message = makeIslandMessage({*event}, {}, {}, now);
  EXPECT_EQ(message.badge, "Approval");
  EXPECT_EQ(message.responseChannel, ResponseChannel{});
  std::vector<std::string> roles;
  for (const auto& button : message.buttons) roles.push_back(button.role);
  EXPECT_EQ(std::count(roles.begin(), roles.end(), "authorize"), 0);
  EXPECT_EQ(std::count(roles.begin(), roles.end(), "reject"), 0);
  EXPECT_EQ(std::count(roles.begin(), roles.end(), "jump"), 1);
}

TEST(CodexHotplug, AnsweredCallsAndOrdinaryCallsAreNotWaits) {
  const Timestamp now = kCallTime + 10min;
  const std::string answered =
      readText(fixturePath("hotplug/codex-escalation-answered.rollout.jsonl"));
  EXPECT_FALSE(codexHotplugEventFromTail(answered, rolloutPath(), now));

  // A call running inside the sandbox has no output while it runs, but nobody is asked.
  std::string text = record("2026-12-05T17:20:00Z", "turn_context", {{"cwd", "/w"}});
  text += escalatedCall("2026-12-05T17:21:00Z", "call_plain",
                        {{"cmd", "ls"}, {"justification", "looking around"}});
  EXPECT_FALSE(codexHotplugEventFromTail(text, rolloutPath(), now));

  // A custom tool's output answers its call as well.
  text = escalatedCall("2026-12-05T17:21:00Z", "call_custom",
                       {{"cmd", "make"}, {"sandbox_permissions", "require_escalated"}});
  text += record("2026-12-05T17:21:05Z", "response_item",
                 {{"type", "custom_tool_call_output"}, {"call_id", "call_custom"}});
  EXPECT_FALSE(codexHotplugEventFromTail(text, rolloutPath(), now));
}

TEST(CodexHotplug, OnlyCallsOfTheLastSixHoursCount) {
  const std::string text = pendingRollout();
  EXPECT_TRUE(codexHotplugEventFromTail(text, rolloutPath(), kCallTime + 6h - 1s));
  EXPECT_FALSE(codexHotplugEventFromTail(text, rolloutPath(), kCallTime + 6h + 1s));
  EXPECT_FALSE(codexHotplugEventFromTail(text, rolloutPath(), kCallTime + 48h));
}

TEST(CodexHotplug, NewestPendingCallWinsWithItsOwnPromptAndDirectory) {
  const Timestamp now = *parseUsageDate("2026-12-05T18:00:00Z");
  std::string text = record("2026-12-05T17:00:00Z", "turn_context", {{"cwd", "/repo/one"}});
  text += record("2026-12-05T17:00:01Z", "event_msg",
                 {{"type", "user_message"}, {"message", "deploy the site"}});
  text += escalatedCall("2026-12-05T17:00:02Z", "call_first",
                        {{"command", {"bash", "-lc", "npm run deploy"}},
                         {"sandbox_permissions", "require_escalated"}});
  text += record("2026-12-05T17:30:00Z", "turn_context", {{"cwd", "/repo/two"}});
  text += record("2026-12-05T17:30:01Z", "event_msg",
                 {{"type", "user_message"}, {"message", "now push it"}});
  text += escalatedCall("2026-12-05T17:30:02Z", "call_second",
                        {{"command", "git push"},
                         {"workdir", "/repo/two/site"},
                         {"sandboxPermissions", "require_escalated"}});
  // A later prompt and turn that have nothing to do with the waiting call.
  text += record("2026-12-05T17:31:00Z", "turn_context", {{"cwd", "/elsewhere"}});

  const auto event = codexHotplugEventFromTail(text, rolloutPath(), now);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->id, "hotplug-codex-permission-call_second");
  EXPECT_EQ(event->message, "git push");
  EXPECT_EQ(event->preview.user, "now push it");
  EXPECT_EQ(event->cwd, "/repo/two/site");

  // With the second answered, the first is the newest wait; its argument list reads as one
  // command line, and the turn's directory stands in for a missing workdir.
  text += record("2026-12-05T17:32:00Z", "response_item",
                 {{"type", "function_call_output"}, {"call_id", "call_second"}});
  const auto first = codexHotplugEventFromTail(text, rolloutPath(), now);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->id, "hotplug-codex-permission-call_first");
  EXPECT_EQ(first->message, "bash -lc npm run deploy");
  EXPECT_EQ(first->preview.user, "deploy the site");
  EXPECT_EQ(first->cwd, "/repo/one");
}

TEST(CodexHotplug, LongCommandsAreCutAndCallsWithoutCommandStillAsk) {
  const Timestamp now = *parseUsageDate("2026-12-05T18:00:00Z");
  const std::string longCommand = "echo " + std::string(400, 'x');
  auto event = codexHotplugEventFromTail(
      escalatedCall("2026-12-05T17:59:00Z", "call_long",
                    {{"cmd", longCommand}, {"sandbox_permissions", "require_escalated"}}),
      rolloutPath(), now);
  ASSERT_TRUE(event);
  EXPECT_EQ(utf8Length(event->message), 180u);
  EXPECT_TRUE(event->message.starts_with("echo xxx"));

  event = codexHotplugEventFromTail(escalatedCall("2026-12-05T17:59:00Z", "call_bare",
                                                  {{"sandbox_permissions", "require_escalated"}}),
                                    rolloutPath(), now);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->message, "Approval requested");
}

TEST(CodexHotplug, BrokenRolloutsYieldNothing) {
  const Timestamp now = kCallTime + 10min;
  const std::string pending = pendingRollout();
  // The call's line cut off in the middle, as when Codex is still writing it.
  const size_t callLine = pending.find("\"type\":\"function_call\"");
  ASSERT_NE(callLine, std::string::npos);
  EXPECT_FALSE(codexHotplugEventFromTail(pending.substr(0, callLine + 60), rolloutPath(), now));

  const std::string escalation = R"("sandbox_permissions": "require_escalated")";
  for (
      const std::string& text : {
          std::string(),
          std::string("not json at all\n\n{{{\n"),
          // arguments that are not JSON text
          record("2026-12-05T17:23:21Z", "response_item",
                 {{"type", "function_call"},
                  {"call_id", "c1"},
                  {"arguments", "{" + escalation + ", \"cmd\": "}}),
          // no call id
          record("2026-12-05T17:23:21Z", "response_item",
                 {{"type", "function_call"}, {"arguments", "{" + escalation + "}"}}),
          // no time, so no way to tell how old the wait is
          Json{{"type", "response_item"},
               {"payload",
                {{"type", "function_call"},
                 {"call_id", "c2"},
                 {"arguments", "{" + escalation + "}"}}}}
              .dump(),
          // a payload that is not an object, and arguments that are a number
          std::string(
              R"({"timestamp":"2026-12-05T17:23:21Z","type":"response_item","payload":"function_call require_escalated"})"),
          record("2026-12-05T17:23:21Z", "response_item",
                 {{"type", "function_call"}, {"call_id", "c3"}, {"arguments", 42}}),
      }) {
    EXPECT_FALSE(codexHotplugEventFromTail(text, rolloutPath(), now)) << text;
  }
}

TEST(CodexHotplug, ArgumentsSessionIDsAndTheApprovalTest) {
  EXPECT_EQ(codexFunctionArguments(Json{{"arguments", R"({"cmd":"ls"})"}}), (Json{{"cmd", "ls"}}));
  EXPECT_EQ(codexFunctionArguments(Json{{"arguments", {{"cmd", "ls"}}}}), (Json{{"cmd", "ls"}}));
  EXPECT_FALSE(codexFunctionArguments(Json{{"arguments", "[1,2]"}}));
  EXPECT_FALSE(codexFunctionArguments(Json{{"name", "exec_command"}}));

  EXPECT_EQ(codexSessionID("/s/2026/12/05/" + std::string(kRolloutName)),
            "01a2473b-58e4-7632-b261-91d4b0aff75a");
  EXPECT_FALSE(codexSessionID("/s/rollout-2026-12-05T17-23-21.jsonl"));
  EXPECT_FALSE(
      codexSessionID("/s/rollout-2026-12-05T17-23-21-01a2473b-58e4-7632-b261-91d4b0aff75.jsonl"));
  EXPECT_FALSE(codexSessionID(""));

  const Json call = {{"type", "function_call"}};
  EXPECT_TRUE(
      codexRolloutFunctionCallNeedsApproval(call, {{"sandbox_permissions", "require_escalated"}}));
  EXPECT_TRUE(
      codexRolloutFunctionCallNeedsApproval(call, {{"sandboxPermissions", "require_escalated"}}));
  EXPECT_FALSE(
      codexRolloutFunctionCallNeedsApproval(call, {{"sandbox_permissions", "use_default"}}));
  EXPECT_FALSE(codexRolloutFunctionCallNeedsApproval(call, {{"justification", "please"}}));
  EXPECT_FALSE(codexRolloutFunctionCallNeedsApproval(
      {{"type", "function_call_output"}}, {{"sandbox_permissions", "require_escalated"}}));
}

TEST(CodexHotplug, CandidatesAreTheNewestRolloutsByModification) {
  TempDir root;
  const std::string sessions = root.file("sessions");
  for (const auto* day : {"2026/12/03", "2026/12/04", "2026/12/05"}) {
    std::filesystem::create_directories(sessions + "/" + day);
  }
  const std::string older = sessions + "/2026/12/03/rollout-a.jsonl";
  const std::string resumed = sessions + "/2026/12/03/rollout-b.jsonl";
  const std::string newest = sessions + "/2026/12/05/rollout-c.jsonl";
  const std::string middle = sessions + "/2026/12/04/rollout-d.jsonl";
  for (const auto& path : {older, resumed, newest, middle}) writeText(path, "{}\n");
  writeText(sessions + "/2026/12/05/history.jsonl", "{}\n");
  writeText(sessions + "/2026/12/05/rollout-e.json", "{}\n");
  setModified(older, 72h);
  setModified(middle, 24h);
  setModified(newest, 2h);
  setModified(resumed, 1min);  // an old session resumed today is written in its old folder

  EXPECT_EQ(recentCodexHotplugRolloutFiles(sessions),
            (std::vector<std::string>{resumed, newest, middle, older}));
  EXPECT_EQ(recentCodexHotplugRolloutFiles(sessions, 2),
            (std::vector<std::string>{resumed, newest}));
  EXPECT_TRUE(recentCodexHotplugRolloutFiles(root.file("missing")).empty());
}

TEST(CodexHotplug, LoaderFindsTheWaitAtTheEndOfALongRollout) {
  TempDir root;
  const std::string day = root.file("sessions/2026/12/05");
  std::filesystem::create_directories(day);
  // More than the tail that is read comes before the call, so the read starts mid-line.
  std::string text;
  while (text.size() < kCodexHotplugTailBytes + 1000) {
    text += record("2026-12-05T17:00:00Z", "event_msg",
                   {{"type", "agent_reasoning"}, {"text", std::string(900, 'r')}});
  }
  text += pendingRollout();
  writeText(day + "/" + kRolloutName, text);
  writeText(day + "/rollout-2026-12-05T17-30-00-01a2473b-0000-7000-8000-000000000000.jsonl",
            readText(fixturePath("hotplug/codex-escalation-answered.rollout.jsonl")));

  const auto events = loadCodexRolloutHotplugEvents(root.file("sessions"), kCallTime + 1min);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].id, "hotplug-codex-permission-call_c404a4fc656a");
  EXPECT_EQ(events[0].transcriptPath, day + "/" + kRolloutName);
  EXPECT_EQ(events[0].preview.user, "write hello to out.txt");

  EXPECT_TRUE(loadCodexRolloutHotplugEvents(root.file("nowhere"), kCallTime).empty());
  EXPECT_TRUE(loadCodexRolloutHotplugEvents(std::nullopt, kCallTime).empty());
}

TEST(HotplugFiles, TailStartsAtAWholeLine) {
  TempDir root;
  const std::string path = root.file("log.jsonl");
  writeText(path, "aaaa\nbbbb\ncccc\n");
  EXPECT_EQ(readHotplugTailText(path, 100), "aaaa\nbbbb\ncccc\n");
  EXPECT_EQ(readHotplugTailText(path, 15), "aaaa\nbbbb\ncccc\n");
  EXPECT_EQ(readHotplugTailText(path, 14), "bbbb\ncccc\n");  // "aaa\n" was a partial line
  // A cut right after a line feed still drops the next line: the reader cannot see that the
  // line is whole, and one line less is harmless where a broken one is not.
  EXPECT_EQ(readHotplugTailText(path, 10), "cccc\n");
  EXPECT_EQ(readHotplugTailText(path, 3), "");
  EXPECT_FALSE(readHotplugTailText(root.file("missing"), 10));
  EXPECT_FALSE(readHotplugTailText(root.path(), 10));
}

}  // namespace
}  // namespace glimmet
