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

// Any timestamp an agent or adapter writes: an RFC 3339 date-time with or without fractional
// seconds, "T" or a space between date and time, "Z", "+00:00" or "+0000"; a date-time without
// a zone, read as local time; or seconds or milliseconds since 1970 as a decimal number (above
// 1e11 it can only be milliseconds: as seconds it would lie thousands of years ahead).
std::optional<Timestamp> parseTimestamp(std::string_view text);

// "2026-05-11T12:01:00Z": UTC, whole seconds.
std::string formatIso8601(Timestamp time);

double secondsBetween(Timestamp from, Timestamp to);

}  // namespace glimmet
