#include "platform/serial_queue.hpp"

#if defined(__linux__)
#include <pthread.h>
#endif

namespace glimmet {

SerialQueue::SerialQueue(std::string label, MainLoop& loop)
    : label_(std::move(label)), loop_(loop), thread_([this] { runJobs(); }) {}

SerialQueue::~SerialQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void SerialQueue::async(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void SerialQueue::runJobs() {
#if defined(__linux__)
  // Thread names are limited to 15 characters; the tail of the label is the telling part.
  const std::string name = label_.size() > 15 ? label_.substr(label_.size() - 15) : label_;
  pthread_setname_np(pthread_self(), name.c_str());
#elif defined(__APPLE__)
  pthread_setname_np(label_.c_str());
#endif
  while (true) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

}  // namespace glimmet
