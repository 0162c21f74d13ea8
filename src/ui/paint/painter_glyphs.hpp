#pragma once

#include <string>

#include "model/companion_status.hpp"
#include "ui/paint/canvas.hpp"

namespace glimmet {

// Icons the painters use. Drawn here as simple strokes until the vector symbol set takes over.
enum class Glyph {
  checkmark,
  xmark,
  trash,
  gearshape,
  power,
  arrowUpForward,
  eyeSlash,
  markAllRead,
  bell
};

void drawGlyph(Canvas& canvas, Glyph glyph, const Rect& rect, Color color);

// The pet's stand-in: a rounded face in the colour of its state.
void drawPetPlaceholder(Canvas& canvas, const Rect& rect, PetState state);

// A tool's stand-in logo: a rounded square in its colour with its initial.
void drawToolLogo(Canvas& canvas, const Rect& rect, const std::string& tool, Color color);

}  // namespace glimmet
