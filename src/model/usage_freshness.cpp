#include "model/usage_freshness.hpp"

#include <algorithm>
#include <array>

#include "base/text.hpp"
#include "model/usage_date.hpp"

namespace glimmet {

std::string normalizedUsageDataSource(std::string_view dataSource) {
  return replaceAll(toLower(dataSource), "_", "-");
}

bool isLocalFileUsageSource(std::string_view dataSource) {
  static constexpr std::array<std::string_view, 5> kLocalFileSources = {
      "statusline", "rollout", "transcript", "trajectory", "opencode-plugin"};
  const std::string normalized = normalizedUsageDataSource(dataSource);
  return std::find(kLocalFileSources.begin(), kLocalFileSources.end(), normalized) !=
         kLocalFileSources.end();
}

bool isUsageSnapshotStale(const UsageSnapshot& snapshot, Timestamp now) {
  const auto observed = parseUsageDate(snapshot.observedAt);
  if (!observed) return false;
  const int maxAge = isLocalFileUsageSource(snapshot.dataSource) ? kLocalFileUsageMaxAgeSeconds
                                                                 : kPushedUsageMaxAgeSeconds;
  return now - *observed > std::chrono::seconds{maxAge};
}

}  // namespace glimmet
