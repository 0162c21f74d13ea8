#pragma once

#include "model/companion_status.hpp"
#include "model/pet_choice.hpp"  // the preview motion
#include "ui/view/geometry.hpp"
#include "ui/view/settings_tabs.hpp"

namespace glimmet {

// The pet state a preview state is drawn with, and the colour of its pill.
PetState petStateForPreview(PetPreviewStateID state);
Color petPreviewColor(PetPreviewStateID state);

}  // namespace glimmet
