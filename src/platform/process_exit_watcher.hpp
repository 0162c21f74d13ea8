#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/log.hpp"
#include "platform/main_loop.hpp"

namespace glimmet {

enum class ProcessExitStrategy {
  automatic,  // the kernel's exit notification (pidfd, kqueue), polling where there is none
  polling,    // look for the process twice a second
};

// Calls `onExit` once, on the main loop, when process `pid` has exited (soon after creation if
// it is already gone). Destroying the watcher stops watching; `onExit` may destroy it. Loop
// thread only. A pid of 0 or below names no single process and is never reported.
class ProcessExitWatcher {
 public:
  ProcessExitWatcher(MainLoop& loop, int pid, std::function<void()> onExit,
                     ProcessExitStrategy strategy = ProcessExitStrategy::automatic,
                     LogSink log = {});
  ~ProcessExitWatcher();
  ProcessExitWatcher(const ProcessExitWatcher&) = delete;
  ProcessExitWatcher& operator=(const ProcessExitWatcher&) = delete;

  // Whether the kernel notifies (false: polling).
  bool usesKernelNotification() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Whether `pid` no longer runs: gone, or a zombie waiting for its parent.
bool processHasExited(int pid);

}  // namespace glimmet
