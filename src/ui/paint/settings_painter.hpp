#pragma once

#include "ui/paint/canvas.hpp"
#include "ui/view/settings_layout.hpp"

namespace glimmet {

// Draws the settings panel, and only what the frame says, onto a canvas of the frame's size.
void paintSettings(Canvas& canvas, const SettingsFrame& frame);

// One element of a tab's content.
void paintSettingsElement(Canvas& canvas, const SettingsElement& element);

}  // namespace glimmet
