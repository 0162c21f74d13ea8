#pragma once

#include <vector>

#include "base/time.hpp"
#include "model/glimmet_event.hpp"
#include "store/local_scan.hpp"

namespace glimmet {

// Pending Codex escalations, then Cursor and Trae completions, found in the tools' own files
// under `roots`; an absent root contributes nothing.
std::vector<GlimmetEvent> loadLocalHotplugEvents(const LocalToolRoots& roots,
                                                 Timestamp now = systemNow());

}  // namespace glimmet
