#pragma once

#include <optional>
#include <string_view>

#include "base/time.hpp"

namespace glimmet {

// A timestamp as `parseTimestamp` reads it (internet date-time, local date-time or epoch
// number); absent when the text is empty or does not parse. Parsed texts are cached (bounded,
// shared between threads) because event files are re-read often and dates are the hot spot.
std::optional<Timestamp> parseUsageDate(std::string_view text);

}  // namespace glimmet
