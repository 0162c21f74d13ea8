#pragma once

#include <optional>

#include "platform/user_defaults.hpp"
#include "ui/view/companion_geometry.hpp"

namespace glimmet {

// The companion's preferences as the user defaults hold them, with their defaults.
struct CompanionSettings {
  bool enabled = false;  // "desktopCompanionMode"
  CompanionDisplayMode mode = CompanionDisplayMode::bubble;
  double scale = 1.0;        // clamped
  bool reduceMotion = true;  // "reduceMotion"
  std::optional<Point> origin;
};

CompanionSettings loadCompanionSettings(const UserDefaults& defaults);

// Remembers where the user put the window; a roaming companion walks away from any place, so
// its position is never kept.
Status storeCompanionOrigin(UserDefaults& defaults, CompanionDisplayMode mode, Point origin);

// Dragging the pet out of the panel puts it on the desktop as a floating companion.
Status applyCompanionDragOutDefaults(UserDefaults& defaults);

}  // namespace glimmet
