#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/main_loop.hpp"
#include "platform/process_exit_watcher.hpp"

namespace glimmet {

// Watches the agent behind a waiting request: `onExit` runs at most once, on the main loop,
// and never after cancel().
class AgentPIDWatcher {
 public:
  AgentPIDWatcher(MainLoop& loop, int32_t pid, std::function<void()> onExit,
                  ProcessExitStrategy strategy = ProcessExitStrategy::automatic, LogSink log = {});
  void cancel();
  bool fired() const { return fired_; }

 private:
  bool fired_ = false;
  std::function<void()> onExit_;
  std::unique_ptr<ProcessExitWatcher> source_;
};

}  // namespace glimmet
