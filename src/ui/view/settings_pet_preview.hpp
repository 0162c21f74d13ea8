#pragma once

#include "model/companion_status.hpp"
#include "ui/view/geometry.hpp"
#include "ui/view/settings_tabs.hpp"

namespace glimmet {

// The pet state a preview state is drawn with, and the colour of its pill.
PetState petStateForPreview(PetPreviewStateID state);
Color petPreviewColor(PetPreviewStateID state);

// The roaming preview's left edge in percent of the stage: 24 → 58 over the first half of a
// 3.2 s cycle, eased, then back to 42.
double livePreviewRoamingLeftPct(double phase);
// The floating preview's bob: 0 → −2 points and back every 3 s.
double livePreviewFloatingY(double phase);

}  // namespace glimmet
