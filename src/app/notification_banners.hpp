#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/core.hpp"
#include "model/pending_action.hpp"
#include "platform/desktop_notifications.hpp"

namespace glimmet {

// One desktop notification per open request, with the decision buttons of its category.
// Follows the core's snapshots, so a request answered anywhere (console, panel, a button here,
// time-out, agent exit, supersession) loses its notification; a chosen button goes back to the
// core as a notification action. Main loop only.
class NotificationBanners {
 public:
  using ServiceFactory =
      std::function<std::unique_ptr<DesktopNotifications>(DesktopNotificationEvents events)>;

  // Posts through the platform's notification service.
  NotificationBanners(Core& core, const LogSink& log);
  // Posts through whatever `makeService` builds (tests pass a recording one).
  NotificationBanners(Core& core, LogSink log, const ServiceFactory& makeService);
  // Withdraws every notification still shown: its request outlives no Glimmet to answer it.
  ~NotificationBanners();
  NotificationBanners(const NotificationBanners&) = delete;
  NotificationBanners& operator=(const NotificationBanners&) = delete;

  // Follows the core from its current snapshot on.
  void start();

  // The notification content for `action`; actions are (action id, button title) pairs in the
  // category's order.
  static DesktopNotification notificationFor(const PendingAction& action);

 private:
  struct Shown {
    PendingActionKind kind = PendingActionKind::permissionRequest;
    std::optional<DesktopNotificationID> id;
    // Posted and waiting for the server's id.
    bool posting = false;
    // No server took it; posted again when one appears.
    bool failed = false;
    // The server removed it (the user dismissed it); not posted again.
    bool dismissed = false;
  };

  void follow(const AppSnapshot& snapshot);
  void post(const PendingAction& action);
  void withdraw(const std::string& requestID);
  void onPosted(const std::string& requestID, uint64_t generation,
                std::optional<DesktopNotificationID> id);
  void onAction(DesktopNotificationID id, const std::string& actionKey);
  void onClosed(DesktopNotificationID id);
  void onServerReady();
  std::optional<std::string> requestFor(DesktopNotificationID id) const;

  Core& core_;
  LogSink log_;
  std::unique_ptr<DesktopNotifications> service_;
  std::map<std::string, Shown> shown_;
  // Each post's answer is matched to the request's current post, not to an earlier one.
  std::map<std::string, uint64_t> postGeneration_;
  uint64_t nextGeneration_ = 1;
  uint64_t subscription_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace glimmet
