#pragma once

#include "ui/render_fixtures.hpp"

namespace glimmet {

// The settings panel's stills, one per tab: settings-general, settings-pets, settings-sounds,
// settings-ai-tools and settings-about.
void addSettingsRenderFixtures(RenderFixtureMakers& fixtures);

}  // namespace glimmet
