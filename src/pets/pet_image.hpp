#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.hpp"
#include "model/pet_choice.hpp"

namespace glimmet {

// A decoded pet picture: rows top first, each pixel a native-endian 0xAARRGGBB word with the
// colours premultiplied by alpha (the layout cairo's ARGB32 surfaces draw from directly).
struct PetImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  uint32_t pixel(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Pet files come from the internet: anything larger is refused before it is read or decoded.
inline constexpr uint64_t kPetImageMaximumFileBytes = 32ull << 20;
inline constexpr int kPetImageMaximumDimension = 8192;
inline constexpr uint64_t kPetImageMaximumPixels = 40'000'000;

// Decodes WebP bytes; a reason naming `label` when they are not a WebP image, are too large or
// are damaged.
Result<PetImage> decodeWebPPetImage(const std::string& bytes, const std::string& label);

// The image at `path`, scaled down so that its long side is at most `maximumPixelDimension`
// (never scaled up). Scaling always starts from the full image, so a sprite sheet's cells stay
// aligned.
Result<PetImage> loadNormalizedPetImage(const std::string& path, int maximumPixelDimension);

// `image` scaled so its long side is `maximumPixelDimension`, averaging the source pixels each
// target pixel covers; unchanged when already small enough.
PetImage scaledDownPetImage(const PetImage& image, int maximumPixelDimension);

// What an image costs the cache: four bytes per pixel.
uint64_t petImageCacheCost(const PetImage& image);

// The pixel rectangle of one cell of a Codex sprite sheet of this size, cells of equal size in
// kCodexSpriteColumns × kCodexSpriteRows; cells at the right and bottom edge absorb rounding.
struct PetImageRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PetImageRect&) const = default;
};
PetImageRect codexSpriteCellRect(int sheetWidth, int sheetHeight, const CodexSpriteFrame& frame);

}  // namespace glimmet
