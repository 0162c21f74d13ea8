#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "base/time.hpp"

namespace glimmet {

class MainLoop;

// A delayed piece of work on the main loop. Destroying or cancelling the handle before it
// fires means it never runs.
class WorkItem {
 public:
  WorkItem() = default;
  WorkItem(WorkItem&&) noexcept;
  WorkItem& operator=(WorkItem&&) noexcept;
  WorkItem(const WorkItem&) = delete;
  WorkItem& operator=(const WorkItem&) = delete;
  ~WorkItem();

  void cancel();
  bool isPending() const;

  struct Timer;  // opaque: defined by the platform implementation

 private:
  friend class MainLoop;
  explicit WorkItem(Timer* timer) : timer_(timer) {}
  Timer* timer_ = nullptr;
};

// The one event-loop thread. All interface state and the stores live here; other threads talk
// to it only through post().
class MainLoop {
 public:
  MainLoop();
  ~MainLoop();
  MainLoop(const MainLoop&) = delete;
  MainLoop& operator=(const MainLoop&) = delete;

  // Runs until stop() is called.
  void run();
  // Runs until `done` returns true (checked after every callback) or the timeout passes.
  // Returns whether `done` became true. For tests and command-line tools.
  bool runUntil(const std::function<bool()>& done, Seconds timeout);
  // Thread-safe.
  void stop();
  // Thread-safe: runs `work` on the loop thread soon, in posting order.
  void post(std::function<void()> work);

  // Loop thread only.
  [[nodiscard]] WorkItem schedule(Seconds delay, std::function<void()> work);
  // Loop thread only. The tolerance says how late the timer may fire; it is advisory.
  [[nodiscard]] WorkItem every(Seconds interval, Seconds tolerance, std::function<void()> work);

  // Host embedding: another run loop (AppKit's, or one that waits on an X11 connection) owns
  // the thread. It waits until backendDescriptor() is readable or timeoutMilliseconds() have
  // passed, then calls runOnce(). The first call to backendDescriptor() makes the calling thread
  // the loop thread.
  int backendDescriptor();
  // How long the host may sleep before runOnce() has timers to run; -1 when nothing is
  // scheduled, 0 when work is ready now.
  int timeoutMilliseconds() const;
  // Runs whatever is ready (posted work, I/O, due timers) without blocking.
  void runOnce();

  bool isLoopThread() const;
  // Handles still open on the loop besides its own wake-up handle; 0 once every owner is gone
  // and the loop has run its close callbacks. For tests and diagnostics.
  size_t openHandleCount();
  // The libuv loop, for the platform implementations; opaque to the core.
  void* nativeHandle();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace glimmet
