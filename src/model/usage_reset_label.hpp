#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/time.hpp"

namespace glimmet {

// The zone a label is written in: a fixed offset east of UTC, or the process's own zone (TZ,
// daylight saving included) when no offset is given.
struct LabelTimeZone {
  std::optional<int> secondsEastOfUTC;

  static LabelTimeZone utc() { return {0}; }
  static LabelTimeZone fixedOffset(int secondsEast) { return {secondsEast}; }
  static LabelTimeZone local() { return {}; }

  // The offset in force at `time`; the local zone's may differ on either side of a daylight
  // saving change.
  int offsetAt(Timestamp time) const;
};

// When a quota window resets, short enough for the capsule: "12:56 PM" when the reset is less
// than 24 hours from `now`, "May 18" later this year, "Jan 3, 2027" otherwise (English names,
// Gregorian calendar, in `zone`). Takes the reset as a tool writes it ("2026-05-11T12:56:00Z",
// epoch seconds) or as a metric's suffix ("resets 2026-05-11T12:56:00Z"); absent when no date can
// be read from it. The label never says "resets": the capsule adds its own accessory.
std::optional<std::string> shortUsageResetLabel(std::string_view window, const LabelTimeZone& zone,
                                                Timestamp now);

}  // namespace glimmet
