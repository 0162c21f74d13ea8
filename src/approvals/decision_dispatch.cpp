#include "approvals/decision_dispatch.hpp"

#include "approvals/agent_reply_marshaller.hpp"
#include "base/text.hpp"
#include "model/agent_dialect.hpp"
#include "model/notification_text.hpp"
#include "model/text_input_panel.hpp"

namespace glimmet {

namespace {

std::string decisionText(UserDecision::Verb verb) {
  return std::string(rawValue(verb));
}

}  // namespace

DecisionDispatcher::DecisionDispatcher(PendingActionStore& store, DecisionFrontEnd frontEnd)
    : store_(store), frontEnd_(std::move(frontEnd)) {}

HookReply DecisionDispatcher::replyFor(const PendingAction& action, PendingActionKind kind,
                                       UserDecision decision) {
  // An agent that keeps no "always" rule gets, and the audit log records, what it really got.
  if (!offersAlwaysAllow(action.agent)) decision.mode = UserDecision::Mode::once;
  HookReply reply;
  reply.requestID = action.requestID;
  reply.decision = decisionText(decision.verb);
  reply.mode = std::string(rawValue(decision.mode));
  reply.rawAgentPayload =
      AgentReplyMarshaller::rawAgentPayload(action.agent, kind, decision, action.payload);
  return reply;
}

bool DecisionDispatcher::decide(const PendingAction& action, PendingActionKind kind,
                                const UserDecision& decision) {
  if (!store_.complete(action.requestID, replyFor(action, kind, decision),
                       PendingActionStatus::answered)) {
    return false;
  }
  if (frontEnd_.withdrawNotification) frontEnd_.withdrawNotification(action.requestID);
  return true;
}

bool DecisionDispatcher::dispatch(std::string_view actionID, const std::string& requestID,
                                  std::string_view kindStr) {
  using namespace NotificationAction;
  const auto kind = pendingActionKind(kindStr);
  if (!kind) return false;
  const auto action = store_.action(requestID);
  if (!action) return false;

  UserDecision decision;
  if (actionID == kApproveOnce) {
    decision = {UserDecision::Verb::allow, UserDecision::Mode::once, {}, {}};
  } else if (actionID == kApproveAlways) {
    decision = {UserDecision::Verb::allow, UserDecision::Mode::always, {}, {}};
  } else if (actionID == kPermissionDeny || actionID == kTextDeny) {
    decision = {UserDecision::Verb::deny, UserDecision::Mode::once, {}, {}};
  } else if (startsWith(actionID, kChoiceOptionPrefix)) {
    const std::string optionID(actionID.substr(std::string_view(kChoiceOptionPrefix).size()));
    decision = {UserDecision::Verb::choice, UserDecision::Mode::once, optionID, {}};
  } else if (actionID == kTextOpen) {
    if (frontEnd_.bringForward) frontEnd_.bringForward();
    if (frontEnd_.showTextPanel) frontEnd_.showTextPanel(*action);
    return false;
  } else if (actionID == kJump) {
    if (frontEnd_.jumpToAgent) {
      frontEnd_.jumpToAgent(action->payload.cwd, action->payload.transcriptPath);
    }
    return false;
  } else if (actionID == kChoiceMore || actionID == kDefault || actionID == kDismiss) {
    if (frontEnd_.bringForward) frontEnd_.bringForward();
    return false;
  } else {
    return false;
  }
  return decide(*action, *kind, decision);
}

bool DecisionDispatcher::answer(const std::string& requestID, UserDecision decision) {
  const auto action = store_.action(requestID);
  if (!action) return false;
  if (decision.text) decision.text = TextInputPanel::truncate(*decision.text).text;
  return decide(*action, action->kind, decision);
}

bool DecisionDispatcher::submitText(const std::string& requestID, std::string_view kindStr,
                                    std::string_view text) {
  const auto kind = pendingActionKind(kindStr);
  if (!kind) return false;
  const auto action = store_.action(requestID);
  if (!action) return false;
  UserDecision decision{
      UserDecision::Verb::input, UserDecision::Mode::once, {}, TextInputPanel::truncate(text).text};
  return decide(*action, *kind, decision);
}

}  // namespace glimmet
