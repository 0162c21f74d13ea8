#pragma once

#include <string_view>
#include <vector>

namespace glimmet {

// `glimmet update check`: asks the update feed, as the About tab's "Check now" does, and prints
// the banner and the About rows. Exits 1 when the check failed.
int runUpdateCommand(const std::vector<std::string_view>& args);

}  // namespace glimmet
