#pragma once

#include "ui/paint/canvas.hpp"
#include "ui/view/companion_frame.hpp"

namespace glimmet {

// The desktop companion on a transparent window: the pet, its label plate and, in bubble mode,
// the label as a speech bubble pointing at the pet.
void paintCompanion(Canvas& canvas, const CompanionFrame& frame);

// The chosen pet standing in the frame's pet rectangle, on a soft shadow.
void drawCompanionPet(Canvas& canvas, const CompanionFrame& frame);

}  // namespace glimmet
