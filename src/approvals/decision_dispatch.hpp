#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "approvals/pending_action_store.hpp"
#include "model/pending_action.hpp"

namespace glimmet {

// What a front end does around a decision; every hook is optional.
struct DecisionFrontEnd {
  std::function<void(const std::string& requestID)> withdrawNotification;
  std::function<void()> bringForward;
  std::function<void(const PendingAction& action)> showTextPanel;
  std::function<void(const std::optional<std::string>& cwd,
                     const std::optional<std::string>& transcriptPath)>
      jumpToAgent;
};

// Turns a notification action (or the same action from another front end) into the one hook
// reply of a pending action. Main loop only.
class DecisionDispatcher {
 public:
  explicit DecisionDispatcher(PendingActionStore& store, DecisionFrontEnd frontEnd = {});

  // True when the action id carried a decision and the store accepted it; false for an
  // unknown kind, an unknown or final request, or an action that decides nothing.
  bool dispatch(std::string_view actionID, const std::string& requestID, std::string_view kindStr);
  // A typed decision on an open action, announced as the action's own kind; a reply's text is
  // cut to 8,192 UTF-8 bytes. False for an unknown or final request.
  bool answer(const std::string& requestID, UserDecision decision);
  // The text panel's submit: the text is cut to 8,192 UTF-8 bytes and sent as "input".
  bool submitText(const std::string& requestID, std::string_view kindStr, std::string_view text);

  // The reply for a decision on `action` announced as `kind`.
  static HookReply replyFor(const PendingAction& action, PendingActionKind kind,
                            UserDecision decision);

 private:
  bool decide(const PendingAction& action, PendingActionKind kind, const UserDecision& decision);

  PendingActionStore& store_;
  DecisionFrontEnd frontEnd_;
};

}  // namespace glimmet
