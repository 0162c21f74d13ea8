#pragma once

#include <functional>
#include <string_view>

#include "base/result.hpp"
#include "ui/paint/canvas.hpp"

namespace glimmet {

// The width of `text` on one line in `font`, in points, as a canvas of this thread would draw
// it; for layouts that must know the size of their window before there is a canvas.
using TextWidthMeasure = std::function<double(std::string_view text, const FontSpec& font)>;

// Measures with this thread's shared text engine; fails when no font files are installed.
Result<TextWidthMeasure> sharedTextWidthMeasure();

}  // namespace glimmet
