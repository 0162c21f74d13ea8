#pragma once

#include <optional>

#include "ui/view/settings_layout.hpp"

namespace glimmet {

// Shows `tab` from where it was last scrolled to.
void selectSettingsTab(SettingsViewState& state, SettingsTab tab);

// A click at `point`: tab and preview choices change the view state here; every other target
// (a preference, a pet, a sound, a tool, close) is returned for the panel to carry out.
std::optional<SettingsTarget> handleSettingsClick(SettingsViewState& state,
                                                  const SettingsFrame& frame, Point point);

// Scrolls the active tab by `deltaY` points, kept between the top and the end of its content.
void scrollSettings(SettingsViewState& state, const SettingsFrame& frame, double deltaY);

// The scale slider: a press on it starts a drag and moves the knob there; moves follow the
// pointer; the release gives the scale to keep. A press elsewhere starts nothing.
bool beginSettingsPointer(SettingsViewState& state, const SettingsFrame& frame, Point point);
void dragSettingsPointer(SettingsViewState& state, Point point);
std::optional<double> endSettingsPointer(SettingsViewState& state);

}  // namespace glimmet
