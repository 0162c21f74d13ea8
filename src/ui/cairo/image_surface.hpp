#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/result.hpp"
#include "ui/cairo/text_engine.hpp"
#include "ui/paint/canvas.hpp"

namespace glimmet {

// An owned cairo image surface in ARGB32: each pixel one native-endian 32-bit word, alpha in
// the top byte, colours premultiplied by alpha. These are the bytes a window host presents.
class ImageSurface {
 public:
  // Cleared to transparent. Fails for sizes cairo cannot make (negative, above 32767).
  static Result<ImageSurface> create(int width, int height);
  ImageSurface(ImageSurface&& other) noexcept;
  ImageSurface& operator=(ImageSurface&& other) noexcept;
  ImageSurface(const ImageSurface&) = delete;
  ImageSurface& operator=(const ImageSurface&) = delete;
  ~ImageSurface();

  int width() const;
  int height() const;
  int stride() const;  // bytes from one row to the next
  // Valid after drawing has been flushed (the accessors flush).
  const uint8_t* data() const;
  uint8_t* data();
  // Premultiplied 0xAARRGGBB.
  uint32_t pixel(int x, int y) const;
  void setPixel(int x, int y, uint32_t argb);
  cairo_surface_t* cairoSurface() const { return surface_; }

 private:
  explicit ImageSurface(cairo_surface_t* surface) : surface_(surface) {}
  friend Result<ImageSurface> readPng(const std::string& path);
  cairo_surface_t* surface_;
};

// `paint` drawn on a transparent surface of `points` times `scale` device pixels (rounded up).
Result<ImageSurface> renderToImage(Size points, double scale, TextEngine& text,
                                   const std::function<void(Canvas&)>& paint);
// The same with this thread's shared text engine; fails when no font files are installed.
Result<ImageSurface> renderToImage(Size points, double scale,
                                   const std::function<void(Canvas&)>& paint);

// Written through a temporary file and a rename, so a reader never sees half a PNG.
Status writePng(const std::string& path, const ImageSurface& image);
// Any PNG cairo reads, converted to ARGB32.
Result<ImageSurface> readPng(const std::string& path);

}  // namespace glimmet
