#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/usage_snapshot.hpp"

namespace glimmet {

// One snapshot for a brand's row out of the snapshots of its tools, in store order: the newest
// (the earlier one on equal times), shown under `displayTool`. Quota windows belong to the
// account, not to a session, so a window it lacks is taken from the newest other snapshot that
// has it, observed at most 6 hours before it: a transcript carries context and tokens, the status
// line the quota windows, and the row shows both. Absent when there is no snapshot.
std::optional<UsageSnapshot> mergeUsageSnapshots(const std::vector<UsageSnapshot>& snapshots,
                                                 const std::string& displayTool);

}  // namespace glimmet
