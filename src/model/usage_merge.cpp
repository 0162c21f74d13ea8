#include "model/usage_merge.hpp"

#include <algorithm>
#include <chrono>

#include "model/usage_date.hpp"
#include "model/usage_freshness.hpp"

namespace glimmet {

std::optional<UsageSnapshot> mergeUsageSnapshots(const std::vector<UsageSnapshot>& snapshots,
                                                 const std::string& displayTool) {
  if (snapshots.empty()) return std::nullopt;
  std::vector<std::pair<Timestamp, const UsageSnapshot*>> newestFirst;
  newestFirst.reserve(snapshots.size());
  for (const auto& snapshot : snapshots) {
    newestFirst.emplace_back(parseUsageDate(snapshot.observedAt).value_or(kDistantPast), &snapshot);
  }
  std::stable_sort(newestFirst.begin(), newestFirst.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  const auto [baseObserved, base] = newestFirst.front();
  UsageSnapshot merged = *base;
  merged.tool = displayTool;
  bool filled = false;
  for (auto it = newestFirst.begin() + 1; it != newestFirst.end(); ++it) {
    if (baseObserved - it->first > std::chrono::seconds{kLocalFileUsageMaxAgeSeconds}) break;
    const UsageSnapshot& older = *it->second;
    for (auto metric : {&UsageSnapshot::fiveHour, &UsageSnapshot::daily, &UsageSnapshot::weekly}) {
      if (!(merged.*metric) && (older.*metric)) {
        merged.*metric = older.*metric;
        filled = true;
      }
    }
  }
  if (filled) summarizeUsageSnapshot(merged);
  return merged;
}

}  // namespace glimmet
