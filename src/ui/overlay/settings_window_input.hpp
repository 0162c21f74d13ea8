#pragma once

#include <optional>
#include <vector>

#include "platform/overlay_host.hpp"
#include "ui/settings_panel.hpp"
#include "ui/view/geometry.hpp"

namespace glimmet {

// Points one wheel step scrolls the settings: about three rows of a tab.
inline constexpr double kSettingsWheelStep = 48;

// The panel key a keyboard key stands for: Escape closes, Tab walks to the next tab and
// Shift+Tab (which most keyboards report as ISO_Left_Tab) back. None for every other key.
std::optional<SettingsKey> settingsKeyFor(const HostKeyEvent& event);

// How far a wheel button scrolls: button 4 up (negative), 5 down; none for other buttons,
// sideways wheels included.
std::optional<double> settingsScrollFor(int button);

// The settings window's size: the panel's default frame inside the primary screen's visible
// frame (the first screen when none is primary; a panel along the top is not visible area);
// the default size when no screen is known.
Size settingsWindowSize(const std::vector<HostScreen>& screens);

}  // namespace glimmet
