#pragma once

#include <cstdint>

#include "model/pet_choice.hpp"
#include "ui/paint/canvas.hpp"

namespace glimmet {

// Sprite sheets are decoded at most this large on their long side: a cell then stays sharp up to
// the companion's largest size on a dense screen, and a sheet costs about 3.4 MB of the cache.
inline constexpr int kPetSheetPixelDimension = 1024;

// The pet `choice` in `state` at `nowMs` of the animation clock, fitted into `rect`: a sprite pet
// draws its current cell, the built-in pets are drawn as shapes. A sprite sheet that cannot be
// loaded falls back to the capybara, so a broken pet never leaves a hole.
void drawPetAvatar(Canvas& canvas, const PetChoice& choice, const Rect& rect, PetState state,
                   int64_t nowMs, bool reduceMotion);

// The capybara: a brown loaf with a snout, ears and a dot in the colour of the pet's state.
void drawCapybaraPet(Canvas& canvas, const Rect& rect, PetState state, int64_t nowMs,
                     bool reduceMotion);
// GlimCat: a pixel cat in the colour of the pet's state that dances while the agents work.
void drawMascotPet(Canvas& canvas, const Rect& rect, PetState state, int64_t nowMs,
                   bool reduceMotion);

}  // namespace glimmet
