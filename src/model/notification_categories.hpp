#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/pending_action.hpp"

namespace glimmet {

// How the desktop treats an action button.
enum class NotificationActionOption {
  none,
  // Shown as dangerous (red on macOS).
  destructive,
  // Brings the application forward when chosen.
  foreground,
};

struct NotificationActionSpec {
  std::string id;
  std::string title;
  NotificationActionOption option = NotificationActionOption::none;
  bool operator==(const NotificationActionSpec&) const = default;
};

struct NotificationCategory {
  std::string id;
  // In the order the buttons appear.
  std::vector<NotificationActionSpec> actions;
  // Only the choice category wants to hear that the user dismissed its notification.
  bool reportsDismiss = false;
  bool operator==(const NotificationCategory&) const = default;
};

// The three categories every front end registers once at launch, in a fixed order.
const std::vector<NotificationCategory>& notificationCategories();
// The category a pending action of `kind` is posted in.
const NotificationCategory& notificationCategory(PendingActionKind kind);

// The identifier of the notification that announces `requestID`: "glimmet." + the id.
std::string notificationIdentifier(std::string_view requestID);

}  // namespace glimmet
