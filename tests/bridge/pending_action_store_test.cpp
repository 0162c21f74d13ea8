#include "approvals/pending_action_store.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>

#include "approvals/audit_writer.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

PendingAction action(std::string id, PendingActionKind kind = PendingActionKind::permissionRequest,
                     int64_t timeoutSeconds = 60, int32_t pid = static_cast<int32_t>(::getpid()),
                     std::string session = "s1") {
  PendingAction result;
  result.requestID = std::move(id);
  result.agent = "claude_code";
  result.sessionID = std::move(session);
  result.agentPID = pid;
  result.kind = kind;
  result.createdAt = systemNow();
  result.timeoutSeconds = timeoutSeconds;
  return result;
}

// Collects every reply each request got.
struct Replies {
  std::map<std::string, std::vector<HookReply>> byID;
  PendingActionStore::Sender senderFor(const std::string& id) {
    return [this, id](const HookReply& reply) { byID[id].push_back(reply); };
  }
  size_t count(const std::string& id) { return byID[id].size(); }
};

class PendingActionStoreTest : public ::testing::Test {
 protected:
  bool runUntil(const std::function<bool()>& done, double seconds) {
    WorkItem waker = loop.every(Seconds(0.01), Seconds(0), [] {});
    return loop.runUntil(done, Seconds(seconds));
  }
  std::optional<PendingActionStatus> status(const std::string& id) {
    auto found = store.action(id);
    return found ? std::optional(found->status) : std::nullopt;
  }

  MainLoop loop;
  PendingActionStore store{loop};
  Replies replies;
};

// A tool call of the agent: what the hook bridges put into the payload.
PendingAction toolCall(std::string id, std::string tool, std::optional<std::string> toolUseID,
                       std::string command, std::string session = "s1") {
  auto result = action(std::move(id), PendingActionKind::permissionRequest, 60,
                       static_cast<int32_t>(::getpid()), std::move(session));
  result.payload.tool = std::move(tool);
  result.payload.command = command;
  std::map<std::string, std::string> extras{{"tool_input_sha256", "digest of " + command}};
  if (toolUseID) extras["tool_use_id"] = *toolUseID;
  result.payload.extras = std::move(extras);
  return result;
}

// Time-outs, agent deaths and supersession are also checked end to end in glimmet_run_test.cpp
// and test_parallel_approvals.py; these cases need the store alone.
TEST_F(PendingActionStoreTest, OnlyARepeatOfTheSameToolCallSupersedes) {
  std::vector<std::string> seen;
  store.addObserver([&](const PendingAction& a) {
    seen.push_back(a.requestID + ":" + std::string(rawValue(a.status)));
  });
  store.addObserver(
      [&](const PendingAction& a) { seen.push_back("second observer:" + a.requestID); });
  // Parallel tool calls of one session wait side by side.
  store.insert(toolCall("bash", "Bash", "toolu_1", "make"), replies.senderFor("bash"));
  store.insert(toolCall("write", "Write", "toolu_2", ""), replies.senderFor("write"));
  store.insert(toolCall("bash-again", "Bash", "toolu_3", "make"), replies.senderFor("bash-again"));
  store.insert(action("choice", PendingActionKind::waitingChoice), replies.senderFor("choice"));
  store.insert(toolCall("other-session", "Bash", "toolu_1", "make", "s2"),
               replies.senderFor("other-session"));
  // Without a tool use id, the tool and its input tell calls apart.
  store.insert(toolCall("plain-a", "Bash", std::nullopt, "ls"), replies.senderFor("plain-a"));
  store.insert(toolCall("plain-b", "Bash", std::nullopt, "pwd"), replies.senderFor("plain-b"));
  for (const auto& [id, list] : replies.byID) EXPECT_TRUE(list.empty()) << id;
  EXPECT_EQ(store.waitingActions().size(), 7u);

  // The same tool call asked again replaces the first, which is answered at once.
  store.insert(toolCall("bash-repeat", "Bash", "toolu_1", "make"),
               replies.senderFor("bash-repeat"));
  store.insert(toolCall("plain-a-repeat", "Bash", std::nullopt, "ls"),
               replies.senderFor("plain-a-repeat"));
  ASSERT_EQ(replies.count("bash"), 1u);
  EXPECT_EQ(replies.byID["bash"][0], storeReply("bash", "superseded"));
  EXPECT_EQ(status("bash"), PendingActionStatus::superseded);
  ASSERT_EQ(replies.count("plain-a"), 1u);
  EXPECT_EQ(status("plain-a"), PendingActionStatus::superseded);
  for (const auto* id : {"write", "bash-again", "choice", "other-session", "plain-b", "bash-repeat",
                         "plain-a-repeat"}) {
    EXPECT_EQ(status(id), PendingActionStatus::awaitingUser) << id;
    EXPECT_EQ(replies.count(id), 0u) << id;
  }

  // Each waiting call gets its own decision, once.
  EXPECT_FALSE(store.complete("bash", storeReply("bash", "allow"), PendingActionStatus::answered));
  EXPECT_TRUE(store.complete("write", storeReply("write", "deny"), PendingActionStatus::answered));
  EXPECT_TRUE(store.complete("bash-again", storeReply("bash-again", "allow"),
                             PendingActionStatus::answered));
  EXPECT_FALSE(
      store.complete("write", storeReply("write", "allow"), PendingActionStatus::answered));
  EXPECT_EQ(replies.count("bash"), 1u);
  ASSERT_EQ(replies.count("write"), 1u);
  EXPECT_EQ(replies.byID["write"][0].decision, "deny");
  ASSERT_EQ(replies.count("bash-again"), 1u);
  EXPECT_EQ(replies.byID["bash-again"][0].decision, "allow");

  // A request id seen again replaces the open entry, whatever it asks.
  store.insert(toolCall("plain-b", "Read", std::nullopt, ""), replies.senderFor("plain-b"));
  EXPECT_EQ(replies.count("plain-b"), 1u);
  EXPECT_EQ(status("plain-b"), PendingActionStatus::awaitingUser);

  EXPECT_EQ(std::vector<std::string>(seen.begin() + 14, seen.begin() + 20),
            (std::vector<std::string>{"bash:superseded", "second observer:bash",
                                      "bash-repeat:awaitingUser", "second observer:bash-repeat",
                                      "plain-a:superseded", "second observer:plain-a"}));
}

TEST_F(PendingActionStoreTest, WaitingActionsAreOpenOnesOldestFirst) {
  auto first = action("a", PendingActionKind::waitingInput);
  auto second = action("b", PendingActionKind::waitingChoice);
  auto third = action("c", PendingActionKind::permissionRequest);
  second.createdAt = first.createdAt - std::chrono::seconds(5);
  third.createdAt = first.createdAt;
  store.insert(first, replies.senderFor("a"));
  store.insert(second, replies.senderFor("b"));
  store.insert(third, replies.senderFor("c"));
  store.fail("b", PendingActionStatus::agentDied);
  EXPECT_EQ(replies.byID["b"][0].decision, "agentDied");
  std::vector<std::string> ids;
  for (const auto& waiting : store.waitingActions()) ids.push_back(waiting.requestID);
  EXPECT_EQ(ids, (std::vector<std::string>{"a", "c"}));
}

TEST_F(PendingActionStoreTest, HungUpBridgeEndsItsRequestAsHookDroppedWithoutAReply) {
  testing::TempDir dir;
  AuditWriter audit(dir.file("audit.jsonl"));
  attachAuditObserver(store, audit);
  std::vector<std::string> seen;
  store.addObserver([&](const PendingAction& a) {
    seen.push_back(a.requestID + ":" + std::string(rawValue(a.status)));
  });
  store.insert(action("gone", PendingActionKind::permissionRequest, 1), replies.senderFor("gone"));
  store.insert(action("stays", PendingActionKind::permissionRequest, 60, ::getpid(), "s2"),
               replies.senderFor("stays"));
  const auto hungUp = store.hangUpHandler("gone");
  hungUp();
  EXPECT_EQ(status("gone"), PendingActionStatus::hookDropped);
  EXPECT_EQ(status("stays"), PendingActionStatus::awaitingUser);
  ASSERT_TRUE(store.reply("gone"));
  EXPECT_EQ(store.reply("gone")->decision, "hookDropped");
  EXPECT_EQ(store.waitingActions().size(), 1u);
  // A decision, a second hang-up and the cancelled one-second timer all come too late.
  EXPECT_FALSE(store.complete("gone", storeReply("gone", "allow"), PendingActionStatus::answered));
  hungUp();
  runUntil([] { return false; }, 1.3);
  EXPECT_EQ(replies.count("gone"), 0u);
  EXPECT_EQ(seen, (std::vector<std::string>{"gone:awaitingUser", "stays:awaitingUser",
                                            "gone:hookDropped"}));

  const auto lines = testing::splitLines(testing::readText(dir.file("audit.jsonl")));
  ASSERT_EQ(lines.size(), 3u);
  const Json reply = Json::parse(lines[2]);
  EXPECT_EQ(reply["role"], "pending_reply");
  EXPECT_EQ(reply["request_id"], "gone");
  EXPECT_EQ(reply["status"], "hookDropped");
  EXPECT_EQ(reply["decision"], "hookDropped");

  // The bridge of a request that a newer one with the same id replaced hangs up once it has
  // its "superseded" reply: the newer request keeps waiting.
  const auto firstBridge = store.hangUpHandler("stays");
  store.insert(action("stays", PendingActionKind::waitingInput), replies.senderFor("stays"));
  ASSERT_EQ(replies.count("stays"), 1u);
  firstBridge();
  EXPECT_EQ(status("stays"), PendingActionStatus::awaitingUser);
  store.hangUpHandler("stays")();
  EXPECT_EQ(status("stays"), PendingActionStatus::hookDropped);
  EXPECT_EQ(replies.count("stays"), 1u);
}

TEST(PendingActionStoreHangUp, HandlerOutlivingTheStoreDoesNothing) {
  MainLoop loop;
  auto store = std::make_unique<PendingActionStore>(loop);
  store->insert(action("r"), [](const HookReply&) { FAIL() << "nothing may be sent"; });
  const auto hungUp = store->hangUpHandler("r");
  EXPECT_NO_THROW(store->hangUpHandler("unknown")());
  store.reset();
  hungUp();
}

class AgentExitTest : public ::testing::TestWithParam<ProcessExitStrategy> {};

TEST_P(AgentExitTest, AgentExitAnswersAgentDiedForItsRequestOnly) {
  MainLoop loop;
  const auto strategy = GetParam();
  PendingActionStore store(
      loop, [strategy](MainLoop& mainLoop, int32_t pid, std::function<void()> onExit) {
        return std::make_unique<AgentPIDWatcher>(mainLoop, pid, std::move(onExit), strategy);
      });
  Replies replies;
  auto agent = testing::ChildProcess::spawn({"sleep", "60"});
  store.insert(action("dies", PendingActionKind::permissionRequest, 60, agent.pid()),
               replies.senderFor("dies"));
  store.insert(action("lives", PendingActionKind::waitingInput), replies.senderFor("lives"));
  WorkItem waker = loop.every(Seconds(0.01), Seconds(0), [] {});
  // Still running: nothing happens.
  EXPECT_FALSE(loop.runUntil([&] { return replies.count("dies") > 0; }, Seconds(0.7)));
  agent.signal(SIGKILL);  // left unreaped: a zombie must count as exited
  ASSERT_TRUE(loop.runUntil([&] { return replies.count("dies") > 0; }, Seconds(10)));
  EXPECT_EQ(replies.byID["dies"][0], storeReply("dies", "agentDied"));
  EXPECT_EQ(store.action("dies")->status, PendingActionStatus::agentDied);
  EXPECT_EQ(store.action("lives")->status, PendingActionStatus::awaitingUser);
  EXPECT_FALSE(loop.runUntil([&] { return replies.count("dies") > 1; }, Seconds(0.7)));
  EXPECT_EQ(replies.count("lives"), 0u);
}

TEST_P(AgentExitTest, AgentAlreadyGoneIsReportedAndCancelledWatchersStaySilent) {
  MainLoop loop;
  const auto strategy = GetParam();
  auto agent = testing::ChildProcess::spawn({"true"});
  ASSERT_TRUE(agent.waitExit(10));  // reaped: the pid no longer exists
  int exits = 0;
  AgentPIDWatcher gone(
      loop, agent.pid(), [&] { ++exits; }, strategy);
  WorkItem waker = loop.every(Seconds(0.01), Seconds(0), [] {});
  ASSERT_TRUE(loop.runUntil([&] { return exits == 1; }, Seconds(5)));

  auto sleeper = testing::ChildProcess::spawn({"sleep", "60"});
  int cancelledExits = 0;
  AgentPIDWatcher cancelled(
      loop, sleeper.pid(), [&] { ++cancelledExits; }, strategy);
  cancelled.cancel();
  sleeper.signal(SIGKILL);
  EXPECT_FALSE(loop.runUntil([&] { return cancelledExits > 0; }, Seconds(1.2)));
  EXPECT_EQ(exits, 1);
}

INSTANTIATE_TEST_SUITE_P(Strategies, AgentExitTest,
                         ::testing::Values(ProcessExitStrategy::automatic,
                                           ProcessExitStrategy::polling),
                         [](const auto& info) {
                           return info.param == ProcessExitStrategy::automatic ? "KernelNotice"
                                                                               : "Polling";
                         });

}  // namespace
}  // namespace glimmet
