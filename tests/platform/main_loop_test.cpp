// The main loop for real: libuv timers and cross-thread wake-ups, measured with the wall clock.

#include "platform/main_loop.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace glimmet {
namespace {

using SteadyClock = std::chrono::steady_clock;

double millisecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// Deadlines are seconds long so that a busy machine only slows the tests down.
constexpr Seconds kLoopDeadline{10.0};

// Lets the loop run for `duration` with nothing to wait for; used only to show that something
// does NOT happen, which no condition can signal.
void runFor(MainLoop& loop, Seconds duration) {
  EXPECT_FALSE(loop.runUntil([] { return false; }, duration));
}

TEST(MainLoopTest, PostsFromManyThreadsAllArriveInOrderPerThreadOnTheLoopThread) {
  MainLoop loop;
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  std::vector<std::vector<int>> received(kThreads);
  int total = 0;
  bool allOnLoopThread = true;

  // A post made before the loop first runs is delivered by that run, ahead of the rest.
  bool early = false;
  loop.post([&] { early = total == 0; });

  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kPerThread; ++i) {
        loop.post([&, t, i] {
          allOnLoopThread = allOnLoopThread && loop.isLoopThread();
          received[t].push_back(i);
          ++total;
        });
      }
    });
  }
  go = true;
  const bool done = loop.runUntil([&] { return total == kThreads * kPerThread; }, kLoopDeadline);
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(done) << "received " << total;

  EXPECT_TRUE(allOnLoopThread);
  EXPECT_TRUE(early);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(received[t].size(), static_cast<size_t>(kPerThread)) << "thread " << t;
    for (int i = 0; i < kPerThread; ++i) {
      ASSERT_EQ(received[t][i], i) << "thread " << t << " out of order";
    }
  }
  // Nothing extra arrives later.
  runFor(loop, Seconds(0.05));
  EXPECT_EQ(total, kThreads * kPerThread);
}

TEST(MainLoopTest, ScheduledWorkFiresOnceAfterItsDelay) {
  MainLoop loop;
  int fired = 0;
  double firedAfterMs = 0;
  const auto start = SteadyClock::now();
  WorkItem item = loop.schedule(Seconds(0.15), [&] {
    ++fired;
    firedAfterMs = millisecondsSince(start);
  });
  EXPECT_TRUE(item.isPending());
  ASSERT_TRUE(loop.runUntil([&] { return fired > 0; }, kLoopDeadline));
  // libuv rounds to its cached millisecond clock, which may lag the real one slightly.
  EXPECT_GE(firedAfterMs, 140.0);
  EXPECT_FALSE(item.isPending());

  runFor(loop, Seconds(0.3));
  EXPECT_EQ(fired, 1) << "a one-shot timer fired again";

  // Several timers fire in the order of their deadlines, not of their scheduling.
  std::vector<int> order;
  WorkItem late = loop.schedule(Seconds(0.12), [&] { order.push_back(3); });
  WorkItem early = loop.schedule(Seconds(0.02), [&] { order.push_back(1); });
  WorkItem middle = loop.schedule(Seconds(0.06), [&] { order.push_back(2); });
  ASSERT_TRUE(loop.runUntil([&] { return order.size() == 3; }, kLoopDeadline));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(MainLoopTest, DelayCountsFromTheScheduleCallEvenAfterALongCallback) {
  MainLoop loop;
  // A callback that works for a while and then schedules a debounce: the delay must start
  // now, not at the start of the loop iteration that ran the callback.
  double firedAfterMs = -1;
  SteadyClock::time_point scheduledAt;
  WorkItem item;
  loop.post([&] {
    const auto busyUntil = SteadyClock::now() + std::chrono::milliseconds(200);
    while (SteadyClock::now() < busyUntil) {
    }
    scheduledAt = SteadyClock::now();
    item = loop.schedule(Seconds(0.1), [&] { firedAfterMs = millisecondsSince(scheduledAt); });
  });
  ASSERT_TRUE(loop.runUntil([&] { return firedAfterMs >= 0; }, kLoopDeadline));
  EXPECT_GE(firedAfterMs, 95.0);
}

TEST(MainLoopTest, CancelledOrDestroyedWorkNeverRuns) {
  MainLoop loop;
  bool cancelledRan = false;
  bool destroyedRan = false;
  bool movedFromRan = false;
  bool keptRan = false;

  WorkItem cancelled = loop.schedule(Seconds(0.02), [&] { cancelledRan = true; });
  cancelled.cancel();
  EXPECT_FALSE(cancelled.isPending());
  cancelled.cancel();  // a second cancel is harmless

  {
    WorkItem destroyed = loop.schedule(Seconds(0.02), [&] { destroyedRan = true; });
  }

  // Assigning over a pending item cancels the old work; the new one still runs.
  WorkItem replaced = loop.schedule(Seconds(0.02), [&] { movedFromRan = true; });
  replaced = loop.schedule(Seconds(0.04), [&] { keptRan = true; });

  // Cancelling from another timer's callback, before the victim's deadline.
  bool victimRan = false;
  WorkItem victim = loop.schedule(Seconds(0.2), [&] { victimRan = true; });
  WorkItem killer = loop.schedule(Seconds(0.05), [&] { victim.cancel(); });

  bool sentinel = false;
  WorkItem sentinelItem = loop.schedule(Seconds(0.4), [&] { sentinel = true; });
  ASSERT_TRUE(loop.runUntil([&] { return sentinel; }, kLoopDeadline));

  EXPECT_FALSE(cancelledRan);
  EXPECT_FALSE(destroyedRan);
  EXPECT_FALSE(movedFromRan);
  EXPECT_TRUE(keptRan);
  EXPECT_FALSE(victimRan);
}

TEST(MainLoopTest, WorkItemReassignedFromItsOwnCallbackKeepsWorking) {
  MainLoop loop;
  // The debounce pattern: the pending item is replaced by a new one, here from inside its own
  // callback, which destroys the running timer's handle while its work is executing.
  WorkItem item;
  int runs = 0;
  std::function<void()> rearm = [&] {
    ++runs;
    if (runs < 5) item = loop.schedule(Seconds(0.01), rearm);
  };
  item = loop.schedule(Seconds(0.01), rearm);
  ASSERT_TRUE(loop.runUntil([&] { return runs == 5; }, kLoopDeadline));
  runFor(loop, Seconds(0.1));
  EXPECT_EQ(runs, 5);
  EXPECT_FALSE(item.isPending());

  // A burst of reschedules from outside collapses into one run of the last work.
  std::vector<int> debounced;
  WorkItem pending;
  for (int i = 0; i < 10; ++i) {
    pending = loop.schedule(Seconds(0.05), [&, i] { debounced.push_back(i); });
  }
  ASSERT_TRUE(loop.runUntil([&] { return !debounced.empty(); }, kLoopDeadline));
  runFor(loop, Seconds(0.1));
  EXPECT_EQ(debounced, (std::vector<int>{9}));

  // An item cancelled from its own callback: the work finishes without harm.
  int selfCancelled = 0;
  WorkItem self;
  self = loop.schedule(Seconds(0.01), [&] {
    self.cancel();
    ++selfCancelled;
  });
  ASSERT_TRUE(loop.runUntil([&] { return selfCancelled == 1; }, kLoopDeadline));
}

TEST(MainLoopTest, EveryRepeatsUntilCancelled) {
  MainLoop loop;
  std::vector<double> ticksMs;
  const auto start = SteadyClock::now();
  WorkItem ticker;
  ticker = loop.every(Seconds(0.02), Seconds(0.005), [&] {
    ticksMs.push_back(millisecondsSince(start));
    // Stopping from inside the tick is how the runtime loop ends.
    if (ticksMs.size() == 5) ticker.cancel();
  });
  EXPECT_TRUE(ticker.isPending());
  ASSERT_TRUE(loop.runUntil([&] { return ticksMs.size() >= 5; }, kLoopDeadline));
  EXPECT_GE(ticksMs.front(), 15.0);
  // Repeats are spaced by about the interval, never bunched together.
  EXPECT_GE(ticksMs.back(), 4 * 20.0 * 0.9);
  runFor(loop, Seconds(0.15));
  EXPECT_EQ(ticksMs.size(), 5u) << "ticked after being cancelled";
  EXPECT_FALSE(ticker.isPending());

  // Destroying the handle stops it as well.
  int count = 0;
  {
    WorkItem repeating = loop.every(Seconds(0.01), Seconds(0.001), [&] { ++count; });
    ASSERT_TRUE(loop.runUntil([&] { return count >= 3; }, kLoopDeadline));
  }
  const int atDestruction = count;
  runFor(loop, Seconds(0.1));
  EXPECT_EQ(count, atDestruction);
}

TEST(MainLoopTest, RunUntilReportsTimeoutAndSuccess) {
  MainLoop loop;
  const auto start = SteadyClock::now();
  EXPECT_FALSE(loop.runUntil([] { return false; }, Seconds(0.2)));
  const double elapsed = millisecondsSince(start);
  EXPECT_GE(elapsed, 190.0);
  EXPECT_LT(elapsed, 5000.0);

  // stop() from another thread ends run().
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    loop.stop();
  });
  WorkItem keepAlive = loop.every(Seconds(1), Seconds(0.1), [] {});
  const auto running = SteadyClock::now();
  loop.run();
  stopper.join();
  EXPECT_LT(millisecondsSince(running), 5000.0);
}

}  // namespace
}  // namespace glimmet
