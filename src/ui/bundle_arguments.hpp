#pragma once

#include <string>
#include <vector>

namespace glimmet {

// The command line the Glimmet app bundle runs. Opened from the Finder, the Dock or `open`,
// the app gets no arguments (older macOS versions add one "-psn_…" process serial number) and
// starts the overlay as `glimmet run` would; started from a shell with a command, it runs that
// command like the glimmet binary.
std::vector<std::string> bundleCommandLine(const std::vector<std::string>& arguments);

}  // namespace glimmet
