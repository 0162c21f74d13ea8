#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/main_loop.hpp"

namespace glimmet {

// A background worker that runs its jobs one after another, in order. Results travel back to
// the main loop through MainLoop::post.
class SerialQueue {
 public:
  SerialQueue(std::string label, MainLoop& loop);
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  const std::string& label() const { return label_; }
  MainLoop& loop() { return loop_; }

  // Any thread.
  void async(std::function<void()> job);

  // Runs `work` here, then `apply(result)` on the main loop.
  template <class Work, class Apply>
  void asyncThen(Work work, Apply apply) {
    async([this, work = std::move(work), apply = std::move(apply)]() mutable {
      auto result = work();
      loop_.post([apply = std::move(apply), result = std::move(result)]() mutable {
        apply(std::move(result));
      });
    });
  }

 private:
  void runJobs();

  std::string label_;
  MainLoop& loop_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace glimmet
