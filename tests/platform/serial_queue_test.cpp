// A serial queue with its real worker thread, handing results back to a real main loop.

#include "platform/serial_queue.hpp"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace glimmet {
namespace {

constexpr Seconds kQueueDeadline{10.0};

TEST(SerialQueueTest, RunsJobsOneAtATimeInOrderOffTheLoopThread) {
  MainLoop loop;
  SerialQueue queue("app.glimmet.test-serial", loop);

  std::mutex mutex;
  std::vector<int> order;
  std::set<std::thread::id> threads;
  std::atomic<int> running{0};
  std::atomic<int> maxRunning{0};
  bool anyOnLoopThread = false;
  constexpr int kJobs = 200;
  for (int i = 0; i < kJobs; ++i) {
    queue.async([&, i] {
      const int now = ++running;
      int seen = maxRunning.load();
      while (now > seen && !maxRunning.compare_exchange_weak(seen, now)) {
      }
      // A little work, so that overlapping jobs would be noticed.
      if (i % 20 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      {
        std::lock_guard lock(mutex);
        order.push_back(i);
        threads.insert(std::this_thread::get_id());
        anyOnLoopThread = anyOnLoopThread || loop.isLoopThread();
      }
      --running;
      // runUntil re-checks its condition only after a callback on the loop.
      loop.post([] {});
    });
  }
  ASSERT_TRUE(loop.runUntil(
      [&] {
        std::lock_guard lock(mutex);
        return order.size() == kJobs;
      },
      kQueueDeadline));

  std::lock_guard lock(mutex);
  for (int i = 0; i < kJobs; ++i) ASSERT_EQ(order[i], i);
  EXPECT_EQ(maxRunning.load(), 1) << "two jobs ran at the same time";
  EXPECT_EQ(threads.size(), 1u);
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
  EXPECT_FALSE(anyOnLoopThread);
}

TEST(SerialQueueTest, AsyncThenAppliesResultsOnTheLoopThreadInOrder) {
  MainLoop loop;
  SerialQueue queue("app.glimmet.test-then", loop);
  struct Applied {
    int value;
    std::thread::id workThread;
    bool onLoopThread;
  };
  std::vector<Applied> applied;
  constexpr int kJobs = 50;
  for (int i = 0; i < kJobs; ++i) {
    queue.asyncThen([i] { return std::make_pair(i * i, std::this_thread::get_id()); },
                    [&](std::pair<int, std::thread::id> result) {
                      applied.push_back({result.first, result.second, loop.isLoopThread()});
                    });
  }
  ASSERT_TRUE(loop.runUntil([&] { return applied.size() == kJobs; }, kQueueDeadline));
  for (int i = 0; i < kJobs; ++i) {
    EXPECT_EQ(applied[i].value, i * i);
    EXPECT_NE(applied[i].workThread, std::this_thread::get_id());
    EXPECT_TRUE(applied[i].onLoopThread);
  }
}

#if defined(__linux__)
// The worker yields to the loop on a busy machine: it runs ten steps nicer than the thread that
// made it, which keeps its own priority.
TEST(SerialQueueTest, WorkersRunAtBackgroundPriority) {
  MainLoop loop;
  const int loopNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  SerialQueue queue("app.glimmet.test-nice", loop);
  std::optional<int> workerNice;
  queue.asyncThen([] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); },
                  [&](int nice) { workerNice = nice; });
  ASSERT_TRUE(loop.runUntil([&] { return workerNice.has_value(); }, kQueueDeadline));
  // Nice values stop at 19.
  EXPECT_EQ(*workerNice, std::min(loopNice + 10, 19));
  EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), loopNice);
}
#endif

}  // namespace
}  // namespace glimmet
