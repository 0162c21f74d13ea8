#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/time.hpp"
#include "model/companion_status.hpp"
#include "ui/view/companion_geometry.hpp"

namespace glimmet {

// One label line of at most `maxCharacters` characters: white space collapsed, a longer text cut
// and marked with "...>" (it continues where the jump leads).
std::string companionJumpLine(std::string_view text, int maxCharacters);

struct CompanionLabelLines {
  std::string title;
  std::string detail;
  bool operator==(const CompanionLabelLines&) const = default;
};

CompanionLabelLines companionJumpLines(std::string_view target, std::string_view detail,
                                       int titleMaxCharacters, int detailMaxCharacters);

// The word the companion says when no status item speaks for it: a hint while it is being
// placed or roams, else the status item's label, else its state.
std::string companionInlineLabel(bool placementMode, CompanionDisplayMode mode, PetState state,
                                 const std::optional<CompanionStatusItem>& status);

// The label's two lines: the status item's words over the tool and project it came from, or
// the inline word alone.
CompanionLabelLines companionLabelLines(bool placementMode, CompanionDisplayMode mode,
                                        PetState state,
                                        const std::optional<CompanionStatusItem>& status,
                                        int titleMaxCharacters, int detailMaxCharacters);

// A status the bubble shows for a while even when the store has moved on (a request answered
// from the companion, say), until `expiresAt` on the monotonic clock.
struct CompanionBubbleFallback {
  CompanionStatusItem item;
  double expiresAt = 0;
};

std::optional<CompanionStatusItem> companionBubbleStatus(
    const std::optional<CompanionStatusItem>& storeStatus,
    const std::optional<CompanionBubbleFallback>& fallback, double now);

// Rotation through several status items on the animation tick.
struct CompanionTicker {
  static constexpr double kRotationSeconds = 3.0;
  size_t index = 0;
  std::optional<Timestamp> lastRotationAt;
};

// The item to show now: with more than one item the ticker moves on once every
// kRotationSeconds; with one or none it stays at the start.
std::optional<CompanionStatusItem> rotateCompanionTicker(
    CompanionTicker& ticker, const std::vector<CompanionStatusItem>& items,
    const std::optional<CompanionStatusItem>& status, Timestamp now);

}  // namespace glimmet
