// The macOS shell posts through the user-notification service with the categories of
// model/notification_categories; until it does, this port reports that nothing is shown.

#include "platform/desktop_notifications.hpp"

namespace glimmet {

namespace {

class UnavailableNotifications final : public DesktopNotifications {
 public:
  explicit UnavailableNotifications(LogSink log) : log_(std::move(log)) {}
  bool available() const override { return false; }
  bool supportsActions() const override { return false; }
  void post(const DesktopNotification&, Posted posted) override {
    writeLog(log_, "[Glimmet] banner post failed: desktop notifications are not built for macOS");
    if (posted) posted(std::nullopt);
  }
  void withdraw(DesktopNotificationID) override {}

 private:
  LogSink log_;
};

}  // namespace

std::unique_ptr<DesktopNotifications> makeDesktopNotifications(MainLoop&, DesktopNotificationEvents,
                                                               LogSink log) {
  return std::make_unique<UnavailableNotifications>(std::move(log));
}

}  // namespace glimmet
