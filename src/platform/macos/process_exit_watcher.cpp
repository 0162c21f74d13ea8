#include "platform/process_exit_watcher.hpp"

#include <sys/event.h>
#include <unistd.h>
#include <uv.h>

#include <cerrno>
#include <cstdio>
#include <optional>

#include "platform/posix/process_exit_polling.hpp"
#include "platform/socket_server.hpp"

namespace glimmet {

namespace {

// A kqueue holding one EVFILT_PROC/NOTE_EXIT filter turns readable when the process exits.
struct KqueuePoll {
  uv_poll_t handle{};
  int fd = -1;
};

void closeKqueuePoll(KqueuePoll* poll) {
  uv_poll_stop(&poll->handle);
  poll->handle.data = nullptr;
  uv_close(reinterpret_cast<uv_handle_t*>(&poll->handle), [](uv_handle_t* handle) {
    auto* closed = reinterpret_cast<KqueuePoll*>(handle);
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
  KqueuePoll* queue = nullptr;
  std::optional<ProcessExitPoller> poller;
  WorkItem alreadyGone;

  Impl(MainLoop& mainLoop, int processID, std::function<void()> callback, Logger logger)
      : loop(mainLoop), pid(processID), onExit(std::move(callback)), log(std::move(logger)) {}

  ~Impl() {
    if (queue) closeKqueuePoll(queue);
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

  bool startKqueue() {
    const int fd = ::kqueue();
    if (fd < 0) {
      diagnose("[Glimmet] " + POSIXError{errno, "kqueue"}.description() +
               "; polling for the agent's exit");
      return false;
    }
    struct kevent change {};
    EV_SET(&change, pid, EVFILT_PROC, EV_ADD | EV_ONESHOT, NOTE_EXIT, 0, nullptr);
    if (::kevent(fd, &change, 1, nullptr, 0, nullptr) != 0) {
      const int error = errno;
      ::close(fd);
      if (error == ESRCH) {
        alreadyGone = loop.schedule(Seconds(0), [this] { fire(); });
        return true;
      }
      diagnose("[Glimmet] " + POSIXError{error, "kevent EVFILT_PROC"}.description() +
               "; polling for the agent's exit");
      return false;
    }
    auto* poll = new KqueuePoll();
    poll->fd = fd;
    auto* uvLoop = static_cast<uv_loop_t*>(loop.nativeHandle());
    int rc = uv_poll_init(uvLoop, &poll->handle, fd);
    if (rc == 0) {
      poll->handle.data = this;
      rc = uv_poll_start(&poll->handle, UV_READABLE, [](uv_poll_t* handle, int, int) {
        auto* self = static_cast<Impl*>(handle->data);
        if (!self) return;
        closeKqueuePoll(self->queue);
        self->queue = nullptr;
        self->fire();
      });
      if (rc == 0) {
        queue = poll;
        return true;
      }
      closeKqueuePoll(poll);
    } else {
      ::close(fd);
      delete poll;
    }
    diagnose("[Glimmet] " + POSIXError{-rc, "uv_poll kqueue"}.description() +
             "; polling for the agent's exit");
    return false;
  }
};

ProcessExitWatcher::ProcessExitWatcher(MainLoop& loop, int pid, std::function<void()> onExit,
                                       ProcessExitStrategy strategy, Logger log)
    : impl_(std::make_unique<Impl>(loop, pid, std::move(onExit), std::move(log))) {
  if (pid <= 0) return;
  if (strategy == ProcessExitStrategy::automatic && impl_->startKqueue()) return;
  impl_->startPolling();
}

ProcessExitWatcher::~ProcessExitWatcher() = default;

bool ProcessExitWatcher::usesKernelNotification() const {
  return impl_->queue != nullptr;
}

}  // namespace glimmet
