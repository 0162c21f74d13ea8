#pragma once

#include "ui/paint/canvas.hpp"

namespace glimmet {

// The small icons of the overlay, drawn as our own vector shapes: the check and cross of the
// approval buttons, the clear toolbar, settings, quit, jump, ignore, the reminder bell and the
// usage reset clock.
enum class Symbol {
  checkmark,
  xmark,
  trash,
  gearshape,
  power,
  arrowUpForward,
  eyeSlash,
  markAllRead,
  bell,
  clock
};

// `symbol` centred in `box`, scaled to its shorter side, never drawn outside it. Designed on a
// 16-point grid with 1.5-point strokes that scale with the box.
void drawSymbol(Canvas& canvas, Symbol symbol, const Rect& box, Color color);

}  // namespace glimmet
