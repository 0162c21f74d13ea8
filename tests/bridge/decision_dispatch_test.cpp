#include "approvals/decision_dispatch.hpp"

#include "base/json_values.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include "approvals/socket_frame_codec.hpp"
#include "model/notification_text.hpp"

namespace glimmet {
namespace {

using namespace NotificationAction;

PendingAction dispatchedAction(std::string id, PendingActionKind kind,
                               std::string agent = "claude_code") {
  PendingAction result;
  result.requestID = std::move(id);
  result.agent = std::move(agent);
  result.sessionID = "s1";
  result.agentPID = static_cast<int32_t>(::getpid());
  result.kind = kind;
  result.createdAt = systemNow();
  result.timeoutSeconds = 600;
  return result;
}

class DecisionTest : public ::testing::Test {
 protected:
  PendingActionStore::Sender sender(const std::string& id) {
    return [this, id](const HookReply& reply) { replies[id].push_back(reply); };
  }
  void add(PendingAction pending) {
    const std::string id = pending.requestID;
    store.insert(std::move(pending), sender(id));
  }

  MainLoop loop;
  PendingActionStore store{loop};
  std::vector<std::string> withdrawn;
  std::vector<std::string> panels;
  int broughtForward = 0;
  DecisionDispatcher dispatcher{
      store, DecisionFrontEnd{[this](const std::string& id) { withdrawn.push_back(id); },
                              [this] { ++broughtForward; },
                              [this](const PendingAction& a) { panels.push_back(a.requestID); },
                              {}}};
  std::map<std::string, std::vector<HookReply>> replies;
};

// The exact always-allow line and "already answered" are checked end to end in
// glimmet_run_test.cpp.
TEST_F(DecisionTest, ActionIdsMapToDecisions) {
  add(dispatchedAction("deny", PendingActionKind::permissionRequest, "codex"));
  add(dispatchedAction("choice", PendingActionKind::waitingChoice, "codex"));
  add(dispatchedAction("text", PendingActionKind::waitingInput, "codex"));
  EXPECT_TRUE(dispatcher.dispatch(kPermissionDeny, "deny", "permission_request"));
  EXPECT_TRUE(dispatcher.dispatch("GMChoice.option.b", "choice", "waiting_choice"));
  EXPECT_TRUE(dispatcher.dispatch(kTextDeny, "text", "waiting_input"));
  EXPECT_EQ(replies["deny"][0].decision, "deny");
  EXPECT_EQ(Json::parse(replies["deny"][0].rawAgentPayload)["hookSpecificOutput"]["decision"],
            Json::parse(R"({"behavior":"deny","message":"The user denied this in Glimmet."})"));
  EXPECT_EQ(replies["choice"][0].decision, "choice");
  EXPECT_EQ(replies["choice"][0].mode, "once");
  EXPECT_EQ(replies["choice"][0].rawAgentPayload, R"({"decision":"block","reason":"b"})");
  EXPECT_EQ(replies["text"][0].decision, "deny");
  EXPECT_EQ(withdrawn, (std::vector<std::string>{"deny", "choice", "text"}));
  EXPECT_FALSE(dispatcher.dispatch(kPermissionDeny, "deny", "permission_request"));
  EXPECT_EQ(replies["deny"].size(), 1u);
}

// Codex keeps no "always" rule: a stale Always action gives a plain allow, and the reply and
// the audit log say "once", which is what the agent got.
TEST_F(DecisionTest, AlwaysForAnAgentWithoutRulesIsAllowOnce) {
  add(dispatchedAction("codex", PendingActionKind::permissionRequest, "codex"));
  add(dispatchedAction("claude", PendingActionKind::permissionRequest, "claude_code"));
  EXPECT_TRUE(dispatcher.dispatch(kApproveAlways, "codex", "permission_request"));
  EXPECT_TRUE(dispatcher.dispatch(kApproveAlways, "claude", "permission_request"));
  EXPECT_EQ(replies["codex"][0].mode, "once");
  EXPECT_EQ(replies["codex"][0].rawAgentPayload,
            R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},)"
            R"("hookEventName":"PermissionRequest"}})");
  EXPECT_EQ(replies["claude"][0].mode, "always");
}

TEST_F(DecisionTest, NonDecidingAndUnknownActionsSendNothing) {
  add(dispatchedAction("r1", PendingActionKind::waitingInput));
  EXPECT_FALSE(dispatcher.dispatch(kTextOpen, "r1", "waiting_input"));
  EXPECT_EQ(panels, std::vector<std::string>{"r1"});
  EXPECT_FALSE(dispatcher.dispatch(kChoiceMore, "r1", "waiting_input"));
  EXPECT_FALSE(dispatcher.dispatch(kDefault, "r1", "waiting_input"));
  EXPECT_EQ(broughtForward, 3);
  EXPECT_FALSE(dispatcher.dispatch(kJump, "r1", "waiting_input"));
  EXPECT_FALSE(dispatcher.dispatch("GMSomething.else", "r1", "waiting_input"));
  EXPECT_FALSE(dispatcher.dispatch(kApproveOnce, "r1", "not_a_kind"));
  EXPECT_FALSE(dispatcher.dispatch(kApproveOnce, "missing", "waiting_input"));
  EXPECT_TRUE(replies["r1"].empty());
  EXPECT_EQ(store.action("r1")->status, PendingActionStatus::awaitingUser);
}

TEST_F(DecisionTest, SubmittedTextIsCutTo8192BytesAtACharacter) {
  add(dispatchedAction("r1", PendingActionKind::waitingInput));
  std::string text;
  while (text.size() < 10000) text += "\xe2\x82\xac";
  EXPECT_TRUE(dispatcher.submitText("r1", "waiting_input", text));
  ASSERT_EQ(replies["r1"].size(), 1u);
  EXPECT_EQ(replies["r1"][0].decision, "input");
  const Json payload = Json::parse(replies["r1"][0].rawAgentPayload);
  EXPECT_EQ(payload["reason"], text.substr(0, 8190));
}

TEST(NotificationText, TitlesAndBodiesPerKind) {
  auto permission = dispatchedAction("p", PendingActionKind::permissionRequest);
  EXPECT_EQ(notificationText(permission).title, "Approval needed");
  EXPECT_EQ(notificationText(permission).body, "Agent requested permission");
  permission.payload.command = "rm -rf build";
  EXPECT_EQ(notificationText(permission).body, "Run: rm -rf build");
  auto choice = dispatchedAction("c", PendingActionKind::waitingChoice);
  EXPECT_EQ(notificationText(choice).title, "Choice needed");
  EXPECT_EQ(notificationText(choice).body, "Agent is waiting for a choice");
  auto input = dispatchedAction("i", PendingActionKind::waitingInput);
  EXPECT_EQ(notificationText(input).title, "Input needed");
  EXPECT_EQ(notificationText(input).body, "Agent is waiting for your text");
  input.payload.prompt = "Name?";
  EXPECT_EQ(notificationText(input).body, "Name?");
}

}  // namespace
}  // namespace glimmet
