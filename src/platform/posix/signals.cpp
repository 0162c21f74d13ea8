#include "platform/signals.hpp"

#include <uv.h>

#include <csignal>

#include "base/log.hpp"
#include "platform/posix/uv_handle.hpp"
#include "platform/posix_error.hpp"

namespace glimmet {

struct SignalWatcher::Impl {
  std::function<void()> onTerminate;
  UvHandle<uv_signal_t> interrupt;
  UvHandle<uv_signal_t> terminate;
};

namespace {

void startSignal(UvHandle<uv_signal_t>& handle, uv_loop_t* loop, int signal, void* data) {
  const int rc = handle.init([&](uv_signal_t* watcher) {
    int result = uv_signal_init(loop, watcher);
    if (result != 0) return result;
    watcher->data = data;
    result = uv_signal_start(
        watcher,
        [](uv_signal_t* fired, int) {
          auto* impl = static_cast<SignalWatcher::Impl*>(fired->data);
          if (impl && impl->onTerminate) impl->onTerminate();
        },
        signal);
    // Watching for a signal must not keep the loop alive by itself.
    if (result == 0) uv_unref(reinterpret_cast<uv_handle_t*>(watcher));
    return result;
  });
  if (rc != 0) {
    writeLog({}, "[Glimmet] " + POSIXError{-rc, "uv_signal_start"}.description());
  }
}

}  // namespace

SignalWatcher::SignalWatcher(MainLoop& loop, std::function<void()> onTerminate)
    : impl_(std::make_unique<Impl>()) {
  std::signal(SIGPIPE, SIG_IGN);
  impl_->onTerminate = std::move(onTerminate);
  auto* uvLoop = static_cast<uv_loop_t*>(loop.nativeHandle());
  startSignal(impl_->interrupt, uvLoop, SIGINT, impl_.get());
  startSignal(impl_->terminate, uvLoop, SIGTERM, impl_.get());
}

SignalWatcher::~SignalWatcher() = default;

}  // namespace glimmet
