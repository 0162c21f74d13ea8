#pragma once

// The desktop's notification service: on Linux the org.freedesktop.Notifications server on the
// session bus. Posting never blocks the loop and never fails the caller; a desktop without the
// service just shows nothing, with the reason in the log.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/log.hpp"
#include "platform/main_loop.hpp"

namespace glimmet {

struct DesktopNotification {
  std::string title;
  std::string body;
  // (key, label) pairs in button order; dropped when the server cannot show actions.
  std::vector<std::pair<std::string, std::string>> actions;
  // A hint for the server's grouping and styling ("im.received", "presence", ...).
  std::string category;
  // Stays until withdrawn: the server neither expires it nor removes it when an action is
  // chosen.
  bool resident = false;
  bool urgent = false;
};

// The server's id of a posted notification; 0 is never a valid one.
using DesktopNotificationID = uint32_t;

struct DesktopNotificationEvents {
  // The user chose an action (key "default" is a click on the notification itself).
  std::function<void(DesktopNotificationID id, const std::string& actionKey)> actionInvoked;
  // The server removed the notification (expired, dismissed, or withdrawn by us).
  std::function<void(DesktopNotificationID id)> closed;
  // A (new) server is ready: notifications posted before are gone with the old one.
  std::function<void()> serverReady;
};

// Main loop only. The connection is made in the background and remade after the bus or the
// server went away.
class DesktopNotifications {
 public:
  using Posted = std::function<void(std::optional<DesktopNotificationID> id)>;

  virtual ~DesktopNotifications() = default;

  // Whether a server is known to be there right now.
  virtual bool available() const = 0;
  // Whether that server shows action buttons.
  virtual bool supportsActions() const = 0;
  // `posted` receives the server's id, or nothing when posting failed (the cause is logged).
  virtual void post(const DesktopNotification& notification, Posted posted) = 0;
  virtual void withdraw(DesktopNotificationID id) = 0;
};

// The platform's service. Diagnostics ("[Glimmet] ...") go to `log`.
std::unique_ptr<DesktopNotifications> makeDesktopNotifications(MainLoop& loop,
                                                               DesktopNotificationEvents events,
                                                               LogSink log);

}  // namespace glimmet
