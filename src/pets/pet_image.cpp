#include "pets/pet_image.hpp"

#include <webp/decode.h>

#include <algorithm>
#include <cmath>

#include "platform/file_system.hpp"

namespace glimmet {

namespace {

uint32_t premultiplied(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  const auto scale = [a](uint8_t channel) -> uint32_t { return (channel * a + 127) / 255; };
  return (uint32_t{a} << 24) | (scale(r) << 16) | (scale(g) << 8) | scale(b);
}

}  // namespace

Result<PetImage> decodeWebPPetImage(const std::string& bytes, const std::string& label) {
  if (bytes.size() > kPetImageMaximumFileBytes) {
    return Result<PetImage>::failure("Pet image " + label + " is larger than 32 MiB");
  }
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  int width = 0;
  int height = 0;
  if (!WebPGetInfo(data, bytes.size(), &width, &height)) {
    return Result<PetImage>::failure("Pet image " + label + " is not a WebP image");
  }
  if (width <= 0 || height <= 0 || width > kPetImageMaximumDimension ||
      height > kPetImageMaximumDimension ||
      static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kPetImageMaximumPixels) {
    return Result<PetImage>::failure("Pet image " + label + " is too large (" +
                                     std::to_string(width) + " × " + std::to_string(height) +
                                     " pixels)");
  }
  int decodedWidth = 0;
  int decodedHeight = 0;
  uint8_t* rgba = WebPDecodeRGBA(data, bytes.size(), &decodedWidth, &decodedHeight);
  if (rgba == nullptr) {
    return Result<PetImage>::failure("Pet image " + label + " could not be decoded: its " +
                                     std::to_string(width) + " × " + std::to_string(height) +
                                     " WebP data is damaged");
  }
  PetImage image;
  image.width = decodedWidth;
  image.height = decodedHeight;
  image.pixels.resize(static_cast<size_t>(decodedWidth) * decodedHeight);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    const uint8_t* p = rgba + i * 4;
    image.pixels[i] = premultiplied(p[0], p[1], p[2], p[3]);
  }
  WebPFree(rgba);
  return image;
}

Result<PetImage> loadNormalizedPetImage(const std::string& path, int maximumPixelDimension) {
  const auto metadata = fileMetadata(path);
  if (!metadata || metadata->kind != FileKind::regular) {
    return Result<PetImage>::failure("Pet image " + path + " is missing or not a file");
  }
  if (metadata->size > kPetImageMaximumFileBytes) {
    return Result<PetImage>::failure("Pet image " + path + " is larger than 32 MiB");
  }
  auto bytes = readFileReportingError(path);
  if (!bytes) return Result<PetImage>::failure(bytes.error());
  auto image = decodeWebPPetImage(bytes.value(), path);
  if (!image) return image;
  return scaledDownPetImage(image.value(), maximumPixelDimension);
}

PetImage scaledDownPetImage(const PetImage& image, int maximumPixelDimension) {
  const int longSide = std::max(image.width, image.height);
  if (maximumPixelDimension <= 0 || longSide <= maximumPixelDimension) return image;
  const double factor = static_cast<double>(maximumPixelDimension) / longSide;
  PetImage scaled;
  scaled.width = std::max(1, static_cast<int>(std::lround(image.width * factor)));
  scaled.height = std::max(1, static_cast<int>(std::lround(image.height * factor)));
  scaled.pixels.resize(static_cast<size_t>(scaled.width) * scaled.height);
  // Each target pixel averages the whole block of source pixels under it, so thin outlines of
  // pixel art fade rather than vanish.
  for (int y = 0; y < scaled.height; ++y) {
    const int y0 = static_cast<int>(static_cast<int64_t>(y) * image.height / scaled.height);
    const int y1 = std::max(
        y0 + 1, static_cast<int>(static_cast<int64_t>(y + 1) * image.height / scaled.height));
    for (int x = 0; x < scaled.width; ++x) {
      const int x0 = static_cast<int>(static_cast<int64_t>(x) * image.width / scaled.width);
      const int x1 = std::max(
          x0 + 1, static_cast<int>(static_cast<int64_t>(x + 1) * image.width / scaled.width));
      uint64_t sums[4] = {0, 0, 0, 0};
      for (int sy = y0; sy < y1; ++sy) {
        for (int sx = x0; sx < x1; ++sx) {
          const uint32_t p = image.pixel(sx, sy);
          for (int c = 0; c < 4; ++c) sums[c] += (p >> (c * 8)) & 0xff;
        }
      }
      const uint64_t count = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
      uint32_t out = 0;
      for (int c = 0; c < 4; ++c)
        out |= static_cast<uint32_t>((sums[c] + count / 2) / count) << (c * 8);
      scaled.pixels[static_cast<size_t>(y) * scaled.width + x] = out;
    }
  }
  return scaled;
}

uint64_t petImageCacheCost(const PetImage& image) {
  return static_cast<uint64_t>(std::max(0, image.width)) * std::max(0, image.height) * 4;
}

PetImageRect codexSpriteCellRect(int sheetWidth, int sheetHeight, const CodexSpriteFrame& frame) {
  const int column = std::clamp(frame.columnIndex, 0, kCodexSpriteColumns - 1);
  const int row = std::clamp(frame.rowIndex, 0, kCodexSpriteRows - 1);
  const auto edge = [](int extent, int index, int count) {
    return static_cast<int>(static_cast<int64_t>(extent) * index / count);
  };
  const int x0 = edge(sheetWidth, column, kCodexSpriteColumns);
  const int x1 = edge(sheetWidth, column + 1, kCodexSpriteColumns);
  const int y0 = edge(sheetHeight, row, kCodexSpriteRows);
  const int y1 = edge(sheetHeight, row + 1, kCodexSpriteRows);
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace glimmet
