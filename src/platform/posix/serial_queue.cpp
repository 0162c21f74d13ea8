#include "platform/serial_queue.hpp"

#include <pthread.h>

#include <algorithm>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#elif defined(__APPLE__)
#include <pthread/qos.h>
#endif

namespace glimmet {

namespace {

// Queue work is background work: its results wait for the loop anyway. When both are ready to
// run on a busy machine, the loop (and with it every redraw) goes first.
void lowerThisThreadsPriority() {
#if defined(__linux__)
  // On Linux a thread is scheduled on its own, and its id stands for it here. Ten steps nicer
  // than the thread that made it (19 is the nicest there is).
  constexpr int kBackgroundSteps = 10;
  constexpr int kNicest = 19;
  const auto thread = static_cast<id_t>(gettid());
  const int nice = getpriority(PRIO_PROCESS, thread);
  setpriority(PRIO_PROCESS, thread, std::min(nice + kBackgroundSteps, kNicest));
#elif defined(__APPLE__)
  pthread_set_qos_class_self_np(QOS_CLASS_UTILITY, 0);
#endif
}

}  // namespace

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
  lowerThisThreadsPriority();
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
