#pragma once

#include "ui/render_fixtures.hpp"

namespace glimmet {

// The text panel of a single-line request, with an answer half typed.
RenderFixture textPanelFixture();

}  // namespace glimmet
