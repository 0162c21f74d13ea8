#pragma once

#include <vector>

#include "platform/overlay_host.hpp"

namespace glimmet {

// The parts of premultiplied ARGB pixels (native byte order, alpha in the top byte) that are not
// fully transparent, as rectangles: one per run of visible pixels in a row, with equal runs of
// consecutive rows joined into one taller rectangle, so a capsule becomes a few dozen of them.
std::vector<PixelRect> visibleRectangles(const unsigned char* pixels, int width, int height,
                                         int stride);

}  // namespace glimmet
