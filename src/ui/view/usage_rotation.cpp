#include "ui/view/usage_rotation.hpp"

#include <algorithm>
#include <chrono>

#include "ui/view/overlay_view_state.hpp"

namespace glimmet {
namespace {

Timestamp::duration rotationPeriod() {
  return std::chrono::duration_cast<Timestamp::duration>(
      std::chrono::duration<double>(kUsageRotationSeconds));
}

}  // namespace

std::vector<std::string> usageCarouselBrands(const AppSnapshot& snapshot) {
  std::vector<std::string> brands;
  brands.reserve(snapshot.usageCarousel.size());
  for (const auto& entry : snapshot.usageCarousel) brands.push_back(entry.brand);
  return brands;
}

const UsageCarouselEntry* activeUsageEntry(const std::vector<UsageCarouselEntry>& carousel,
                                           const std::optional<std::string>& active) {
  if (carousel.empty()) return nullptr;
  if (active) {
    for (const auto& entry : carousel) {
      if (entry.brand == *active) return &entry;
    }
  }
  return &carousel.front();
}

std::string nextUsageTool(const std::vector<std::string>& brands, const std::string& current) {
  if (brands.empty()) return {};
  const auto found = std::find(brands.begin(), brands.end(), current);
  const size_t index = found == brands.end() ? 0 : static_cast<size_t>(found - brands.begin());
  return brands[(index + 1) % brands.size()];
}

bool rotateUsageToolIfNeeded(OverlayViewState& state, const std::vector<std::string>& brands,
                             Timestamp now) {
  const std::optional<std::string> before = state.activeUsageTool;
  if (brands.size() < 2) {
    state.activeUsageTool =
        brands.empty() ? std::nullopt : std::optional<std::string>(brands.front());
    return state.activeUsageTool != before;
  }
  if (state.usageRotationPinnedByUser) return false;
  if (!state.lastUsageRotationAt) {
    // A carousel that just gained its second brand starts its clock now.
    state.lastUsageRotationAt = now;
    return false;
  }
  if (now - *state.lastUsageRotationAt < rotationPeriod() && now >= *state.lastUsageRotationAt) {
    return false;
  }
  state.activeUsageTool = nextUsageTool(brands, state.activeUsageTool.value_or(std::string()));
  state.lastUsageRotationAt = now;
  return state.activeUsageTool != before;
}

std::optional<Timestamp> nextUsageRotation(const OverlayViewState& state, size_t brandCount,
                                           Timestamp now) {
  if (brandCount < 2 || state.usageRotationPinnedByUser) return std::nullopt;
  if (!state.lastUsageRotationAt) return now;
  return *state.lastUsageRotationAt + rotationPeriod();
}

}  // namespace glimmet
