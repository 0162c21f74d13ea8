#pragma once

#include "ui/render_fixtures.hpp"

namespace glimmet {

// The first-run alert of a machine where the pets folder and the Claude Code hooks are both
// still to be set up.
RenderFixture startupPermissionAlertFixture();

}  // namespace glimmet
