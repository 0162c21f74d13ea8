#include "ui/overlay/companion_animation_timer.hpp"

namespace glimmet {

CompanionAnimationTimer::CompanionAnimationTimer(MainLoop& loop, std::function<void()> tick,
                                                 double intervalSeconds)
    : loop_(loop), tick_(std::move(tick)), intervalSeconds_(intervalSeconds) {}

void CompanionAnimationTimer::evaluate(bool reduceMotion) {
  if (invalidated_ || reduceMotion) {
    timer_.cancel();
    return;
  }
  if (timer_.isPending()) return;
  ++startCount_;
  timer_ = loop_.every(Seconds(intervalSeconds_), Seconds(kToleranceSeconds), [this] { tick_(); });
}

void CompanionAnimationTimer::invalidate() {
  invalidated_ = true;
  timer_.cancel();
}

}  // namespace glimmet
