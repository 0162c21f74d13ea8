#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace glimmet {

// Microsecond precision keeps the distant past (year 1) representable, which nanoseconds
// since 1970 cannot.
using Timestamp = std::chrono::sys_time<std::chrono::microseconds>;
using Seconds = std::chrono::duration<double>;

// The date that sorts before every real one: 0001-01-01T00:00:00Z.
constexpr Timestamp kDistantPast{std::chrono::seconds{-62135596800}};

Timestamp systemNow();

// A source of "now", injected so that tests control time.
using ClockFunction = std::function<Timestamp()>;

// RFC 3339 internet date-time, with or without fractional seconds, "Z" or a numeric offset.
std::optional<Timestamp> parseInternetDateTime(std::string_view text, bool fractional);

// "2026-05-11T12:01:00Z": UTC, whole seconds.
std::string formatIso8601(Timestamp time);

double secondsBetween(Timestamp from, Timestamp to);

}  // namespace glimmet
