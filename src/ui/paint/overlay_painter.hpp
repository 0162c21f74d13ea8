#pragma once

#include "ui/paint/canvas.hpp"
#include "ui/view/overlay_frame.hpp"

namespace glimmet {

// Draws the whole frame, and only what the frame says, onto a canvas of the frame's size.
void paintOverlay(Canvas& canvas, const OverlayFrame& frame);

void paintCollapsed(Canvas& canvas, const OverlayFrame& frame);
void paintExpanded(Canvas& canvas, const OverlayFrame& frame);

}  // namespace glimmet
