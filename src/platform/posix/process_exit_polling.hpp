#pragma once

#include <functional>

#include "platform/main_loop.hpp"

namespace glimmet {

// The fallback shared by the per-OS watchers: asks processHasExited twice a second.
class ProcessExitPoller {
 public:
  static constexpr double kIntervalSeconds = 0.5;

  ProcessExitPoller(MainLoop& loop, int pid, std::function<void()> onExit);

 private:
  WorkItem timer_;
};

}  // namespace glimmet
