#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/time.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// Trae and Trae SOLO show a "task complete" notice in the desktop app without any hook; the
// renderer log records it as a "TraeCodeCompleteShown" line:
//   2026-05-11 10:23:45.123 [info] [TraeCodeCompleteShown] params: {"agent_id": ..., ...}

inline constexpr const char* kTraeHotplugCacheKind = "trae-log-hotplug";
inline constexpr uint64_t kTraeHotplugTailBytes = 262144;
inline constexpr size_t kTraeHotplugFileLimit = 8;
inline constexpr double kTraeHotplugMaxAgeSeconds = 21600;

// The newest renderer logs ("renderer*.log") under the logs root, newest first.
std::vector<std::string> recentTraeRendererLogFiles(const std::string& root,
                                                    size_t limit = kTraeHotplugFileLimit);

// The time a log line starts with ("2026-05-11 10:23:45.123", in local time like the app
// writes it, or with a zone; optionally in brackets), as an internet date-time text; absent when
// the line starts otherwise.
std::optional<std::string> traeLogTimestamp(std::string_view line);

// The newest completion line of a log's tail that is at most six hours old, as a completion
// event; lines without a time or with unreadable parameters are skipped.
std::optional<GlimmetEvent> traeLogHotplugCompletionEvent(const std::string& tailText,
                                                          const std::string& filePath,
                                                          Timestamp now);

// One completion per recent renderer log; none for an absent root.
std::vector<GlimmetEvent> loadTraeLogHotplugEvents(const std::optional<std::string>& root,
                                                   Timestamp now = systemNow());

}  // namespace glimmet
