#include "approvals/agent_pid_watcher.hpp"

namespace glimmet {

AgentPIDWatcher::AgentPIDWatcher(MainLoop& loop, int32_t pid, std::function<void()> onExit,
                                 ProcessExitStrategy strategy, LogSink log)
    : onExit_(std::move(onExit)) {
  source_ = std::make_unique<ProcessExitWatcher>(
      loop, pid,
      [this] {
        if (fired_) return;
        fired_ = true;
        // The callback usually cancels and destroys this watcher: keep it alive for the call.
        auto notify = std::move(onExit_);
        notify();
      },
      strategy, std::move(log));
}

void AgentPIDWatcher::cancel() {
  fired_ = true;
  onExit_ = nullptr;
  source_.reset();
}

}  // namespace glimmet
