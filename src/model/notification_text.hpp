#pragma once

#include <string>

#include "model/pending_action.hpp"

namespace glimmet {

// The title and body a pending action is announced with, on any front end.
struct NotificationText {
  std::string title;
  std::string body;
};

NotificationText notificationText(const PendingAction& action);

// Notification action identifiers; a front end answers through dispatch() with one of them.
namespace NotificationAction {
inline constexpr const char* kApproveOnce = "GMPermissionRequest.approve_once";
inline constexpr const char* kApproveAlways = "GMPermissionRequest.approve_always";
inline constexpr const char* kPermissionDeny = "GMPermissionRequest.deny";
inline constexpr const char* kChoiceMore = "GMChoice.more";
inline constexpr const char* kChoiceOptionPrefix = "GMChoice.option.";
inline constexpr const char* kTextOpen = "GMTextInput.open";
inline constexpr const char* kTextDeny = "GMTextInput.deny";
inline constexpr const char* kJump = "GMAction.jump";
inline constexpr const char* kDefault = "com.apple.UNNotificationDefaultActionIdentifier";
inline constexpr const char* kDismiss = "com.apple.UNNotificationDismissActionIdentifier";
}  // namespace NotificationAction

}  // namespace glimmet
