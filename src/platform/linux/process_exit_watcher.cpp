#include "platform/process_exit_watcher.hpp"

#include <sys/syscall.h>
#include <unistd.h>
#include <uv.h>

#include <cerrno>
#include <cstdio>
#include <optional>

#include "platform/posix/process_exit_polling.hpp"
#include "platform/socket_server.hpp"

#ifndef SYS_pidfd_open
#define SYS_pidfd_open 434  // the same number on every Linux architecture
#endif

namespace glimmet {

namespace {

// A pidfd turns readable when its process exits; libuv watches it like a socket.
struct PidfdPoll {
  uv_poll_t handle{};
  int fd = -1;
};

void closePidfdPoll(PidfdPoll* poll) {
  uv_poll_stop(&poll->handle);
  poll->handle.data = nullptr;
  uv_close(reinterpret_cast<uv_handle_t*>(&poll->handle), [](uv_handle_t* handle) {
    auto* closed = reinterpret_cast<PidfdPoll*>(handle);
    ::close(closed->fd);
    delete closed;
  });
}

}  // namespace

struct ProcessExitWatcher::Impl {
  MainLoop& loop;
  int pid;
  std::function<void()> onExit;
  Logger log;
  PidfdPoll* pidfd = nullptr;
  std::optional<ProcessExitPoller> poller;
  WorkItem alreadyGone;

  Impl(MainLoop& mainLoop, int processID, std::function<void()> callback, Logger logger)
      : loop(mainLoop), pid(processID), onExit(std::move(callback)), log(std::move(logger)) {}

  ~Impl() {
    if (pidfd) closePidfdPoll(pidfd);
  }

  void diagnose(const std::string& line) {
    if (log) {
      log(line);
    } else {
      std::fprintf(stderr, "%s\n", line.c_str());
    }
  }

  // Called at most once; the callback may destroy the watcher, so nothing runs after it.
  void fire() {
    auto notify = std::move(onExit);
    onExit = nullptr;
    if (notify) notify();
  }

  void startPolling() {
    poller.emplace(loop, pid, [this] { fire(); });
  }

  // False when pidfd is not available here; the caller then polls.
  bool startPidfd() {
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd < 0) {
      const int error = errno;
      if (error == ESRCH) {
        alreadyGone = loop.schedule(Seconds(0), [this] { fire(); });
        return true;
      }
      // ENOSYS on kernels before 5.3, EPERM under some sandboxes: polling still works.
      if (error != ENOSYS) {
        diagnose("[Glimmet] " + POSIXError{error, "pidfd_open"}.description() +
                 "; polling for the agent's exit");
      }
      return false;
    }
    auto* poll = new PidfdPoll();
    poll->fd = static_cast<int>(fd);
    auto* uvLoop = static_cast<uv_loop_t*>(loop.nativeHandle());
    int rc = uv_poll_init(uvLoop, &poll->handle, poll->fd);
    if (rc == 0) {
      poll->handle.data = this;
      rc = uv_poll_start(&poll->handle, UV_READABLE, [](uv_poll_t* handle, int, int) {
        auto* self = static_cast<Impl*>(handle->data);
        if (!self) return;
        closePidfdPoll(self->pidfd);
        self->pidfd = nullptr;
        self->fire();
      });
      if (rc == 0) {
        pidfd = poll;
        return true;
      }
      closePidfdPoll(poll);
    } else {
      ::close(poll->fd);
      delete poll;
    }
    diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll pidfd"}.description() +
             "; polling for the agent's exit");
    return false;
  }
};

ProcessExitWatcher::ProcessExitWatcher(MainLoop& loop, int pid, std::function<void()> onExit,
                                       ProcessExitStrategy strategy, Logger log)
    : impl_(std::make_unique<Impl>(loop, pid, std::move(onExit), std::move(log))) {
  if (pid <= 0) return;
  if (strategy == ProcessExitStrategy::automatic && impl_->startPidfd()) return;
  impl_->startPolling();
}

ProcessExitWatcher::~ProcessExitWatcher() = default;

bool ProcessExitWatcher::usesKernelNotification() const {
  return impl_->pidfd != nullptr;
}

}  // namespace glimmet
