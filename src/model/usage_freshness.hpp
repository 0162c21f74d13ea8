#pragma once

#include <string>
#include <string_view>

#include "base/time.hpp"
#include "model/usage_snapshot.hpp"

namespace glimmet {

// Figures read from a tool's own files are rewritten only when the tool runs, so they stay
// meaningful for hours; pushed figures arrive with every turn and age within minutes.
inline constexpr int kLocalFileUsageMaxAgeSeconds = 21'600;
inline constexpr int kPushedUsageMaxAgeSeconds = 600;

// "Status_Line" -> "status-line": lower case, underscores as hyphens.
std::string normalizedUsageDataSource(std::string_view dataSource);

// "statusline", "rollout", "transcript", "trajectory" or "opencode-plugin", in any spelling
// `normalizedUsageDataSource` folds.
bool isLocalFileUsageSource(std::string_view dataSource);

// True when the snapshot was observed longer ago than its source allows. A time that does not
// parse never makes a snapshot stale.
bool isUsageSnapshotStale(const UsageSnapshot& snapshot, Timestamp now);

}  // namespace glimmet
