// The one seam every front end uses: a real core on a temp home, watching a real event file,
// with snapshots out and typed commands in.

#include "app/core.hpp"

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/json_values.hpp"
#include "support/test_support.hpp"
#include "ui/console_approvals.hpp"

namespace glimmet {
namespace {

using testing::isolatedHome;

using glimmet::testing::TempDir;

constexpr Seconds kSeamDeadline{10.0};

std::string eventLine(const std::string& id, const std::string& session) {
  return R"({"event_id":")" + id + R"(","source":"codex","event_type":"task_completed",)" +
         R"("title":"Finished )" + id + R"(","session_id":")" + session +
         R"(","cwd":"/tmp/project"})" + "\n";
}

PendingAction request(const std::string& id, PendingActionKind kind, const std::string& session) {
  PendingAction action;
  action.requestID = id;
  action.agent = "claude_code";
  action.sessionID = session;
  action.agentPID = static_cast<int32_t>(::getpid());
  action.kind = kind;
  action.createdAt = systemNow();
  action.timeoutSeconds = 600;
  return action;
}

class CoreSeamTest : public ::testing::Test {
 protected:
  CoreSeamTest()
      : core(isolatedHome(dir), false, [this](const std::string& line) { log += line; }) {
    core.subscribe([this](const SnapshotPtr& snapshot) { seen.push_back(snapshot); });
    core.start();
  }
  ~CoreSeamTest() override { core.shutDown(); }

  bool waitForSnapshots(size_t count) {
    return core.loop().runUntil([&] { return seen.size() >= count; }, kSeamDeadline);
  }
  // Runs the loop a little: long enough for the debounced reload of an append to publish.
  void settle() {
    core.loop().runUntil([] { return false; }, Seconds(0.3));
  }

  CommandResult run(AppCommand command) {
    CommandResult result;
    core.send(std::move(command), [&](const CommandResult& r) { result = r; });
    return result;
  }

  void addRequest(PendingAction action) {
    const std::string id = action.requestID;
    core.pendingActions().insert(
        std::move(action), [this, id](const HookReply& reply) { replies[id].push_back(reply); });
  }

  TempDir dir;
  std::string log;
  Core core;
  std::vector<SnapshotPtr> seen;
  std::map<std::string, std::vector<HookReply>> replies;
};

TEST_F(CoreSeamTest, OneSnapshotPerVisibleChangeAndNoneForInvisibleOnes) {
  settle();
  ASSERT_TRUE(seen.empty()) << "an empty start changes nothing a user sees";

  glimmet::testing::appendText(dir.file("events.jsonl"), eventLine("e1", "s1"));
  ASSERT_TRUE(waitForSnapshots(1));
  ASSERT_EQ(seen.back()->messages.size(), 1u);
  EXPECT_EQ(seen.back()->messages[0].event.id, "e1");
  EXPECT_EQ(seen.back()->revision, 1u);

  EXPECT_TRUE(run(Command::MarkRead{"e1"}).ok);
  ASSERT_EQ(seen.size(), 2u);
  ASSERT_TRUE(seen.back()->messages[0].normalized);
  EXPECT_EQ(seen.back()->messages[0].normalized->readState, MessageReadState::read);
  // Marking it again, reloading an unchanged file, an unknown message: nothing to see.
  EXPECT_TRUE(run(Command::MarkRead{"e1"}).ok);
  core.store().reload(true);
  const auto unknown = run(Command::Hide{"no-such-message"});
  EXPECT_FALSE(unknown.ok);
  EXPECT_EQ(unknown.message, "No message no-such-message");
  EXPECT_EQ(seen.size(), 2u);

  EXPECT_TRUE(run(Command::Hide{"e1"}).ok);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_TRUE(seen.back()->messages.empty());

  glimmet::testing::appendText(dir.file("events.jsonl"),
                               eventLine("e2", "s2") + eventLine("e3", "s3"));
  ASSERT_TRUE(waitForSnapshots(4));
  EXPECT_EQ(seen.back()->messages.size(), 2u);
  EXPECT_EQ(run(Command::ClearPage{{"e3"}}).message, "Cleared 1 message");
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(run(Command::ClearAll{}).message, "Cleared 2 messages");
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_TRUE(seen.back()->messages.empty());

  addRequest(request("req-1", PendingActionKind::permissionRequest, "s9"));
  ASSERT_EQ(seen.size(), 7u);
  ASSERT_EQ(seen.back()->waitingRequests.size(), 1u);
  EXPECT_EQ(seen.back()->petState, PetState::approval);
  EXPECT_TRUE(run(Command::Decide{"req-1", allowDecision(UserDecision::Mode::once)}).ok);
  ASSERT_EQ(seen.size(), 8u);
  EXPECT_TRUE(seen.back()->waitingRequests.empty());
  ASSERT_NE(seen.back()->request("req-1"), nullptr);
  EXPECT_EQ(seen.back()->request("req-1")->status, PendingActionStatus::answered);
  // A second decision is refused and sends nothing.
  const auto again = run(Command::Decide{"req-1", denyDecision()});
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.message, "Request req-1 is already answered");
  EXPECT_EQ(seen.size(), 8u);
  ASSERT_EQ(replies["req-1"].size(), 1u);
  EXPECT_EQ(replies["req-1"][0].decision, "allow");

  // Every published snapshot is complete and immutable: the earlier ones still say what they
  // said, with revisions one apart.
  EXPECT_EQ(seen[0]->messages.size(), 1u);
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i]->revision, i + 1);
  EXPECT_EQ(core.snapshot(), seen.back());
}

TEST_F(CoreSeamTest, AnApprovalStopsWaitingWhenItsSocketRequestEnds) {
  // Codex asks twice for one approval: the event bridge writes the line and the hook bridge
  // blocks on the socket. Answering the socket request answers the message too.
  const std::string now = formatIso8601(systemNow());
  glimmet::testing::appendText(
      dir.file("events.jsonl"),
      R"({"event_id":"perm-1","source":"codex","event_type":"permission_request",)"
      R"("session_id":"thread-1","cwd":"/tmp/project","title":"Run: make","tool_name":"Bash",)"
      R"("action":{"kind":"shell","command":"make"},"timestamp":")" +
          now + "\"}\n");
  ASSERT_TRUE(waitForSnapshots(1));
  EXPECT_EQ(seen.back()->approvalCount, 1);

  auto codexRequest = request("req-1", PendingActionKind::permissionRequest, "thread-1");
  codexRequest.agent = "codex";
  addRequest(codexRequest);
  EXPECT_EQ(core.snapshot()->approvalCount, 1);
  EXPECT_EQ(core.snapshot()->petState, PetState::approval);

  EXPECT_TRUE(run(Command::Decide{"req-1", denyDecision()}).ok);
  const auto after = core.snapshot();
  EXPECT_EQ(after->approvalCount, 0);
  EXPECT_NE(after->petState, PetState::approval);
  for (const auto& item : after->tickerItems) {
    EXPECT_NE(item.kind, CompanionStatusKind::approval) << item.event.id;
  }
  // Still listed, so the user can see what was asked.
  EXPECT_NE(after->message("perm-1"), nullptr);

  // Another session's request ending says nothing about this one.
  glimmet::testing::appendText(
      dir.file("events.jsonl"),
      R"({"event_id":"perm-2","source":"codex","event_type":"permission_request",)"
      R"("session_id":"thread-2","cwd":"/tmp/project","title":"Run: ls","tool_name":"Bash",)"
      R"("action":{"kind":"shell","command":"ls"},"timestamp":")" +
          formatIso8601(systemNow()) + "\"}\n");
  ASSERT_TRUE(core.loop().runUntil([&] { return core.snapshot()->message("perm-2") != nullptr; },
                                   kSeamDeadline));
  EXPECT_EQ(core.snapshot()->approvalCount, 1);
}

// The console says how a request ended; a front end with notifications also takes the
// request's notification away, whether the user decided or the request ended by itself.
TEST(CoreRequestEndings, AHungUpBridgeWithdrawsItsRequestEverywhere) {
  TempDir dir;
  Core core(isolatedHome(dir), false, [](const std::string&) {});
  std::vector<std::string> withdrawn;
  DecisionFrontEnd frontEnd;
  frontEnd.withdrawNotification = [&](const std::string& id) { withdrawn.push_back(id); };
  core.setDecisionFrontEnd(std::move(frontEnd));
  core.start();
  ConsoleApprovals console([&](AppCommand command, CommandDone done) {
    core.send(std::move(command), std::move(done));
  });
  std::string printed;
  core.subscribe([&](const SnapshotPtr& snapshot) { printed += console.update(snapshot); });
  std::map<std::string, int> sent;
  auto add = [&](const std::string& id, const std::string& session) {
    core.pendingActions().insert(request(id, PendingActionKind::permissionRequest, session),
                                 [&sent, id](const HookReply&) { ++sent[id]; });
  };
  add("dropped", "s1");
  add("answered", "s2");
  add("died", "s3");
  ASSERT_NE(printed.find("[#3] "), std::string::npos) << printed;

  printed.clear();
  core.pendingActions().hangUpHandler("dropped")();
  EXPECT_EQ(printed,
            "[#1] hookDropped: withdrawn, the agent closed its hook (answered in the terminal?)\n");
  const auto snapshot = core.snapshot();
  ASSERT_EQ(snapshot->waitingRequests.size(), 2u);
  EXPECT_EQ(snapshot->waitingRequests[0].requestID, "answered");
  ASSERT_NE(snapshot->request("dropped"), nullptr);
  EXPECT_EQ(snapshot->request("dropped")->status, PendingActionStatus::hookDropped);
  EXPECT_EQ(console.execute("allow 1"), "[Glimmet] request #1 is already hookDropped\n");
  const std::string refusal = [&] {
    CommandResult result;
    core.send(Command::Decide{"dropped", allowDecision(UserDecision::Mode::once)},
              [&](const CommandResult& r) { result = r; });
    return result.message;
  }();
  EXPECT_EQ(refusal, "Request dropped is already hookDropped");

  EXPECT_EQ(console.execute("deny 2"), "");
  core.pendingActions().fail("died", PendingActionStatus::agentDied);
  // Each notification goes once: the decision's by the dispatcher, the others' by the core.
  EXPECT_EQ(withdrawn, (std::vector<std::string>{"dropped", "answered", "died"}));
  EXPECT_EQ(sent, (std::map<std::string, int>{{"answered", 1}, {"died", 1}}));
  EXPECT_EQ(console.execute("list"), "No requests waiting.\n");
}

TEST(CoreLargeEventFile, ARunningCoreReadsItOnAWorkerAndACommandReadsItAtOnce) {
  TempDir dir;
  std::string text;
  int count = 0;
  while (text.size() < 600 * 1024) {
    text += eventLine("e" + std::to_string(count), "s" + std::to_string(count % 40));
    ++count;
  }
  testing::writeText(dir.file("events.jsonl"), text);
  const std::string newest = "e" + std::to_string(count - 1);

  // A one-shot command never starts the core: its reload has read the file when it returns.
  {
    Core command(isolatedHome(dir), false);
    command.store().reload(true);
    ASSERT_FALSE(command.store().bridgeEvents().empty());
    EXPECT_EQ(command.store().bridgeEvents().back().id, newest);
  }

  // A running front end's loop is not held by the read: the events come a moment later.
  Core core(isolatedHome(dir), false);
  core.start();
  EXPECT_TRUE(core.store().bridgeEvents().empty());
  ASSERT_TRUE(
      core.loop().runUntil([&] { return !core.store().bridgeEvents().empty(); }, kSeamDeadline));
  EXPECT_EQ(core.store().bridgeEvents().back().id, newest);
  core.shutDown();
}

TEST_F(CoreSeamTest, CommandsSentFromAnotherThreadRunOnTheLoop) {
  glimmet::testing::appendText(dir.file("events.jsonl"), eventLine("e1", "s1"));
  ASSERT_TRUE(waitForSnapshots(1));
  std::atomic<bool> done{false};
  bool ranOnLoop = false;
  bool ok = false;
  SnapshotPtr readElsewhere;
  std::thread sender([&] {
    readElsewhere = core.snapshot();
    core.send(Command::Hide{"e1"}, [&](const CommandResult& result) {
      ranOnLoop = core.loop().isLoopThread();
      ok = result.ok;
      done = true;
    });
  });
  ASSERT_TRUE(core.loop().runUntil([&] { return done.load(); }, kSeamDeadline));
  sender.join();
  EXPECT_TRUE(ranOnLoop);
  EXPECT_TRUE(ok);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen.back()->messages.empty());
  EXPECT_EQ(readElsewhere->messages.size(), 1u);
}

TEST_F(CoreSeamTest, NotificationActionsAreOneAdapterOntoTheSameDecisions) {
  addRequest(request("req-c", PendingActionKind::waitingChoice, "s1"));
  addRequest(request("req-p", PendingActionKind::permissionRequest, "s2"));
  EXPECT_FALSE(core.performNotificationAction("GMChoice.more", "req-c", "waiting_choice"));
  EXPECT_TRUE(core.performNotificationAction("GMChoice.option.b", "req-c", "waiting_choice"));
  EXPECT_TRUE(core.performNotificationAction("GMPermissionRequest.approve_always", "req-p",
                                             "permission_request"));
  EXPECT_FALSE(
      core.performNotificationAction("GMPermissionRequest.deny", "req-p", "permission_request"));
  ASSERT_EQ(replies["req-c"].size(), 1u);
  EXPECT_EQ(replies["req-c"][0].rawAgentPayload, R"({"decision":"block","reason":"b"})");
  ASSERT_EQ(replies["req-p"].size(), 1u);
  EXPECT_EQ(replies["req-p"][0].mode, "always");
}

TEST_F(CoreSeamTest, ConsoleNumbersRequestsAndAnswersThroughCommands) {
  ConsoleApprovals console(
      [this](AppCommand command, CommandDone done) { core.send(std::move(command), done); });
  std::string printed;
  core.subscribe([&](const SnapshotPtr& snapshot) { printed += console.update(snapshot); });
  auto permission = request("req-p", PendingActionKind::permissionRequest, "s1");
  permission.payload.command = "rm -rf build";
  auto choice = request("req-c", PendingActionKind::waitingChoice, "s2");
  choice.agent = "codex";
  choice.payload.options = std::vector<HookRequestOption>{{"a", "Alpha", {}}, {"b", "Beta", {}}};
  addRequest(permission);
  addRequest(choice);
  addRequest(request("req-i", PendingActionKind::waitingInput, "s3"));
  EXPECT_EQ(printed.substr(0, 44), "[#1] Approval needed: Run: rm -rf build\n    ");
  EXPECT_NE(printed.find("[#2] Choice needed"), std::string::npos);
  EXPECT_NE(printed.find("[#3] Input needed"), std::string::npos);

  EXPECT_EQ(console.execute("choose 1 a"),
            "[Glimmet] #1 is a permission_request request; answer with allow 1 | always 1 | "
            "deny 1\n");
  EXPECT_EQ(console.execute("choose 2 z"), "[Glimmet] #2 has no option \"z\"; options: a, b\n");
  EXPECT_EQ(console.execute("always 4"), "[Glimmet] no request #4\n");
  EXPECT_EQ(console.execute("allow nope"), "[Glimmet] no request nope\n");
  EXPECT_EQ(console.execute("frobnicate 1"),
            "[Glimmet] unknown command \"frobnicate\"; type help\n");
  EXPECT_EQ(console.execute("   "), "");
  EXPECT_TRUE(replies.empty());

  printed.clear();
  EXPECT_EQ(console.execute("always 1"), "");
  EXPECT_EQ(printed, "[#1] answered\n");
  EXPECT_EQ(console.execute("choose req-c b"), "");
  EXPECT_EQ(console.execute("reply 3   two  words  "), "");
  EXPECT_EQ(replies["req-p"][0].mode, "always");
  EXPECT_EQ(replies["req-c"][0].rawAgentPayload, R"({"decision":"block","reason":"b"})");
  EXPECT_EQ(Json::parse(replies["req-i"][0].rawAgentPayload)["reason"], "two  words");
  EXPECT_EQ(console.execute("deny 1"), "[Glimmet] request #1 is already answered\n");
  EXPECT_EQ(console.execute("list"), "No requests waiting.\n");
  for (const auto& [id, list] : replies) EXPECT_EQ(list.size(), 1u) << id;
}

}  // namespace
}  // namespace glimmet
