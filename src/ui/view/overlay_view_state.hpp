#pragma once

#include <optional>
#include <string>

#include "app/app_command.hpp"
#include "base/time.hpp"
#include "ui/view/collapsed_ticker.hpp"
#include "ui/view/geometry.hpp"
#include "ui/view/overlay_types.hpp"

namespace glimmet {

// A high-risk action clicked once, waiting for the second click.
struct PendingConfirmation {
  std::string cardID;
  std::string role;
  bool operator==(const PendingConfirmation&) const = default;
};

// A short text the view shows by itself ("No messages to clear"); it goes at `expiresAt`, or stays
// while its cause lasts when there is none.
struct ViewBanner {
  std::string text;
  Color color;
  std::optional<Timestamp> expiresAt;
  bool operator==(const ViewBanner&) const = default;
};

// What belongs to one overlay surface and no one else. Plain data, changed only by the handle()
// functions of overlay_events.hpp.
struct OverlayViewState {
  OverlayMode mode = OverlayMode::collapsed;
  // Hover: when the delayed expand or collapse falls due.
  std::optional<Timestamp> expandDueAt;
  std::optional<Timestamp> collapseDueAt;
  std::optional<Point> hoverPoint;
  TickerRotation ticker;
  // Choice state of the panel.
  std::optional<std::string> expandedChoiceMessageID;
  std::string activeChoiceNote;
  std::optional<std::string> choiceNoteFocusedMessageID;
  std::optional<PendingConfirmation> pendingConfirmation;
  std::optional<ViewBanner> banner;
  std::optional<std::string> activeUsageTool;
  bool usageRotationPinnedByUser = false;
  std::optional<Timestamp> lastUsageRotationAt;
  // Keeps the panel open whatever the pointer does (for screenshots and debugging).
  bool debugLockExpanded = false;
  bool operator==(const OverlayViewState&) const = default;
};

// Clears the open choice, the focused note and its text; whether there was any.
bool clearChoiceState(OverlayViewState& state);

}  // namespace glimmet
