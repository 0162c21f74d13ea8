#pragma once

#include <cstdio>
#include <memory>

#include "app/core.hpp"
#include "app/notification_banners.hpp"
#include "ui/console_front_end.hpp"

namespace glimmet {

// Glimmet on the console alone: the core with the console front end.
class ConsoleApplication {
 public:
  ConsoleApplication(Environment environment, std::FILE* console, int commandInput = 0);
  ~ConsoleApplication();

  // Starts the core and runs until stop() or a termination signal; 0 then. Returns 1 at once,
  // with the cause on standard error, when the core refuses to start (another instance owns
  // the socket, or its path cannot be used).
  int run();
  // Thread-safe.
  void stop();

  MainLoop& loop() { return core_->loop(); }
  Core& core() { return *core_; }

 private:
  LogSink log_;
  std::unique_ptr<Core> core_;
  std::unique_ptr<ConsoleFrontEnd> frontEnd_;
  // Not in an isolated run: tests and fixtures stay off the user's desktop.
  std::unique_ptr<NotificationBanners> banners_;
};

}  // namespace glimmet
