// org.freedesktop.Notifications over sd-bus, driven by the main loop: the bus descriptor is
// polled by libuv and sd-bus's own deadlines run on a libuv timer, so no second loop thread.

#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <uv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "platform/desktop_notifications.hpp"
#include "platform/posix/uv_handle.hpp"

namespace glimmet {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";
// A bus that is missing now may appear later (a desktop session starting after us); a bus that
// went away usually comes back quickly. Waits grow from the first to the last and stay there.
constexpr double kFirstReconnectSeconds = 2.0;
constexpr double kLongestReconnectSeconds = 60.0;

std::string errorText(int negativeErrno) {
  return std::strerror(-negativeErrno);
}

std::string errorText(const sd_bus_error* error) {
  if (error && error->message && *error->message) return error->message;
  if (error && error->name) return error->name;
  return "unknown error";
}

class DBusNotifications final : public DesktopNotifications {
 public:
  DBusNotifications(MainLoop& loop, DesktopNotificationEvents events, LogSink log)
      : loop_(loop), events_(std::move(events)), log_(std::move(log)) {
    connect();
  }

  ~DBusNotifications() override {
    *alive_ = false;
    disconnect();
  }

  bool available() const override { return state_ == State::ready; }
  bool supportsActions() const override { return supportsActions_; }

  void post(const DesktopNotification& notification, Posted posted) override {
    if (!bus_) {
      writeLog(log_, "[Glimmet] banner post failed: " + lastFailure_);
      if (posted) posted(std::nullopt);
      return;
    }
    if (state_ != State::ready) {
      // Sent once the server said what it can show; asking also starts an activatable server.
      queued_.emplace_back(notification, std::move(posted));
      if (state_ == State::idle) askCapabilities();
      return;
    }
    send(notification, posted);
  }

  void withdraw(DesktopNotificationID id) override {
    if (!bus_ || id == 0) return;
    const int rc = sd_bus_call_method_async(bus_, nullptr, kService, kPath, kInterface,
                                            "CloseNotification", nullptr, nullptr, "u", id);
    if (rc < 0) {
      writeLog(log_, "[Glimmet] notification withdraw failed: " + errorText(rc));
    }
    rearm();
  }

 private:
  enum class State { idle, asking, ready };

  struct PostCall {
    DBusNotifications* owner;
    std::shared_ptr<bool> alive;
    Posted posted;
    bool answered = false;
  };

  void connect() {
    sd_bus* bus = nullptr;
    int rc = sd_bus_open_user(&bus);
    if (rc < 0) {
      // sd-bus says "No medium found" when neither variable points it to a bus.
      const std::string cause = rc == -ENOMEDIUM
                                    ? "DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR are unset"
                                    : errorText(rc);
      lostConnection("no session bus (" + cause + ")");
      return;
    }
    bus_ = bus;
    rc = watchDescriptor();
    if (rc >= 0) rc = subscribeSignals();
    if (rc < 0) {
      lostConnection("the session bus refused the connection (" + errorText(rc) + ")");
      return;
    }
    if (!lastFailure_.empty()) writeLog(log_, "[Glimmet] desktop notifications reconnected");
    lastFailure_.clear();
    reconnectDelay_ = kFirstReconnectSeconds;
    askCapabilities();
  }

  int watchDescriptor() {
    const int fd = sd_bus_get_fd(bus_);
    if (fd < 0) return fd;
    auto* uvLoop = static_cast<uv_loop_t*>(loop_.nativeHandle());
    int rc = poll_.init([&](uv_poll_t* handle) {
      const int init = uv_poll_init(uvLoop, handle, fd);
      handle->data = this;
      return init;
    });
    if (rc != 0) return -EIO;
    rc = timer_.init([&](uv_timer_t* handle) {
      const int init = uv_timer_init(uvLoop, handle);
      handle->data = this;
      return init;
    });
    if (rc != 0) return -EIO;
    rearm();
    return 0;
  }

  int subscribeSignals() {
    int rc = sd_bus_match_signal_async(bus_, nullptr, nullptr, kPath, kInterface, "ActionInvoked",
                                       &DBusNotifications::onActionInvoked, nullptr, this);
    if (rc >= 0) {
      rc =
          sd_bus_match_signal_async(bus_, nullptr, nullptr, kPath, kInterface, "NotificationClosed",
                                    &DBusNotifications::onClosed, nullptr, this);
    }
    if (rc >= 0) {
      // Only the owner changes of the notification service itself.
      rc = sd_bus_add_match_async(bus_, nullptr,
                                  "type='signal',sender='org.freedesktop.DBus',"
                                  "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
                                  "arg0='org.freedesktop.Notifications'",
                                  &DBusNotifications::onOwnerChanged, nullptr, this);
    }
    return rc;
  }

  void askCapabilities() {
    state_ = State::asking;
    const int rc =
        sd_bus_call_method_async(bus_, nullptr, kService, kPath, kInterface, "GetCapabilities",
                                 &DBusNotifications::onCapabilities, this, "");
    if (rc < 0) {
      state_ = State::idle;
      failQueued("cannot ask the notification server (" + errorText(rc) + ")");
    }
    rearm();
  }

  static int onCapabilities(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto* self = static_cast<DBusNotifications*>(userdata);
    if (sd_bus_message_is_method_error(reply, nullptr)) {
      self->state_ = State::idle;
      const std::string reason = errorText(sd_bus_message_get_error(reply));
      self->failQueued("no notification server (" + reason + ")");
      return 0;
    }
    char** capabilities = nullptr;
    bool actions = false;
    if (sd_bus_message_read_strv(reply, &capabilities) >= 0 && capabilities) {
      for (char** capability = capabilities; *capability; ++capability) {
        if (std::strcmp(*capability, "actions") == 0) actions = true;
        std::free(*capability);
      }
      std::free(capabilities);
    }
    if (!actions && self->supportsActions_) {
      writeLog(self->log_,
               "[Glimmet] the notification server shows no action buttons; requests are "
               "answered in the panel");
    }
    self->supportsActions_ = actions;
    self->state_ = State::ready;
    auto alive = self->alive_;
    if (self->events_.serverReady) self->events_.serverReady();
    if (!*alive) return 0;
    auto queued = std::move(self->queued_);
    self->queued_.clear();
    for (auto& [notification, posted] : queued) self->send(notification, posted);
    return 0;
  }

  void send(const DesktopNotification& notification, const Posted& posted) {
    sd_bus_message* call = nullptr;
    int rc = sd_bus_message_new_method_call(bus_, &call, kService, kPath, kInterface, "Notify");
    if (rc >= 0) rc = appendNotify(call, notification);
    sd_bus_slot* slot = nullptr;
    PostCall* pending = nullptr;
    if (rc >= 0) {
      pending = new PostCall{this, alive_, posted};
      rc = sd_bus_call_async(bus_, &slot, call, &DBusNotifications::onPosted, pending, 0);
    }
    sd_bus_message_unref(call);
    if (rc < 0) {
      delete pending;
      writeLog(log_, "[Glimmet] banner post failed: " + errorText(rc));
      if (posted) posted(std::nullopt);
      return;
    }
    // The slot frees its call record when it goes. Slots are kept, not left floating: a call
    // still unanswered when the bus is closed would otherwise never be freed.
    sd_bus_slot_set_destroy_callback(slot, [](void* data) { delete static_cast<PostCall*>(data); });
    releaseAnsweredPosts();
    postSlots_.emplace_back(slot, pending);
    rearm();
  }

  int appendNotify(sd_bus_message* call, const DesktopNotification& notification) const {
    int rc = sd_bus_message_append(call, "susss", "Glimmet", uint32_t{0}, "",
                                   notification.title.c_str(), notification.body.c_str());
    if (rc < 0) return rc;
    if ((rc = sd_bus_message_open_container(call, 'a', "s")) < 0) return rc;
    if (supportsActions_) {
      for (const auto& [key, label] : notification.actions) {
        if ((rc = sd_bus_message_append(call, "ss", key.c_str(), label.c_str())) < 0) return rc;
      }
    }
    if ((rc = sd_bus_message_close_container(call)) < 0) return rc;
    if ((rc = sd_bus_message_open_container(call, 'a', "{sv}")) < 0) return rc;
    const uint8_t urgency = notification.urgent ? 2 : 1;
    if ((rc = sd_bus_message_append(call, "{sv}", "urgency", "y", urgency)) < 0) return rc;
    if (!notification.category.empty()) {
      rc = sd_bus_message_append(call, "{sv}", "category", "s", notification.category.c_str());
      if (rc < 0) return rc;
    }
    if (notification.resident) {
      if ((rc = sd_bus_message_append(call, "{sv}", "resident", "b", 1)) < 0) return rc;
    }
    if ((rc = sd_bus_message_close_container(call)) < 0) return rc;
    // A waiting request stays on screen until it is answered.
    return sd_bus_message_append(call, "i", notification.resident ? 0 : -1);
  }

  static int onPosted(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto* pending = static_cast<PostCall*>(userdata);
    if (!*pending->alive) return 0;
    std::optional<DesktopNotificationID> id;
    if (sd_bus_message_is_method_error(reply, nullptr)) {
      writeLog(pending->owner->log_,
               "[Glimmet] banner post failed: " + errorText(sd_bus_message_get_error(reply)));
    } else {
      uint32_t value = 0;
      if (sd_bus_message_read(reply, "u", &value) >= 0 && value != 0) id = value;
    }
    if (pending->posted) pending->posted(id);
    // Marked only now: whatever `posted` sent meanwhile must not release this slot while it runs.
    pending->answered = true;
    return 0;
  }

  void releaseAnsweredPosts() {
    std::erase_if(postSlots_, [](const auto& post) {
      if (!post.second->answered) return false;
      sd_bus_slot_unref(post.first);
      return true;
    });
  }

  static int onActionInvoked(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    auto* self = static_cast<DBusNotifications*>(userdata);
    uint32_t id = 0;
    const char* key = nullptr;
    if (sd_bus_message_read(signal, "us", &id, &key) < 0 || !key) return 0;
    if (self->events_.actionInvoked) self->events_.actionInvoked(id, key);
    return 0;
  }

  static int onClosed(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    auto* self = static_cast<DBusNotifications*>(userdata);
    uint32_t id = 0;
    if (sd_bus_message_read(signal, "u", &id) < 0) return 0;
    if (self->events_.closed) self->events_.closed(id);
    return 0;
  }

  static int onOwnerChanged(sd_bus_message* signal, void* userdata, sd_bus_error*) {
    auto* self = static_cast<DBusNotifications*>(userdata);
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(signal, "sss", &name, &oldOwner, &newOwner) < 0) return 0;
    if (newOwner && *newOwner) {
      // A (new) server: what it can show may differ, and it holds none of our notifications.
      if (self->state_ != State::asking) self->askCapabilities();
    } else {
      writeLog(self->log_, "[Glimmet] the notification server went away");
      if (self->state_ == State::ready) self->state_ = State::idle;
    }
    return 0;
  }

  static void onReadable(uv_poll_t* handle, int, int) {
    if (auto* self = static_cast<DBusNotifications*>(handle->data)) self->process();
  }

  static void onTimer(uv_timer_t* handle) {
    if (auto* self = static_cast<DBusNotifications*>(handle->data)) self->process();
  }

  void process() {
    if (!bus_) return;
    auto alive = alive_;
    int rc = 0;
    while ((rc = sd_bus_process(bus_, nullptr)) > 0) {
      if (!*alive || !bus_) return;
    }
    if (!*alive) return;
    if (rc < 0 || !sd_bus_is_open(bus_)) {
      lostConnection("the session bus connection was lost (" +
                     errorText(rc < 0 ? rc : -ECONNRESET) + ")");
      return;
    }
    rearm();
  }

  // Tells libuv what sd-bus waits for now: readable and/or writable, and its next deadline.
  void rearm() {
    if (!bus_ || !poll_) return;
    const int wanted = sd_bus_get_events(bus_);
    int events = 0;
    if (wanted > 0 && (wanted & POLLIN)) events |= UV_READABLE;
    if (wanted > 0 && (wanted & POLLOUT)) events |= UV_WRITABLE;
    uv_poll_start(poll_.get(), events, &DBusNotifications::onReadable);
    uint64_t deadline = 0;
    if (sd_bus_get_timeout(bus_, &deadline) >= 0 && deadline != UINT64_MAX) {
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      const uint64_t nowMicros = uint64_t(now.tv_sec) * 1000000u + uint64_t(now.tv_nsec) / 1000u;
      const uint64_t waitMillis = deadline > nowMicros ? (deadline - nowMicros + 999) / 1000 : 0;
      uv_timer_start(timer_.get(), &DBusNotifications::onTimer, waitMillis, 0);
    } else {
      uv_timer_stop(timer_.get());
    }
  }

  void failQueued(const std::string& reason) {
    writeLog(log_, "[Glimmet] banner post failed: " + reason);
    auto queued = std::move(queued_);
    queued_.clear();
    for (auto& entry : queued) {
      if (entry.second) entry.second(std::nullopt);
    }
  }

  void lostConnection(const std::string& reason) {
    disconnect();
    state_ = State::idle;
    // The same cause again (no bus at every retry) is logged once.
    if (reason != lastFailure_) {
      writeLog(log_,
               fmt::format("[Glimmet] desktop notifications unavailable: {}; retrying", reason));
    }
    lastFailure_ = reason;
    if (!queued_.empty()) failQueued(reason);
    auto alive = alive_;
    reconnect_ = loop_.schedule(Seconds(reconnectDelay_), [this, alive] {
      if (*alive) connect();
    });
    reconnectDelay_ = std::min(reconnectDelay_ * 2, kLongestReconnectSeconds);
  }

  void disconnect() {
    poll_.reset();
    timer_.reset();
    // Answered or not, each call's slot goes (and its record with it) before the bus does.
    for (const auto& [slot, pending] : postSlots_) sd_bus_slot_unref(slot);
    postSlots_.clear();
    if (bus_) {
      // Sends what is still queued (a last CloseNotification) before letting go.
      if (sd_bus_is_open(bus_) > 0) sd_bus_flush(bus_);
      bus_ = sd_bus_close_unref(bus_);
    }
  }

  MainLoop& loop_;
  DesktopNotificationEvents events_;
  LogSink log_;
  sd_bus* bus_ = nullptr;
  std::vector<std::pair<sd_bus_slot*, PostCall*>> postSlots_;
  UvHandle<uv_poll_t> poll_;
  UvHandle<uv_timer_t> timer_;
  State state_ = State::idle;
  bool supportsActions_ = true;
  std::deque<std::pair<DesktopNotification, Posted>> queued_;
  std::string lastFailure_;
  double reconnectDelay_ = kFirstReconnectSeconds;
  WorkItem reconnect_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace

std::unique_ptr<DesktopNotifications> makeDesktopNotifications(MainLoop& loop,
                                                               DesktopNotificationEvents events,
                                                               LogSink log) {
  return std::make_unique<DBusNotifications>(loop, std::move(events), std::move(log));
}

}  // namespace glimmet
