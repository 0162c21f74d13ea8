#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/app_snapshot.hpp"
#include "base/time.hpp"

namespace glimmet {

struct OverlayViewState;

inline constexpr double kUsageRotationSeconds = 4.0;

// The carousel's brands, in order.
std::vector<std::string> usageCarouselBrands(const AppSnapshot& snapshot);

// The entry of `active`, else the first; none with an empty carousel.
const UsageCarouselEntry* activeUsageEntry(const std::vector<UsageCarouselEntry>& carousel,
                                           const std::optional<std::string>& active);

// The brand after `current` (after the first when `current` is not among them), wrapping round;
// empty without brands.
std::string nextUsageTool(const std::vector<std::string>& brands, const std::string& current);

// Moves the top row's brand on every 4 s while two or more brands take turns and the user has
// not picked one; with fewer it only keeps the active brand valid. Returns whether the active
// brand changed.
bool rotateUsageToolIfNeeded(OverlayViewState& state, const std::vector<std::string>& brands,
                             Timestamp now);

// When the next turn is due: none with fewer than two brands or a brand the user pinned.
std::optional<Timestamp> nextUsageRotation(const OverlayViewState& state, size_t brandCount,
                                           Timestamp now);

}  // namespace glimmet
