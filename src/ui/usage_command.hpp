#pragma once

#include <string_view>
#include <vector>

namespace glimmet {

// `glimmet usage [--json]`: for every supported AI tool, whether its usage may enter the
// capsule's carousel and why, the snapshot that decision rests on and the labels it would show.
int runUsageCommand(const std::vector<std::string_view>& args);

}  // namespace glimmet
