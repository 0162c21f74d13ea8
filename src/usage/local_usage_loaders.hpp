#pragma once

#include <vector>

#include "base/time.hpp"
#include "model/glimmet_event.hpp"
#include "store/local_scan.hpp"

namespace glimmet {

// Every usage-only event the tools' own files give: Codex rollouts, Claude Code transcripts and
// their 5-hour block, Trae Agent trajectories, Gemini CLI chat transcripts. Runs on the store's
// background queue.
std::vector<GlimmetEvent> loadLocalUsageEvents(const LocalToolRoots& roots, Timestamp now);
std::vector<GlimmetEvent> loadLocalUsageEvents(const LocalToolRoots& roots);

// Before the store's forced full scan: every candidate is read again.
void clearLocalUsageCaches();

}  // namespace glimmet
