// The companion's animation timer on a real main loop: one timer at most, none with reduced
// motion.

#include "ui/overlay/companion_animation_timer.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

TEST(CompanionAnimationTimer, ReduceMotionStopsItAndTurningItOffStartsExactlyOne) {
  MainLoop loop;
  int ticks = 0;
  CompanionAnimationTimer timer(
      loop, [&ticks] { ++ticks; }, 0.02);

  timer.evaluate(/*reduceMotion=*/true);
  EXPECT_FALSE(timer.isRunning());
  EXPECT_EQ(timer.startCount(), 0);

  timer.evaluate(false);
  timer.evaluate(false);
  timer.evaluate(false);
  EXPECT_TRUE(timer.isRunning());
  EXPECT_EQ(timer.startCount(), 1);
  // One timer ticks once per interval: about 10 in 0.2 s, never the 30 of three timers.
  loop.runUntil([] { return false; }, Seconds(0.2));
  EXPECT_GE(ticks, 3);
  EXPECT_LE(ticks, 13);

  timer.evaluate(true);
  EXPECT_FALSE(timer.isRunning());
  const int ticksWhenStopped = ticks;
  loop.runUntil([] { return false; }, Seconds(0.1));
  EXPECT_EQ(ticks, ticksWhenStopped);

  timer.evaluate(false);
  timer.evaluate(false);
  EXPECT_EQ(timer.startCount(), 2);
  EXPECT_TRUE(timer.isRunning());

  // A view that is gone never animates again.
  timer.invalidate();
  timer.evaluate(false);
  EXPECT_FALSE(timer.isRunning());
  EXPECT_EQ(timer.startCount(), 2);
}

}  // namespace
}  // namespace glimmet
