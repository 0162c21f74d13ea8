#pragma once

#include <cstdint>

#include "ui/cairo/image_surface.hpp"
#include "ui/view/geometry.hpp"

namespace glimmet::testing {

inline bool hasInk(uint32_t pixel) {
  return (pixel >> 24) != 0;
}

// Pixels with any alpha inside (or outside) `box`, given in device pixels.
inline int inkPixels(const ImageSurface& image, const Rect& box, bool inside) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const bool within = box.contains({x + 0.5, y + 0.5});
      if (within == inside && hasInk(image.pixel(x, y))) ++count;
    }
  }
  return count;
}

inline Rect scaled(const Rect& rect, double scale) {
  return {rect.x * scale, rect.y * scale, rect.width * scale, rect.height * scale};
}

}  // namespace glimmet::testing
