#pragma once

#include "platform/overlay_host.hpp"
#include "ui/cairo/image_surface.hpp"

namespace glimmet {

// A drawn picture as a window's content; the pixels stay owned by `pixels`, which must outlive
// the present call. The whole window takes the pointer unless the caller narrows it.
inline HostWindowContent windowContentOf(const ImageSurface& pixels) {
  HostWindowContent content;
  content.width = pixels.width();
  content.height = pixels.height();
  content.stride = pixels.stride();
  content.pixels = pixels.data();
  content.inputRegion = {{0, 0, content.width, content.height}};
  return content;
}

}  // namespace glimmet
