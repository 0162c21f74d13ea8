#pragma once

#include <string_view>
#include <vector>

namespace glimmet {

// `glimmet update check|download|install`: the About tab's update steps from the command line,
// printing its banners and rows. Exits 1 when a step failed.
int runUpdateCommand(const std::vector<std::string_view>& args);

}  // namespace glimmet
