#pragma once

#include <string_view>
#include <vector>

namespace glimmet {

// `glimmet render --list` and `glimmet render --out DIR [NAME...] [--scale N]`: draws the
// overlay's fixtures to DIR/NAME.png with DIR/NAME.json (mode, size, click targets).
int runRenderCommand(const std::vector<std::string_view>& args);

}  // namespace glimmet
