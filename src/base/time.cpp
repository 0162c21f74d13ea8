#include "base/time.hpp"

#include <cstdint>
#include <ctime>
#include <optional>

#include <fmt/format.h>

namespace glimmet {

namespace {

bool readDigits(std::string_view text, size_t& pos, size_t count, int& out) {
  if (pos + count > text.size()) return false;
  int value = 0;
  for (size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  out = value;
  return true;
}

bool expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

enum class Presence { required, optional, forbidden };

struct DateTimeSyntax {
  Presence fraction = Presence::optional;
  bool lenient = false;           // a space for "T", offsets without a colon
  bool localWithoutZone = false;  // no zone at all: the wall clock of this machine
};

// Microseconds from ".250" and the like; any number of digits, the ones past micros dropped.
bool readFraction(std::string_view text, size_t& pos, int64_t& micros) {
  if (!expect(text, pos, '.')) return false;
  int64_t scale = 100000;
  const size_t start = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    micros += (text[pos] - '0') * scale;
    scale /= 10;
    ++pos;
  }
  return pos != start;
}

// "+02:00", or "+0200" when lenient.
bool readOffset(std::string_view text, size_t& pos, bool lenient, int& offsetMinutes) {
  const int sign = text[pos] == '-' ? -1 : 1;
  ++pos;
  int hours = 0, minutes = 0;
  if (!readDigits(text, pos, 2, hours)) return false;
  const bool colon = expect(text, pos, ':');
  if (!colon && !lenient) return false;
  if (!readDigits(text, pos, 2, minutes) || hours > 23 || minutes > 59) return false;
  offsetMinutes = sign * (hours * 60 + minutes);
  return true;
}

// The wall-clock time read in the process's time zone (TZ), daylight saving included.
std::optional<Timestamp> localTime(const std::chrono::year_month_day& date, int hour, int minute,
                                   int second, int64_t micros) {
  std::tm fields{};
  fields.tm_year = static_cast<int>(date.year()) - 1900;
  fields.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
  fields.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  fields.tm_isdst = -1;  // let the zone's rules decide
  const std::time_t seconds = std::mktime(&fields);
  // -1 is also the last second of 1969, a time no agent reports.
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return Timestamp{std::chrono::seconds{seconds}} + std::chrono::microseconds{micros};
}

// The date of fields read from a text; absent when any field is out of range (a leap second
// is not: it runs on into the next minute).
std::optional<std::chrono::year_month_day> validDate(int year, int month, int day, int hour,
                                                     int minute, int second) {
  if (month < 1 || month > 12 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year{year},
                                         std::chrono::month{static_cast<unsigned>(month)},
                                         std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok()) return std::nullopt;
  return date;
}

Timestamp utcTime(const std::chrono::year_month_day& date, int hour, int minute, int second,
                  int64_t micros) {
  return std::chrono::time_point_cast<std::chrono::microseconds>(std::chrono::sys_days{date}) +
         std::chrono::hours{hour} + std::chrono::minutes{minute} + std::chrono::seconds{second} +
         std::chrono::microseconds{micros};
}

std::optional<Timestamp> parseDateTime(std::string_view text, const DateTimeSyntax& syntax) {
  size_t pos = 0;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!readDigits(text, pos, 4, year) || !expect(text, pos, '-') ||
      !readDigits(text, pos, 2, month) || !expect(text, pos, '-') ||
      !readDigits(text, pos, 2, day)) {
    return std::nullopt;
  }
  if (pos >= text.size()) return std::nullopt;
  const char separator = text[pos];
  if (separator != 'T' && separator != 't' && !(syntax.lenient && separator == ' ')) {
    return std::nullopt;
  }
  ++pos;
  if (!readDigits(text, pos, 2, hour) || !expect(text, pos, ':') ||
      !readDigits(text, pos, 2, minute) || !expect(text, pos, ':') ||
      !readDigits(text, pos, 2, second)) {
    return std::nullopt;
  }
  int64_t micros = 0;
  const bool hasFraction = pos < text.size() && text[pos] == '.';
  if (hasFraction ? syntax.fraction == Presence::forbidden
                  : syntax.fraction == Presence::required) {
    return std::nullopt;
  }
  if (hasFraction && !readFraction(text, pos, micros)) return std::nullopt;
  std::optional<int> offsetMinutes;
  if (pos < text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
    ++pos;
    offsetMinutes = 0;
  } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    int minutes = 0;
    if (!readOffset(text, pos, syntax.lenient, minutes)) return std::nullopt;
    offsetMinutes = minutes;
  } else if (!syntax.localWithoutZone) {
    return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  const auto date = validDate(year, month, day, hour, minute, second);
  if (!date) return std::nullopt;
  if (!offsetMinutes) return localTime(*date, hour, minute, second, micros);
  return utcTime(*date, hour, minute, second, micros) - std::chrono::minutes{*offsetMinutes};
}

// The form nearly every event's time takes, "2026-05-11T12:00:00Z" with or without a fraction
// of a second, read in one pass; absent for anything else, which the general reader then reads
// (with the same result for this form).
std::optional<Timestamp> parseUtcDateTime(std::string_view text) {
  constexpr size_t kWholeSeconds = 19;  // "2026-05-11T12:00:00"
  if (text.size() < kWholeSeconds + 1 || (text.back() != 'Z' && text.back() != 'z')) {
    return std::nullopt;
  }
  const char* c = text.data();
  const auto digit = [c](size_t i) { return static_cast<unsigned>(c[i] - '0'); };
  for (const size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
    if (digit(i) > 9) return std::nullopt;
  }
  if (c[4] != '-' || c[7] != '-' || (c[10] != 'T' && c[10] != 't') || c[13] != ':' ||
      c[16] != ':') {
    return std::nullopt;
  }
  int64_t micros = 0;
  if (text.size() > kWholeSeconds + 1) {
    // ".250": any number of digits, the ones past micros dropped.
    if (c[kWholeSeconds] != '.' || text.size() == kWholeSeconds + 2) return std::nullopt;
    int64_t scale = 100000;
    for (size_t i = kWholeSeconds + 1; i + 1 < text.size(); ++i) {
      if (digit(i) > 9) return std::nullopt;
      micros += digit(i) * scale;
      scale /= 10;
    }
  }
  const auto number = [&digit](size_t i) { return static_cast<int>(digit(i) * 10 + digit(i + 1)); };
  const int hour = number(11);
  const int minute = number(14);
  const int second = number(17);
  const auto date =
      validDate(number(0) * 100 + number(2), number(5), number(8), hour, minute, second);
  if (!date) return std::nullopt;
  return utcTime(*date, hour, minute, second, micros);
}

// Seconds or milliseconds since 1970, with an optional fraction. Zero and negative numbers are
// the placeholders of tools that know no time, so they stay missing.
std::optional<Timestamp> parseEpochNumber(std::string_view text) {
  size_t pos = 0;
  int64_t whole = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (pos == 15) return std::nullopt;  // beyond any millisecond count this side of year 30000
    whole = whole * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == 0) return std::nullopt;
  int64_t fractionMicros = 0;
  if (pos < text.size() && !readFraction(text, pos, fractionMicros)) return std::nullopt;
  if (pos != text.size() || (whole == 0 && fractionMicros == 0)) return std::nullopt;
  constexpr int64_t kLargestSeconds = 100'000'000'000;  // 1e11: year 5138 as seconds
  if (whole > kLargestSeconds) {
    return Timestamp{std::chrono::milliseconds{whole}} +
           std::chrono::microseconds{fractionMicros / 1000};
  }
  return Timestamp{std::chrono::seconds{whole}} + std::chrono::microseconds{fractionMicros};
}

}  // namespace

Timestamp systemNow() {
  return std::chrono::time_point_cast<std::chrono::microseconds>(std::chrono::system_clock::now());
}

std::optional<Timestamp> parseInternetDateTime(std::string_view text, bool fractional) {
  DateTimeSyntax syntax;
  syntax.fraction = fractional ? Presence::required : Presence::forbidden;
  return parseDateTime(text, syntax);
}

std::optional<Timestamp> parseTimestamp(std::string_view text) {
  if (auto utc = parseUtcDateTime(text)) return utc;
  if (auto epoch = parseEpochNumber(text)) return epoch;
  return parseDateTime(text, DateTimeSyntax{Presence::optional, true, true});
}

std::string formatIso8601(Timestamp time) {
  const auto days = std::chrono::floor<std::chrono::days>(time);
  const std::chrono::year_month_day date{days};
  const std::chrono::hh_mm_ss clock{std::chrono::floor<std::chrono::seconds>(time - days)};
  return fmt::format("{:04d}-{:02d}-{:02d}T{:02d}:{:02d}:{:02d}Z", static_cast<int>(date.year()),
                     static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                     clock.hours().count(), clock.minutes().count(), clock.seconds().count());
}

double secondsBetween(Timestamp from, Timestamp to) {
  return std::chrono::duration_cast<Seconds>(to - from).count();
}

}  // namespace glimmet
