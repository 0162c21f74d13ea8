#include "app/notification_banners.hpp"

#include <set>

#include <fmt/format.h>

#include "model/notification_categories.hpp"
#include "model/notification_text.hpp"

namespace glimmet {

namespace {

// The freedesktop key of a click on the notification itself.
constexpr const char* kClickKey = "default";

// Actions that answer the request, as opposed to bringing something forward.
bool decides(const std::string& actionID) {
  namespace Action = NotificationAction;
  return actionID == Action::kApproveOnce || actionID == Action::kApproveAlways ||
         actionID == Action::kPermissionDeny || actionID == Action::kTextDeny ||
         actionID.rfind(Action::kChoiceOptionPrefix, 0) == 0;
}

}  // namespace

NotificationBanners::NotificationBanners(Core& core, const LogSink& log)
    : NotificationBanners(core, log, [&core, log](DesktopNotificationEvents events) {
        return makeDesktopNotifications(core.loop(), std::move(events), log);
      }) {}

NotificationBanners::NotificationBanners(Core& core, LogSink log, const ServiceFactory& makeService)
    : core_(core), log_(std::move(log)) {
  DesktopNotificationEvents events;
  auto alive = alive_;
  events.actionInvoked = [this, alive](DesktopNotificationID id, const std::string& key) {
    if (*alive) onAction(id, key);
  };
  events.closed = [this, alive](DesktopNotificationID id) {
    if (*alive) onClosed(id);
  };
  events.serverReady = [this, alive] {
    if (*alive) onServerReady();
  };
  service_ = makeService(std::move(events));
}

NotificationBanners::~NotificationBanners() {
  *alive_ = false;
  if (subscription_ != 0) core_.unsubscribe(subscription_);
  for (const auto& [requestID, shown] : shown_) {
    if (shown.id) service_->withdraw(*shown.id);
  }
}

void NotificationBanners::start() {
  subscription_ = core_.subscribe([this](const SnapshotPtr& snapshot) { follow(*snapshot); });
  if (auto snapshot = core_.snapshot()) follow(*snapshot);
}

DesktopNotification NotificationBanners::notificationFor(const PendingAction& action) {
  const auto text = notificationText(action);
  DesktopNotification notification;
  notification.title = text.title;
  notification.body = text.body;
  for (const auto& button : notificationCategory(action.kind).actions) {
    notification.actions.emplace_back(button.id, button.title);
  }
  notification.category = notificationCategory(action.kind).id;
  notification.resident = true;
  notification.urgent = action.kind == PendingActionKind::permissionRequest;
  return notification;
}

void NotificationBanners::follow(const AppSnapshot& snapshot) {
  std::set<std::string> open;
  for (const auto& action : snapshot.waitingRequests) {
    open.insert(action.requestID);
    if (!shown_.count(action.requestID)) post(action);
  }
  std::vector<std::string> answered;
  for (const auto& [requestID, shown] : shown_) {
    if (!open.count(requestID)) answered.push_back(requestID);
  }
  for (const auto& requestID : answered) withdraw(requestID);
}

void NotificationBanners::post(const PendingAction& action) {
  auto& shown = shown_[action.requestID];
  shown.kind = action.kind;
  shown.id.reset();
  shown.posting = true;
  const uint64_t generation = nextGeneration_++;
  postGeneration_[action.requestID] = generation;
  auto alive = alive_;
  service_->post(notificationFor(action), [this, alive, requestID = action.requestID,
                                           generation](std::optional<DesktopNotificationID> id) {
    if (*alive) onPosted(requestID, generation, id);
  });
}

void NotificationBanners::withdraw(const std::string& requestID) {
  auto found = shown_.find(requestID);
  if (found == shown_.end()) return;
  const auto id = found->second.id;
  shown_.erase(found);
  // A post still on its way is withdrawn when its id arrives (onPosted finds no generation).
  postGeneration_.erase(requestID);
  if (id) service_->withdraw(*id);
}

void NotificationBanners::onPosted(const std::string& requestID, uint64_t generation,
                                   std::optional<DesktopNotificationID> id) {
  auto current = postGeneration_.find(requestID);
  if (current == postGeneration_.end() || current->second != generation) {
    // Answered while the server was still taking the notification.
    if (id) service_->withdraw(*id);
    return;
  }
  auto& shown = shown_[requestID];
  shown.posting = false;
  shown.failed = !id;
  shown.id = id;
}

std::optional<std::string> NotificationBanners::requestFor(DesktopNotificationID id) const {
  for (const auto& [requestID, shown] : shown_) {
    if (shown.id == id) return requestID;
  }
  return std::nullopt;
}

void NotificationBanners::onAction(DesktopNotificationID id, const std::string& actionKey) {
  const auto requestID = requestFor(id);
  if (!requestID) {
    writeLog(log_,
             fmt::format("[Glimmet] notification action {} ignored: its request is no longer open",
                         actionKey));
    return;
  }
  const std::string actionID = actionKey == kClickKey ? NotificationAction::kDefault : actionKey;
  const auto kind = shown_[*requestID].kind;
  const bool decided = core_.performNotificationAction(actionID, *requestID, rawValue(kind));
  if (!decided && decides(actionID)) {
    writeLog(log_, fmt::format("[Glimmet] notification action {} ignored: request {} is "
                               "already answered",
                               actionID, *requestID));
  }
}

void NotificationBanners::onClosed(DesktopNotificationID id) {
  // Our own withdrawals were forgotten already; what is left is the user dismissing it.
  const auto requestID = requestFor(id);
  if (!requestID) return;
  auto& shown = shown_[*requestID];
  shown.id.reset();
  shown.dismissed = true;
}

void NotificationBanners::onServerReady() {
  // A new server holds none of the notifications the old one showed, and none that found no
  // server at all.
  const auto snapshot = core_.snapshot();
  if (!snapshot) return;
  std::vector<std::string> lost;
  for (const auto& [requestID, shown] : shown_) {
    if (shown.id || shown.failed) lost.push_back(requestID);
  }
  for (const auto& requestID : lost) {
    if (const auto* action = snapshot->request(requestID)) post(*action);
  }
}

}  // namespace glimmet
