#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/core.hpp"
#include "app/notification_banners.hpp"
#include "app/sound_alerts.hpp"
#include "platform/signals.hpp"
#include "ui/console_front_end.hpp"
#include "ui/overlay/overlay_controller.hpp"

namespace glimmet {

// Glimmet with its face: the core, the overlay windows and, when asked, the console front end
// beside them.
class OverlayApplication {
 public:
  OverlayApplication(const Environment& environment, std::FILE* console, bool withConsole,
                     int commandInput = 0);
  ~OverlayApplication();

  // Connects to the window system; false, with the reason, when there is none to show on.
  bool connect(std::string* error);
  // Starts the core and the overlay and runs until stop(), a termination signal, Quit in the
  // panel or the loss of the window system. 0 on a stop asked for, 1 when the core refuses to
  // start or the window system went away (with one line on standard error).
  int run();
  // run() in two halves, for a host whose own run loop drives the main loop: launch() starts
  // everything (1 when the core refuses to start, with everything shut down again), finish()
  // shuts it down after the loop and returns run()'s result.
  std::optional<int> launch();
  int finish();
  // Thread-safe.
  void stop();
  // For such a host: stop() runs `stopLoop` on the loop thread instead of stopping the loop.
  void setLoopStopper(std::function<void()> stopLoop) { stopLoop_ = std::move(stopLoop); }

  Core& core() { return *core_; }

 private:
  std::FILE* console_;
  Environment environment_;
  LogSink log_;
  std::unique_ptr<Core> core_;
  std::unique_ptr<OverlayController> overlay_;
  // Not in an isolated run: tests and fixtures stay off the user's desktop.
  std::unique_ptr<NotificationBanners> banners_;
  std::unique_ptr<ConsoleFrontEnd> consoleFrontEnd_;
  std::unique_ptr<SoundAlerts> soundAlerts_;
  std::unique_ptr<SignalWatcher> signals_;
  std::function<void()> stopLoop_;
  std::string failure_;
};

// The overlay's first mode: GLIMMET_START_SETTINGS=1 the settings, GLIMMET_START_EXPANDED=1 the
// panel, else the capsule.
OverlayMode startMode(const Environment& environment);

}  // namespace glimmet
