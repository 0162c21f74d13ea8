#pragma once

#include "ui/render_fixtures.hpp"

namespace glimmet {

// `fixtures` with the desktop companion's stills added: "companion-bubble" (a request waiting,
// said in the speech bubble) and "companion-roaming" (an agent at work, the label riding above
// the walking pet).
RenderFixtureMakers withCompanionRenderFixtures(RenderFixtureMakers fixtures);

}  // namespace glimmet
