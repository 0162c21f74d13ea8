#include "usage/hotplug_loader.hpp"

#include "usage/hotplug_codex.hpp"
#include "usage/hotplug_cursor.hpp"
#include "usage/hotplug_trae.hpp"

namespace glimmet {

std::vector<GlimmetEvent> loadLocalHotplugEvents(const LocalToolRoots& roots, Timestamp now) {
  std::vector<GlimmetEvent> events = loadCodexRolloutHotplugEvents(roots.codexSessionsRoot, now);
  for (auto& event : loadCursorTranscriptHotplugEvents(roots.cursorProjectsRoot, now)) {
    events.push_back(std::move(event));
  }
  for (auto& event : loadTraeLogHotplugEvents(roots.traeLogsRoot, now)) {
    events.push_back(std::move(event));
  }
  return events;
}

}  // namespace glimmet
