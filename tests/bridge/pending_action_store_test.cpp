#include "approvals/pending_action_store.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "support/child_process.hpp"

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

// Time-outs, agent deaths and supersession are also checked end to end in glimmet_run_test.cpp;
// these cases need the store alone.
TEST_F(PendingActionStoreTest, NewerRequestOfTheSameAgentSessionAndKindSupersedesAtOnce) {
  std::vector<std::string> seen;
  store.addObserver([&](const PendingAction& a) {
    seen.push_back(a.requestID + ":" + std::string(rawValue(a.status)));
  });
  store.addObserver(
      [&](const PendingAction& a) { seen.push_back("second observer:" + a.requestID); });
  store.insert(action("old"), replies.senderFor("old"));
  store.insert(action("choice", PendingActionKind::waitingChoice), replies.senderFor("choice"));
  store.insert(action("other-session", PendingActionKind::permissionRequest, 60,
                      static_cast<int32_t>(::getpid()), "s2"),
               replies.senderFor("other-session"));
  EXPECT_EQ(replies.count("old"), 0u);
  store.insert(action("new"), replies.senderFor("new"));
  // Answered inside insert, before the loop ran at all.
  ASSERT_EQ(replies.count("old"), 1u);
  EXPECT_EQ(replies.byID["old"][0], storeReply("old", "superseded"));
  EXPECT_EQ(status("old"), PendingActionStatus::superseded);
  EXPECT_EQ(status("choice"), PendingActionStatus::awaitingUser);
  EXPECT_EQ(status("other-session"), PendingActionStatus::awaitingUser);

  EXPECT_FALSE(store.complete("old", storeReply("old", "allow"), PendingActionStatus::answered));
  EXPECT_TRUE(store.complete("new", storeReply("new", "allow"), PendingActionStatus::answered));
  EXPECT_FALSE(store.complete("new", storeReply("new", "deny"), PendingActionStatus::answered));
  EXPECT_EQ(replies.count("old"), 1u);
  ASSERT_EQ(replies.count("new"), 1u);
  EXPECT_EQ(replies.byID["new"][0].decision, "allow");
  EXPECT_EQ(replies.count("choice"), 0u);

  EXPECT_EQ(seen,
            (std::vector<std::string>{
                "old:awaitingUser", "second observer:old", "choice:awaitingUser",
                "second observer:choice", "other-session:awaitingUser",
                "second observer:other-session", "old:superseded", "second observer:old",
                "new:awaitingUser", "second observer:new", "new:answered", "second observer:new"}));
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
