#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/glimmet_event.hpp"

namespace glimmet {

// The tools' own directories that the local loaders read.
struct LocalToolRoots {
  std::optional<std::string> codexSessionsRoot;
  std::optional<std::string> claudeProjectsRoot;
  std::optional<std::string> traeTrajectoryRoot;
  std::optional<std::string> cursorProjectsRoot;
  std::optional<std::string> traeLogsRoot;
  std::optional<std::string> geminiTmpRoot;
};

// Reads events from the tools' local files; runs on a background queue with the roots by value.
using LocalEventsLoader = std::function<std::vector<GlimmetEvent>(const LocalToolRoots&)>;

// One line per event with the fields that identify it and, for usage, every metric value, so
// that changed token counts are noticed even when the ids stay the same.
std::string loaderResultFingerprint(const std::vector<GlimmetEvent>& events);

// The files the local usage loaders would read, each with its size and modification time.
std::string localUsageCandidateFingerprint(const LocalToolRoots& roots);

// Whether a bridge event's message says what a hotplug event's does: the same text, or the
// bridge's "Tool - command" form of the detector's command, either side possibly shortened.
bool hotplugMessageMatches(std::string_view bridgeMessage, std::string_view hotplugMessage,
                           std::string_view toolName);

// Hotplug events that repeat a bridge event (same type, session, tool name and message within
// 600 seconds) are dropped; the rest keep their order.
std::vector<GlimmetEvent> dedupedLocalHotplugEvents(const std::vector<GlimmetEvent>& hotplug,
                                                    const std::vector<GlimmetEvent>& bridge);

}  // namespace glimmet
