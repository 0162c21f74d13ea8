#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "model/glimmet_event.hpp"

namespace glimmet {

// Whether an event deserves a cue: it asks for the user (approval, choice, input) or reports
// human-facing finished work, and its notify policy lets it alert. Usage-only updates, running
// tasks, failures and rate limits stay silent.
bool eventPlaysSound(const GlimmetEvent& event);

// Remembers which events were already considered, so that each event sounds at most once
// however often the store is rebuilt.
class SoundEventTracker {
 public:
  // The events of `events` not seen before that should sound now (in the order given), and
  // marks every event of `events` as seen. While muted nothing sounds, and the events that
  // arrived meanwhile stay silent after unmuting. The first call only takes note of what is
  // already there: starting the application never replays old requests.
  std::vector<const GlimmetEvent*> takeEventsToSound(const std::vector<GlimmetEvent>& events,
                                                     bool muted);

  // Takes note of `events` without sounding any, unless the first call above already did: what
  // the event file held when the application started never plays.
  void prime(const std::vector<GlimmetEvent>& events);

  const std::unordered_set<std::string>& notifiedEventIDs() const { return notifiedEventIDs_; }

 private:
  std::unordered_set<std::string> notifiedEventIDs_;
  bool primed_ = false;
};

}  // namespace glimmet
