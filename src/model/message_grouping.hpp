#pragma once

#include <set>
#include <string>
#include <vector>

#include "model/glimmet_event.hpp"

namespace glimmet {

// The conversation an event belongs to. Updates of one task share a key so that they collapse
// into one message; requests waiting for a human add the facts of the request itself, so that
// two different questions stay two messages and only a repeated identical one joins the first.
std::string messageGroupKey(const GlimmetEvent& event);

struct GroupedEvents {
  std::vector<GlimmetEvent> sortedVisible;        // every visible event, newest first
  std::vector<std::vector<GlimmetEvent>> groups;  // by newest event; each newest first
};

// Drops hidden events, usage-only events and events not worth listing, sorts the rest newest
// first (stable, so equal times keep their order) and groups them into messages.
GroupedEvents groupVisibleEvents(const std::vector<GlimmetEvent>& events,
                                 const std::set<std::string>& hiddenIDs);

}  // namespace glimmet
