#include "platform/process_exit_watcher.hpp"

#include <uv.h>

#include <optional>
#include <utility>

#include "base/log.hpp"
#include "platform/posix/exit_descriptor.hpp"
#include "platform/posix/polled_fd.hpp"
#include "platform/posix/process_exit_polling.hpp"
#include "platform/posix_error.hpp"

namespace glimmet {

struct ProcessExitWatcher::Impl {
  MainLoop& loop;
  int pid;
  std::function<void()> onExit;
  LogSink log;
  PolledFd exitPoll;
  std::optional<ProcessExitPoller> poller;
  WorkItem alreadyGone;

  Impl(MainLoop& mainLoop, int processID, std::function<void()> callback, LogSink logger)
      : loop(mainLoop), pid(processID), onExit(std::move(callback)), log(std::move(logger)) {}

  void diagnose(const std::string& line) { writeLog(log, line); }

  // Called at most once; the callback may destroy the watcher, so nothing runs after it.
  void fire() {
    auto notify = std::move(onExit);
    onExit = nullptr;
    if (notify) notify();
  }

  void startPolling() {
    poller.emplace(loop, pid, [this] { fire(); });
  }

  // False when the kernel cannot notify here; the caller then polls.
  bool startExitDescriptor() {
    ExitDescriptor exit = openExitDescriptor(pid);
    if (exit.alreadyExited) {
      alreadyGone = loop.schedule(Seconds(0), [this] { fire(); });
      return true;
    }
    if (!exit.fd.valid()) {
      if (exit.failure) {
        diagnose("[Glimmet] " + exit.failure->description() + "; polling for the agent's exit");
      }
      return false;
    }
    auto* uvLoop = static_cast<uv_loop_t*>(loop.nativeHandle());
    const int rc = glimmet::startPolling(exitPoll, uvLoop, std::move(exit.fd), UV_READABLE, this,
                                         [](uv_poll_t* handle, int, int) {
                                           auto* self = static_cast<Impl*>(handle->data);
                                           if (!self) return;
                                           self->exitPoll.reset();
                                           self->fire();
                                         });
    if (rc == 0) return true;
    diagnose("[Glimmet] " +
             POSIXError{-rc, std::string("uv_poll ") + kExitDescriptorName}.description() +
             "; polling for the agent's exit");
    return false;
  }
};

ProcessExitWatcher::ProcessExitWatcher(MainLoop& loop, int pid, std::function<void()> onExit,
                                       ProcessExitStrategy strategy, LogSink log)
    : impl_(std::make_unique<Impl>(loop, pid, std::move(onExit), std::move(log))) {
  if (pid <= 0) return;
  if (strategy == ProcessExitStrategy::automatic && impl_->startExitDescriptor()) return;
  impl_->startPolling();
}

ProcessExitWatcher::~ProcessExitWatcher() = default;

bool ProcessExitWatcher::usesKernelNotification() const {
  return static_cast<bool>(impl_->exitPoll);
}

}  // namespace glimmet
