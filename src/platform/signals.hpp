#pragma once

#include <functional>
#include <memory>

#include "platform/main_loop.hpp"

namespace glimmet {

// Calls `onTerminate` on the main loop when the process gets SIGINT or SIGTERM, for as long as
// the watcher lives. Also makes SIGPIPE harmless for the whole process.
class SignalWatcher {
 public:
  SignalWatcher(MainLoop& loop, std::function<void()> onTerminate);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

  struct Impl;  // opaque: defined by the platform implementation

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace glimmet
