#include "base/time.hpp"

#include <gtest/gtest.h>

#include <string>

namespace glimmet {
namespace {

Timestamp utc(int year, unsigned month, unsigned day, int hour, int minute, int second,
              int micros = 0) {
  const std::chrono::year_month_day date{std::chrono::year{year}, std::chrono::month{month},
                                         std::chrono::day{day}};
  return std::chrono::time_point_cast<std::chrono::microseconds>(std::chrono::sys_days{date}) +
         std::chrono::hours{hour} + std::chrono::minutes{minute} + std::chrono::seconds{second} +
         std::chrono::microseconds{micros};
}

// Event times in UTC are read by a quicker reader than the general one; both must agree on
// every text, the ones either refuses included.
TEST(TimestampTest, UtcTimesReadAsTheGeneralReaderReadsThem) {
  EXPECT_EQ(parseTimestamp("2026-05-11T12:01:02Z"), utc(2026, 5, 11, 12, 1, 2));
  EXPECT_EQ(parseTimestamp("2026-05-11t12:01:02z"), utc(2026, 5, 11, 12, 1, 2));
  EXPECT_EQ(parseTimestamp("2026-05-11T12:01:02.5Z"), utc(2026, 5, 11, 12, 1, 2, 500000));
  // Digits past the microseconds are dropped, not rounded.
  EXPECT_EQ(parseTimestamp("2026-05-11T12:01:02.1234569Z"), utc(2026, 5, 11, 12, 1, 2, 123456));
  // A leap second runs on into the next minute; 29 February only in a leap year.
  EXPECT_EQ(parseTimestamp("2016-12-31T23:59:60Z"), utc(2017, 1, 1, 0, 0, 0));
  EXPECT_EQ(parseTimestamp("2024-02-29T00:00:00Z"), utc(2024, 2, 29, 0, 0, 0));
  // A space for "T" is for the general reader only, which takes it.
  EXPECT_EQ(parseTimestamp("2026-05-11 12:01:02Z"), utc(2026, 5, 11, 12, 1, 2));

  for (const char* refused :
       {"2025-02-29T00:00:00Z", "2026-13-01T00:00:00Z", "2026-00-10T00:00:00Z",
        "2026-04-31T00:00:00Z", "2026-05-11T24:00:00Z", "2026-05-11T12:60:00Z",
        "2026-05-11T12:00:61Z", "2026-05-11T12:00:00.Z", "2026-05-11T12:00:00.5xZ",
        "2026-05-11T12:00:00,5Z", "2026-5-11T12:00:00Z", "2026-05-11T12:00Z", "2026-05-11TZ",
        "20260511T120000Z", "2026-05-11T12:00:00ZZ", "2026-05-11T12:0a:00Z", "Z", ""}) {
    EXPECT_EQ(parseTimestamp(refused), std::nullopt) << refused;
  }
  // The strict reader agrees wherever both read a time.
  for (const char* text : {"1970-01-01T00:00:00Z", "2000-02-29T23:59:59.999999Z",
                           "2099-12-31T00:00:00.000001Z", "0001-01-01T00:00:00Z"}) {
    const bool fractional = std::string(text).find('.') != std::string::npos;
    EXPECT_EQ(parseTimestamp(text), parseInternetDateTime(text, fractional)) << text;
  }
}

}  // namespace
}  // namespace glimmet
