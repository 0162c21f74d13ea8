#pragma once

#include <functional>

#include "platform/main_loop.hpp"

namespace glimmet {

// The companion's one repeating redraw: running while motion is allowed and the view is alive,
// stopped with "reduceMotion". Evaluating again never adds a second timer.
class CompanionAnimationTimer {
 public:
  // A frame every 1/8 s is enough for a pet's sprite rows and a stroll; the tolerance lets the
  // loop bundle the wake-up with others.
  static constexpr double kIntervalSeconds = 0.125;
  static constexpr double kToleranceSeconds = 0.12;

  CompanionAnimationTimer(MainLoop& loop, std::function<void()> tick,
                          double intervalSeconds = kIntervalSeconds);

  void evaluate(bool reduceMotion);
  // For good: later evaluations start nothing.
  void invalidate();

  bool isRunning() const { return timer_.isPending(); }
  // How many timers were started in this object's life.
  int startCount() const { return startCount_; }

 private:
  MainLoop& loop_;
  std::function<void()> tick_;
  double intervalSeconds_;
  WorkItem timer_;
  bool invalidated_ = false;
  int startCount_ = 0;
};

}  // namespace glimmet
