#pragma once

#include <webp/encode.h>

#include <cstdint>
#include <string>
#include <vector>

namespace glimmet::testing {

// A lossless WebP of `width` × `height` straight RGBA pixels produced by `pixel(x, y)`, a
// 0xRRGGBBAA word.
template <class PixelFunction>
std::string encodeWebP(int width, int height, PixelFunction pixel) {
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = pixel(x, y);
      uint8_t* out = &rgba[(static_cast<size_t>(y) * width + x) * 4];
      out[0] = static_cast<uint8_t>(p >> 24);
      out[1] = static_cast<uint8_t>(p >> 16);
      out[2] = static_cast<uint8_t>(p >> 8);
      out[3] = static_cast<uint8_t>(p);
    }
  }
  uint8_t* encoded = nullptr;
  const size_t size = WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &encoded);
  std::string bytes(reinterpret_cast<const char*>(encoded), size);
  WebPFree(encoded);
  return bytes;
}

inline std::string solidWebP(int width, int height, uint32_t rgba) {
  return encodeWebP(width, height, [rgba](int, int) { return rgba; });
}

}  // namespace glimmet::testing
