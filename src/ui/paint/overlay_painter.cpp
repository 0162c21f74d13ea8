#include "ui/paint/overlay_painter.hpp"

namespace glimmet {

void paintOverlay(Canvas& canvas, const OverlayFrame& frame) {
  canvas.save();
  canvas.clip({0, 0, frame.size.width, frame.size.height});
  if (frame.mode == OverlayMode::collapsed) {
    paintCollapsed(canvas, frame);
  } else {
    paintExpanded(canvas, frame);
  }
  canvas.restore();
}

}  // namespace glimmet
