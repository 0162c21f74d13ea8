#include "updates/update_schedule.hpp"

#include <algorithm>
#include <ctime>

#include "base/text.hpp"

namespace glimmet {

bool shouldRunAutomaticUpdateCheck(Timestamp now, std::optional<Timestamp> lastAttempt,
                                   Seconds interval) {
  if (!lastAttempt) return true;
  return secondsBetween(*lastAttempt, now) >= interval.count();
}

Seconds nextAutomaticUpdateDelay(Timestamp now, std::optional<Timestamp> lastAttempt,
                                 Seconds initialDelay, Seconds interval) {
  if (!lastAttempt) return initialDelay;
  const double elapsed = secondsBetween(*lastAttempt, now);
  if (elapsed < interval.count()) return Seconds(std::max(1.0, interval.count() - elapsed));
  return initialDelay;
}

bool shouldNotifyAutomaticUpdate(std::string_view version,
                                 const std::optional<std::string>& lastNotifiedVersion) {
  const std::string trimmed = trim(version);
  if (trimmed.empty()) return false;
  return !lastNotifiedVersion || trim(*lastNotifiedVersion) != trimmed;
}

std::string formatUpdateTimestamp(Timestamp time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::seconds>(time));
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  const size_t length = std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M", &local);
  return std::string(text, length);
}

std::string currentUpdateTimestamp() {
  return formatUpdateTimestamp(systemNow());
}

}  // namespace glimmet
