#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/time.hpp"

namespace glimmet {

// The automatic check runs at most once per interval; the attempt, not its success, is what
// counts, so a feed that is down is not asked again on every launch.
inline constexpr Seconds kAutomaticUpdateInterval{43200};  // 12 hours
inline constexpr Seconds kAutomaticUpdateInitialDelay{30};

// User-defaults keys of the automatic check.
inline constexpr const char* kLastAutoUpdateCheckAtKey = "lastAutoUpdateCheckAt";
inline constexpr const char* kLastNotifiedUpdateVersionKey = "lastNotifiedUpdateVersion";

// True without a recorded attempt or once `interval` has passed since it.
bool shouldRunAutomaticUpdateCheck(Timestamp now, std::optional<Timestamp> lastAttempt,
                                   Seconds interval = kAutomaticUpdateInterval);

// How long after launch the one automatic check waits: the rest of the interval when the last
// attempt is younger than it (at least 1 s), else the initial delay.
Seconds nextAutomaticUpdateDelay(Timestamp now, std::optional<Timestamp> lastAttempt,
                                 Seconds initialDelay = kAutomaticUpdateInitialDelay,
                                 Seconds interval = kAutomaticUpdateInterval);

// Each version is announced by the automatic reminder at most once.
bool shouldNotifyAutomaticUpdate(std::string_view version,
                                 const std::optional<std::string>& lastNotifiedVersion);

// "yyyy-MM-dd HH:mm" in local time, as the About tab shows when a check ran.
std::string formatUpdateTimestamp(Timestamp time);
std::string currentUpdateTimestamp();

}  // namespace glimmet
