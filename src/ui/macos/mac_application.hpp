#pragma once

#include "base/environment.hpp"

namespace glimmet {

// The Glimmet app on macOS: the same core, overlay and banners as `glimmet run`, inside the
// application object, launched in the fixed order of the launch sequence once AppKit has
// finished launching. Returns the process's exit status.
int runMacApplication(const Environment& environment);

}  // namespace glimmet
