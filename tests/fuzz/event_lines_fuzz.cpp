// Event file bytes -> events -> grouped messages, the way the store turns the event file into
// what the user sees; every line is also read by the tree parser, which must agree.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.hpp"
#include "fuzz_check.hpp"
#include "model/companion_status.hpp"
#include "model/glimmet_event.hpp"
#include "model/glimmet_event_lines.hpp"
#include "model/island_message.hpp"
#include "model/message_grouping.hpp"

using namespace glimmet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const EventParseContext context{"/home/dev"};
  std::vector<GlimmetEvent> events;
  for (const auto& line : split(bytes, '\n')) {
    // The SIMD reader must agree with the tree parser it stands in for, field for field.
    auto event = parseGlimmetEventLine(line, context);
    const auto reference = parseGlimmetEventLineAsTree(line, context);
    FUZZ_CHECK(event.has_value() == reference.has_value());
    if (event) FUZZ_CHECK(*event == *reference);
    if (event) events.push_back(std::move(*event));
  }
  // The first event is hidden and the second read, so both marks take part.
  std::set<std::string> hidden;
  std::set<std::string> read;
  if (!events.empty()) hidden.insert(events.front().id);
  if (events.size() > 1) read.insert(events[1].id);

  const GroupedEvents grouped = groupVisibleEvents(events, hidden);
  FUZZ_CHECK(grouped.sortedVisible.size() <= events.size());
  size_t grouped_count = 0;
  const Timestamp now = kDistantPast + std::chrono::hours(24 * 365 * 2026);
  for (const auto& group : grouped.groups) {
    FUZZ_CHECK(!group.empty());
    grouped_count += group.size();
    const IslandMessage message = makeIslandMessage(grouped.eventsOf(group), read, {}, now);
    FUZZ_CHECK(message.eventIDs == grouped.idsOf(group));
  }
  // Every visible event is in exactly one message.
  FUZZ_CHECK(grouped_count == grouped.sortedVisible.size());
  std::vector<GlimmetEvent> representatives;
  for (const GlimmetEvent* event : grouped.representatives) {
    FUZZ_CHECK(grouped.representativeIDs.count(event->id) == 1);
    representatives.push_back(*event);
  }
  const auto candidates = companionCandidateEvents(representatives);
  (void)companionStatusItem(candidates);
  (void)companionTickerItems(candidates);
  return 0;
}
