#include "model/notification_categories.hpp"

#include "model/notification_text.hpp"

namespace glimmet {

const std::vector<NotificationCategory>& notificationCategories() {
  using Option = NotificationActionOption;
  namespace Action = NotificationAction;
  static const std::vector<NotificationCategory> categories = {
      {"GMPermissionRequest",
       {{Action::kApproveOnce, "Approve", Option::none},
        {Action::kApproveAlways, "Always", Option::none},
        {Action::kPermissionDeny, "Deny", Option::destructive},
        {Action::kJump, "Jump", Option::foreground}},
       false},
      {"GMChoice",
       {{Action::kChoiceMore, "More\u2026", Option::foreground},
        {Action::kJump, "Jump", Option::foreground}},
       true},
      {"GMTextInput",
       {{Action::kTextOpen, "Open input panel", Option::foreground},
        {Action::kTextDeny, "Deny", Option::destructive},
        {Action::kJump, "Jump", Option::foreground}},
       false},
  };
  return categories;
}

const NotificationCategory& notificationCategory(PendingActionKind kind) {
  const auto& categories = notificationCategories();
  switch (kind) {
    case PendingActionKind::permissionRequest:
      return categories[0];
    case PendingActionKind::waitingChoice:
      return categories[1];
    case PendingActionKind::waitingInput:
      break;
  }
  return categories[2];
}

std::string notificationIdentifier(std::string_view requestID) {
  return "glimmet." + std::string(requestID);
}

}  // namespace glimmet
