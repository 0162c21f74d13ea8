#include "app/usage_carousel.hpp"

#include <chrono>

#include "model/usage_brands.hpp"
#include "usage/usage_eligibility.hpp"

namespace glimmet {

std::vector<UsageCarouselEntry> usageCarouselEntries(const std::vector<std::string>& brands,
                                                     EventStore& store) {
  std::vector<UsageCarouselEntry> entries;
  entries.reserve(brands.size());
  for (const auto& tool : brands) {
    const std::string brand = usageBrandName(tool);
    auto snapshot = store.mergedUsage(usageToolIDs(tool), brand);
    if (!snapshot) continue;
    entries.push_back({brand, std::move(*snapshot)});
  }
  return entries;
}

std::vector<UsageCarouselEntry> UsageCarousel::entries(EventStore& store, Timestamp now) {
  const auto refreshAfter = std::chrono::duration_cast<Timestamp::duration>(
      std::chrono::duration<double>(kHealthRefreshSeconds));
  // A clock that went back counts as due, so a wrong wall clock cannot freeze the health.
  if (!checkedAt_ || now < *checkedAt_ || now - *checkedAt_ >= refreshAfter) {
    cached_ = inputs_ ? inputs_() : UsageCarouselInputs{};
    checkedAt_ = now;
  }
  const auto brands = eligibleUsageToolNames(cached_.toolHealth, cached_.disabledToolIDs, store,
                                             cached_.wrapperBridgeReady, now);
  return usageCarouselEntries(brands, store);
}

}  // namespace glimmet
