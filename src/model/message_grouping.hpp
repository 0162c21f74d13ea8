#pragma once

#include <set>
#include <string>
#include <vector>

#include "model/glimmet_event.hpp"

namespace glimmet {

// The task an event belongs to: its task key, except for events that name neither a session
// nor a working directory (nor a task key of their own). Those would all share the home folder
// and merge unrelated work, so each is a task of its own, told apart by tool and event id.
std::string taskIdentity(const GlimmetEvent& event);

// The conversation an event belongs to. Updates of one task share a key so that they collapse
// into one message; requests waiting for a human add the facts of the request itself, so that
// two different questions stay two messages and only a repeated identical one joins the first.
std::string messageGroupKey(const GlimmetEvent& event);

// The events are those given to `groupVisibleEvents`, pointed at rather than copied: a full
// read groups hundreds of events on the main thread. They stay valid while that list does.
struct GroupedEvents {
  std::vector<const GlimmetEvent*> sortedVisible;  // every visible event, newest first
  // The messages, by newest event: each a list of positions in `sortedVisible`, newest first.
  std::vector<std::vector<size_t>> groups;
  // What each task is doing now, newest first, for tasks whose representative is visible: its
  // newest event, except that a question nothing here can answer (a bare notification) after a
  // request waiting for the user only repeats that request and leaves it representing the task.
  std::vector<const GlimmetEvent*> representatives;
  // The ids of every task's newest event, hidden or not. An event not among them belongs to a
  // task that has moved on since, so it no longer waits for anything.
  std::set<std::string> representativeIDs;

  const GlimmetEvent& newestOf(const std::vector<size_t>& group) const {
    return *sortedVisible[group.front()];
  }
  std::vector<std::string> idsOf(const std::vector<size_t>& group) const;
  std::vector<GlimmetEvent> eventsOf(const std::vector<size_t>& group) const;
};

// Drops hidden events, usage-only events and events not worth listing, sorts the rest newest
// first and groups them into messages. Equal (or missing) times are ordered by the file: the
// later line is the newer event.
GroupedEvents groupVisibleEvents(const std::vector<GlimmetEvent>& events,
                                 const std::set<std::string>& hiddenIDs);
// The groups point into the list, which must outlive them.
GroupedEvents groupVisibleEvents(std::vector<GlimmetEvent>&& events,
                                 const std::set<std::string>& hiddenIDs) = delete;

}  // namespace glimmet
