#include "model/sound_events.hpp"

#include "model/reminder_policy.hpp"

namespace glimmet {

bool eventPlaysSound(const GlimmetEvent& event) {
  const auto policy = eventReminderPolicy(event);
  if (!policy.alerts) return false;
  switch (policy.kind) {
    case EventReminderKind::approval:
    case EventReminderKind::choice:
    case EventReminderKind::input:
    case EventReminderKind::completion:
      return true;
    default:
      return false;
  }
}

void SoundEventTracker::prime(const std::vector<GlimmetEvent>& events) {
  if (primed_) return;
  (void)takeEventsToSound(events, true);
}

std::vector<const GlimmetEvent*> SoundEventTracker::takeEventsToSound(
    const std::vector<GlimmetEvent>& events, bool muted) {
  std::vector<const GlimmetEvent*> toSound;
  const bool silent = muted || !primed_;
  primed_ = true;
  for (const auto& event : events) {
    if (!notifiedEventIDs_.insert(event.id).second) continue;
    if (!silent && eventPlaysSound(event)) toSound.push_back(&event);
  }
  return toSound;
}

}  // namespace glimmet
