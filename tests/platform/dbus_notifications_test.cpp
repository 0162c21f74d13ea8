// The D-Bus notification client against a server of the test's own making on a private bus:
// one that shows no action buttons, which dunst cannot be made into.

#include <systemd/sd-bus.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "platform/desktop_notifications.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::TempDir;

// Serves org.freedesktop.Notifications on its own thread: capabilities without "actions",
// every notification gets id 42, and a click on it is reported right after it is shown.
class PlainNotificationServer {
 public:
  // On the session bus DBUS_SESSION_BUS_ADDRESS names.
  PlainNotificationServer() {
    if (sd_bus_open_user(&bus_) < 0) throw std::runtime_error("cannot reach the test bus");
    sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/Notifications",
                             "org.freedesktop.Notifications", kVtable, this);
    if (sd_bus_request_name(bus_, "org.freedesktop.Notifications", 0) < 0) {
      throw std::runtime_error("cannot own the notification name");
    }
    thread_ = std::thread([this] {
      while (!stop_) {
        if (sd_bus_process(bus_, nullptr) > 0) continue;
        sd_bus_wait(bus_, 50000);
      }
    });
  }
  ~PlainNotificationServer() {
    stop_ = true;
    thread_.join();
    sd_bus_flush_close_unref(bus_);
  }

  int actionsSeen() const { return actionsSeen_; }
  int notifications() const { return notifications_; }

 private:
  static int capabilities(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "as", 2, "body", "persistence");
  }

  static int notify(sd_bus_message* call, void* data, sd_bus_error*) {
    auto* self = static_cast<PlainNotificationServer*>(data);
    const char* app = nullptr;
    uint32_t replaces = 0;
    const char* icon = nullptr;
    const char* summary = nullptr;
    const char* body = nullptr;
    sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body);
    char** actions = nullptr;
    sd_bus_message_read_strv(call, &actions);
    int count = 0;
    for (char** action = actions; action && *action; ++action, ++count) std::free(*action);
    std::free(actions);
    self->actionsSeen_ = count;
    ++self->notifications_;
    const int rc = sd_bus_reply_method_return(call, "u", uint32_t{42});
    sd_bus_emit_signal(self->bus_, "/org/freedesktop/Notifications",
                       "org.freedesktop.Notifications", "ActionInvoked", "us", uint32_t{42},
                       "default");
    return rc;
  }

  static int close(sd_bus_message* call, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(call, "");
  }

  static constexpr sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("GetCapabilities", "", "as", &PlainNotificationServer::capabilities, 0),
      SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", &PlainNotificationServer::notify, 0),
      SD_BUS_METHOD("CloseNotification", "u", "", &PlainNotificationServer::close, 0),
      SD_BUS_VTABLE_END};

  sd_bus* bus_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> actionsSeen_{-1};
  std::atomic<int> notifications_{0};
};

TEST(DBusNotifications, AServerWithoutActionsGetsPlainNotificationsAndClicksStillArrive) {
  if (testing::runToCompletion({"sh", "-c", "command -v dbus-daemon"}, {}).exitCode() != 0) {
    GTEST_SKIP() << "dbus-daemon is not installed";
  }
  TempDir dir;
  testing::writeText(dir.file("bus.conf"),
                     "<busconfig><type>session</type><listen>unix:tmpdir=" + dir.path() +
                         "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                         "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                         "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
  auto bus = ChildProcess::spawn(
      {"dbus-daemon", "--config-file=" + dir.file("bus.conf"), "--nofork", "--print-address=1"});
  ASSERT_TRUE(bus.waitUntil([&] { return bus.output().find('\n') != std::string::npos; }, 10));
  const std::string address = bus.output().substr(0, bus.output().find('\n'));
  const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string saved = previous ? previous : "";
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  PlainNotificationServer server;

  MainLoop loop;
  std::string log;
  std::optional<DesktopNotificationID> posted;
  std::string clicked;
  DesktopNotificationEvents events;
  events.actionInvoked = [&](DesktopNotificationID id, const std::string& key) {
    if (id == 42) clicked = key;
  };
  auto notifications =
      makeDesktopNotifications(loop, events, [&](const std::string& line) { log += line + "\n"; });
  DesktopNotification notification;
  notification.title = "Approval needed";
  notification.body = "Run: ls";
  notification.actions = {{"GMPermissionRequest.approve_once", "Approve"}};
  notifications->post(notification, [&](std::optional<DesktopNotificationID> id) { posted = id; });
  EXPECT_TRUE(loop.runUntil([&] { return !clicked.empty(); }, Seconds(10))) << log;

  EXPECT_EQ(posted, std::optional<DesktopNotificationID>(42));
  EXPECT_EQ(clicked, "default");
  EXPECT_EQ(server.notifications(), 1);
  EXPECT_EQ(server.actionsSeen(), 0);
  EXPECT_FALSE(notifications->supportsActions());
  EXPECT_NE(log.find("[Glimmet] the notification server shows no action buttons"),
            std::string::npos)
      << log;

  notifications.reset();
  loop.runUntil([&] { return loop.openHandleCount() == 0; }, Seconds(5));
  if (previous) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
  } else {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
}

}  // namespace
}  // namespace glimmet
