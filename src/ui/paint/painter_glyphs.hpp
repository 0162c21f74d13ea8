#pragma once

#include <string>

#include "model/companion_status.hpp"
#include "ui/paint/canvas.hpp"

namespace glimmet {

// The pet's stand-in: a rounded face in the colour of its state.
void drawPetPlaceholder(Canvas& canvas, const Rect& rect, PetState state);

// A tool's stand-in logo: a rounded square in its colour with its initial.
void drawToolLogo(Canvas& canvas, const Rect& rect, const std::string& tool, Color color);

}  // namespace glimmet
