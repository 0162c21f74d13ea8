#include "model/usage_reset_label.hpp"

#include <array>
#include <chrono>
#include <ctime>

#include <fmt/format.h>

#include "base/text.hpp"
#include "model/usage_date.hpp"

namespace glimmet {

namespace {

constexpr std::array<const char*, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct WallClock {
  std::chrono::year_month_day date;
  int hour = 0;
  int minute = 0;
};

WallClock wallClock(Timestamp time, const LabelTimeZone& zone) {
  const auto local =
      std::chrono::floor<std::chrono::seconds>(time) + std::chrono::seconds{zone.offsetAt(time)};
  const auto day = std::chrono::floor<std::chrono::days>(local);
  const std::chrono::hh_mm_ss clock{local - day};
  return {std::chrono::year_month_day{day}, static_cast<int>(clock.hours().count()),
          static_cast<int>(clock.minutes().count())};
}

// "resets 2026-05-11T12:56:00Z", "Resets at …", "reset on …": the date after the leading words.
std::string_view withoutLeadingWords(std::string_view text) {
  for (const std::string_view word : {"resets", "reset"}) {
    if (text.size() >= word.size() && toLower(text.substr(0, word.size())) == word) {
      text.remove_prefix(word.size());
      break;
    }
  }
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  for (const std::string_view word : {"at ", "on "}) {
    if (toLower(text.substr(0, word.size())) == word) text.remove_prefix(word.size());
  }
  return text;
}

}  // namespace

int LabelTimeZone::offsetAt(Timestamp time) const {
  if (secondsEastOfUTC) return *secondsEastOfUTC;
  const std::time_t seconds = static_cast<std::time_t>(
      std::chrono::floor<std::chrono::seconds>(time).time_since_epoch().count());
  std::tm fields{};
  if (!localtime_r(&seconds, &fields)) return 0;
  return static_cast<int>(fields.tm_gmtoff);
}

std::optional<std::string> shortUsageResetLabel(std::string_view window, const LabelTimeZone& zone,
                                                Timestamp now) {
  const std::string text = trim(window);
  const auto reset = parseUsageDate(trim(withoutLeadingWords(text)));
  if (!reset) return std::nullopt;
  const WallClock wall = wallClock(*reset, zone);
  const auto distance = *reset > now ? *reset - now : now - *reset;
  if (distance < std::chrono::hours{24}) {
    const int hour12 = wall.hour % 12 == 0 ? 12 : wall.hour % 12;
    return fmt::format("{}:{:02d} {}", hour12, wall.minute, wall.hour < 12 ? "AM" : "PM");
  }
  const char* month = kMonthNames[static_cast<unsigned>(wall.date.month()) - 1];
  const unsigned day = static_cast<unsigned>(wall.date.day());
  const int year = static_cast<int>(wall.date.year());
  if (year == static_cast<int>(wallClock(now, zone).date.year())) {
    return fmt::format("{} {}", month, day);
  }
  return fmt::format("{} {}, {}", month, day, year);
}

}  // namespace glimmet
