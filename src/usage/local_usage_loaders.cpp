#include "usage/local_usage_loaders.hpp"

#include "usage/local_usage_claude.hpp"
#include "usage/local_usage_claude_block.hpp"
#include "usage/local_usage_codex.hpp"
#include "usage/local_usage_gemini.hpp"
#include "usage/local_usage_trae.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

std::vector<GlimmetEvent> loadLocalUsageEvents(const LocalToolRoots& roots, Timestamp now) {
  std::vector<GlimmetEvent> events = loadCodexRolloutUsageEvents(roots.codexSessionsRoot, now);
  for (auto& event : loadClaudeTranscriptUsageEvents(roots.claudeProjectsRoot, now)) {
    events.push_back(std::move(event));
  }
  if (auto block = loadClaudeTranscriptBlockUsageEvent(roots.claudeProjectsRoot, now)) {
    events.push_back(std::move(*block));
  }
  for (auto& event : loadTraeTrajectoryUsageEvents(roots.traeTrajectoryRoot, now)) {
    events.push_back(std::move(event));
  }
  for (auto& event : loadGeminiTranscriptUsageEvents(roots.geminiTmpRoot, now)) {
    events.push_back(std::move(event));
  }
  return events;
}

std::vector<GlimmetEvent> loadLocalUsageEvents(const LocalToolRoots& roots) {
  return loadLocalUsageEvents(roots, systemNow());
}

void clearLocalUsageCaches() {
  clearLocalUsageFileCaches();
  clearClaudeBlockEntryCache();
  clearGeminiTranscriptCache();
}

}  // namespace glimmet
