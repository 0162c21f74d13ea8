#include "platform/signals.hpp"

#include <uv.h>

#include <csignal>

namespace glimmet {

struct SignalWatcher::Impl {
  std::function<void()> onTerminate;
  uv_signal_t* interrupt = nullptr;
  uv_signal_t* terminate = nullptr;
};

namespace {

uv_signal_t* startSignal(uv_loop_t* loop, int signal, void* data) {
  auto* handle = new uv_signal_t();
  uv_signal_init(loop, handle);
  handle->data = data;
  uv_signal_start(
      handle,
      [](uv_signal_t* fired, int) {
        auto* impl = static_cast<SignalWatcher::Impl*>(fired->data);
        if (impl && impl->onTerminate) impl->onTerminate();
      },
      signal);
  // Watching for a signal must not keep the loop alive by itself.
  uv_unref(reinterpret_cast<uv_handle_t*>(handle));
  return handle;
}

void closeSignal(uv_signal_t* handle) {
  handle->data = nullptr;
  uv_signal_stop(handle);
  uv_close(reinterpret_cast<uv_handle_t*>(handle),
           [](uv_handle_t* closed) { delete reinterpret_cast<uv_signal_t*>(closed); });
}

}  // namespace

SignalWatcher::SignalWatcher(MainLoop& loop, std::function<void()> onTerminate)
    : impl_(std::make_unique<Impl>()) {
  std::signal(SIGPIPE, SIG_IGN);
  impl_->onTerminate = std::move(onTerminate);
  auto* uvLoop = static_cast<uv_loop_t*>(loop.nativeHandle());
  impl_->interrupt = startSignal(uvLoop, SIGINT, impl_.get());
  impl_->terminate = startSignal(uvLoop, SIGTERM, impl_.get());
}

SignalWatcher::~SignalWatcher() {
  closeSignal(impl_->interrupt);
  closeSignal(impl_->terminate);
}

}  // namespace glimmet
