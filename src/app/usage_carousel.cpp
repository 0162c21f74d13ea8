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

void UsageCarousel::readAsynchronously(InputsRequest request, std::function<void()> arrived) {
  request_ = std::move(request);
  arrived_ = std::move(arrived);
}

void UsageCarousel::invalidate() {
  checkedAt_.reset();
  // A read already under way may have started before whatever changed.
  if (requestInFlight_) inFlightRequestIsStale_ = true;
}

void UsageCarousel::requestInputs() {
  if (requestInFlight_) return;
  requestInFlight_ = true;
  std::weak_ptr<bool> alive = alive_;
  request_([this, alive](UsageCarouselInputs inputs) {
    if (alive.expired()) return;
    requestInFlight_ = false;
    cached_ = std::move(inputs);
    if (inFlightRequestIsStale_) {
      inFlightRequestIsStale_ = false;
      checkedAt_.reset();
    }
    if (arrived_) arrived_();
  });
}

std::vector<UsageCarouselEntry> UsageCarousel::entries(EventStore& store, Timestamp now) {
  const auto refreshAfter = std::chrono::duration_cast<Timestamp::duration>(
      std::chrono::duration<double>(kHealthRefreshSeconds));
  // A clock that went back counts as due, so a wrong wall clock cannot freeze the health.
  if (!checkedAt_ || now < *checkedAt_ || now - *checkedAt_ >= refreshAfter) {
    checkedAt_ = now;
    if (request_) {
      requestInputs();
    } else {
      cached_ = inputs_ ? inputs_() : UsageCarouselInputs{};
    }
  }
  const auto brands = eligibleUsageToolNames(cached_.toolHealth, cached_.disabledToolIDs, store,
                                             cached_.wrapperBridgeReady, now);
  return usageCarouselEntries(brands, store);
}

}  // namespace glimmet
