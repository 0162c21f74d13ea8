#include "platform/main_loop.hpp"

#include <uv.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <thread>

namespace glimmet {

struct WorkItem::Timer {
  uv_timer_t handle{};
  std::function<void()> work;
  bool repeating = false;
  bool owned = true;  // a WorkItem still refers to it
  bool fired = false;
};

namespace {

// Whole milliseconds for libuv; negative delays fire at once and absurd ones (a request asking
// to wait for centuries) are capped rather than overflowing.
uint64_t timerMilliseconds(Seconds delay) {
  constexpr double kLongestMilliseconds = 1e12;  // about 31 years
  return static_cast<uint64_t>(
      std::llround(std::clamp(delay.count() * 1000.0, 0.0, kLongestMilliseconds)));
}

void closeTimer(WorkItem::Timer* timer) {
  uv_timer_stop(&timer->handle);
  uv_close(reinterpret_cast<uv_handle_t*>(&timer->handle),
           [](uv_handle_t* handle) { delete static_cast<WorkItem::Timer*>(handle->data); });
}

}  // namespace

WorkItem::WorkItem(WorkItem&& other) noexcept : timer_(other.timer_) {
  other.timer_ = nullptr;
}

WorkItem& WorkItem::operator=(WorkItem&& other) noexcept {
  if (this != &other) {
    cancel();
    timer_ = other.timer_;
    other.timer_ = nullptr;
  }
  return *this;
}

WorkItem::~WorkItem() {
  cancel();
}

void WorkItem::cancel() {
  if (!timer_) return;
  Timer* timer = timer_;
  timer_ = nullptr;
  timer->owned = false;
  if (!uv_is_closing(reinterpret_cast<uv_handle_t*>(&timer->handle))) closeTimer(timer);
}

bool WorkItem::isPending() const {
  return timer_ && (timer_->repeating || !timer_->fired);
}

struct MainLoop::Impl {
  uv_loop_t loop{};
  uv_async_t wake{};
  std::mutex mutex;
  std::deque<std::function<void()>> posted;
  std::thread::id loopThread = std::this_thread::get_id();
  const std::function<bool()>* done = nullptr;
  // A host loop drives this one: the wake-up handle stays referenced so that the backend
  // timeout reflects posted work and timers instead of "nothing to wait for".
  bool hosted = false;

  void drainPosted() {
    std::deque<std::function<void()>> batch;
    {
      std::lock_guard lock(mutex);
      batch.swap(posted);
    }
    for (auto& work : batch) {
      work();
      checkDone();
    }
  }

  void checkDone() {
    if (done && (*done)()) uv_stop(&loop);
  }
};

MainLoop::MainLoop() : impl_(std::make_unique<Impl>()) {
  uv_loop_init(&impl_->loop);
  impl_->loop.data = impl_.get();
  uv_async_init(&impl_->loop, &impl_->wake,
                [](uv_async_t* async) { static_cast<Impl*>(async->data)->drainPosted(); });
  impl_->wake.data = impl_.get();
  // The wake-up handle alone must not keep run() alive.
  uv_unref(reinterpret_cast<uv_handle_t*>(&impl_->wake));
}

MainLoop::~MainLoop() {
  uv_close(reinterpret_cast<uv_handle_t*>(&impl_->wake), nullptr);
  // Let every pending close callback run so that no handle memory leaks.
  uv_walk(
      &impl_->loop,
      [](uv_handle_t* handle, void*) {
        if (!uv_is_closing(handle)) uv_close(handle, nullptr);
      },
      nullptr);
  while (uv_run(&impl_->loop, UV_RUN_NOWAIT) != 0) {
  }
  uv_loop_close(&impl_->loop);
}

void MainLoop::run() {
  impl_->loopThread = std::this_thread::get_id();
  uv_ref(reinterpret_cast<uv_handle_t*>(&impl_->wake));
  uv_run(&impl_->loop, UV_RUN_DEFAULT);
  if (!impl_->hosted) uv_unref(reinterpret_cast<uv_handle_t*>(&impl_->wake));
}

int MainLoop::backendDescriptor() {
  if (!impl_->hosted) {
    impl_->hosted = true;
    impl_->loopThread = std::this_thread::get_id();
    uv_ref(reinterpret_cast<uv_handle_t*>(&impl_->wake));
  }
  return uv_backend_fd(&impl_->loop);
}

int MainLoop::timeoutMilliseconds() const {
  return uv_backend_timeout(&impl_->loop);
}

void MainLoop::runOnce() {
  uv_run(&impl_->loop, UV_RUN_NOWAIT);
}

bool MainLoop::runUntil(const std::function<bool()>& done, Seconds timeout) {
  impl_->loopThread = std::this_thread::get_id();
  impl_->drainPosted();
  if (done()) return true;
  bool timedOut = false;
  WorkItem deadline = schedule(timeout, [&] {
    timedOut = true;
    uv_stop(&impl_->loop);
  });
  impl_->done = &done;
  uv_ref(reinterpret_cast<uv_handle_t*>(&impl_->wake));
  // Every callback that could change the answer runs inside uv_run; check between iterations.
  while (!timedOut && !done()) {
    uv_run(&impl_->loop, UV_RUN_ONCE);
  }
  if (!impl_->hosted) uv_unref(reinterpret_cast<uv_handle_t*>(&impl_->wake));
  impl_->done = nullptr;
  return done();
}

void MainLoop::stop() {
  post([this] { uv_stop(&impl_->loop); });
}

void MainLoop::post(std::function<void()> work) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->posted.push_back(std::move(work));
  }
  uv_async_send(&impl_->wake);
}

WorkItem MainLoop::schedule(Seconds delay, std::function<void()> work) {
  auto* timer = new WorkItem::Timer();
  timer->work = std::move(work);
  uv_timer_init(&impl_->loop, &timer->handle);
  timer->handle.data = timer;
  // libuv counts from the time cached at the start of the loop iteration; a callback that ran
  // for a while would otherwise get its delay shortened by that long, down to nothing.
  uv_update_time(&impl_->loop);
  const uint64_t ms = timerMilliseconds(delay);
  uv_timer_start(
      &timer->handle,
      [](uv_timer_t* handle) {
        auto* fired = static_cast<WorkItem::Timer*>(handle->data);
        fired->fired = true;
        // Keep the work alive even if it cancels its own handle.
        auto work = fired->work;
        if (!fired->owned) {
          closeTimer(fired);
          return;
        }
        work();
      },
      ms, 0);
  return WorkItem(timer);
}

WorkItem MainLoop::every(Seconds interval, Seconds /*tolerance*/, std::function<void()> work) {
  auto* timer = new WorkItem::Timer();
  timer->work = std::move(work);
  timer->repeating = true;
  uv_timer_init(&impl_->loop, &timer->handle);
  timer->handle.data = timer;
  uv_update_time(&impl_->loop);  // as in schedule(): the first tick counts from now
  const auto ms = std::max<uint64_t>(1, timerMilliseconds(interval));
  uv_timer_start(
      &timer->handle,
      [](uv_timer_t* handle) {
        auto* fired = static_cast<WorkItem::Timer*>(handle->data);
        auto work = fired->work;
        work();
      },
      ms, ms);
  return WorkItem(timer);
}

bool MainLoop::isLoopThread() const {
  return std::this_thread::get_id() == impl_->loopThread;
}

size_t MainLoop::openHandleCount() {
  // Let pending close callbacks run first.
  uv_run(&impl_->loop, UV_RUN_NOWAIT);
  struct Count {
    const uv_handle_t* wake;
    size_t open = 0;
  } count{reinterpret_cast<const uv_handle_t*>(&impl_->wake)};
  uv_walk(
      &impl_->loop,
      [](uv_handle_t* handle, void* argument) {
        auto* counting = static_cast<Count*>(argument);
        if (handle != counting->wake && !uv_is_closing(handle)) ++counting->open;
      },
      &count);
  return count.open;
}

void* MainLoop::nativeHandle() {
  return &impl_->loop;
}

}  // namespace glimmet
