#include "model/notification_text.hpp"

namespace glimmet {

NotificationText notificationText(const PendingAction& action) {
  const auto& payload = action.payload;
  switch (action.kind) {
    case PendingActionKind::permissionRequest:
      return {"Approval needed",
              payload.command ? "Run: " + *payload.command : "Agent requested permission"};
    case PendingActionKind::waitingChoice:
      return {"Choice needed", payload.prompt.value_or("Agent is waiting for a choice")};
    case PendingActionKind::waitingInput:
      break;
  }
  return {"Input needed", payload.prompt.value_or("Agent is waiting for your text")};
}

}  // namespace glimmet
