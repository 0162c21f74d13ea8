#pragma once

#include "ui/paint/canvas.hpp"
#include "ui/view/companion_frame.hpp"

namespace glimmet {

// The desktop companion on a transparent window: the pet, its label plate and, in bubble mode,
// the label as a speech bubble pointing at the pet.
void paintCompanion(Canvas& canvas, const CompanionFrame& frame);

// The pet itself; the one place that decides how a pet in `state` looks in `rect`.
void drawCompanionPet(Canvas& canvas, const Rect& rect, PetState state, int animationStep);

}  // namespace glimmet
