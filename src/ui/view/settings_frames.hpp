#pragma once

#include <optional>
#include <vector>

#include "ui/view/geometry.hpp"

namespace glimmet {

inline constexpr double kSettingsPanelMargin = 12;
inline constexpr double kSettingsPanelDefaultWidth = 860;
inline constexpr double kSettingsPanelDefaultHeight = 780;
inline constexpr double kSettingsPanelMinimumWidth = 680;
inline constexpr double kSettingsPanelMinimumHeight = 520;

// The panel as it first opens on a screen: as large as the default allows inside the visible
// frame less a margin, centred.
Rect settingsPanelDefaultFrame(const Rect& visibleFrame);
// A remembered frame brought back onto the screen: never smaller than the minimum (the tabs
// stop fitting below it), never larger than the visible frame less the margin.
Rect clampedSettingsPanelFrame(const Rect& frame, const Rect& visibleFrame);
// The default frame on the first screen's visible frame; with no screen known, the default
// size plus the margins at the origin.
Rect settingsPanelDesktopFrame(const std::vector<Rect>& visibleFrames);

}  // namespace glimmet
