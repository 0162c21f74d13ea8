#include "ui/cairo/image_comparison.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace glimmet {

namespace {

constexpr uint32_t kDiffRed = 0xFFFF0000;
// How much of the actual image shows through the white of the diff image.
constexpr double kFadedOpacity = 0.3;

bool channelsDiffer(uint32_t a, uint32_t b, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(ca - cb) > tolerance) return true;
  }
  return false;
}

// The premultiplied pixel over white, faded towards white, as an opaque pixel.
uint32_t fadedOverWhite(uint32_t pixel) {
  const uint32_t alpha = pixel >> 24;
  uint32_t out = 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    const double over = ((pixel >> shift) & 0xFF) + (255.0 - alpha);
    const double faded = 255.0 - (255.0 - over) * kFadedOpacity;
    out |= static_cast<uint32_t>(std::clamp(faded + 0.5, 0.0, 255.0)) << shift;
  }
  return out;
}

// Reads pixels straight from the flushed bytes: the comparison visits every pixel.
class PixelReader {
 public:
  explicit PixelReader(const ImageSurface& image) : data_(image.data()), stride_(image.stride()) {}
  uint32_t at(int x, int y) const {
    uint32_t value;
    std::memcpy(&value, data_ + static_cast<size_t>(y) * stride_ + static_cast<size_t>(x) * 4, 4);
    return value;
  }

 private:
  const uint8_t* data_;
  int stride_;
};

ImageComparison unreadable(std::string error) {
  ImageComparison result;
  result.error = std::move(error);
  return result;
}

Status writeDiffImage(const std::string& path, const std::vector<uint32_t>& pixels, int width,
                      int height) {
  auto image = ImageSurface::create(width, height);
  if (!image) return Status::failure(image.error());
  uint8_t* data = image.value().data();
  for (int y = 0; y < height; ++y) {
    std::memcpy(data + static_cast<size_t>(y) * image.value().stride(),
                pixels.data() + static_cast<size_t>(y) * width, static_cast<size_t>(width) * 4);
  }
  cairo_surface_mark_dirty(image.value().cairoSurface());
  return writePng(path, image.value());
}

}  // namespace

std::string ImageComparison::describe() const {
  if (!error.empty()) return error;
  std::string text;
  if (!sizesMatch) {
    text = fmt::format("size {}x{} where {}x{} was expected; ", actualWidth, actualHeight,
                       expectedWidth, expectedHeight);
  }
  text += fmt::format("{} pixels differ ({:.3f}%)", differingPixels, differingFraction * 100);
  if (!diffPath.empty()) text += "; diff image: " + diffPath;
  return text;
}

ImageComparison compareImages(const ImageSurface& actual, const ImageSurface& expected,
                              int channelTolerance, double maxDifferingFraction,
                              const std::string& diffPath) {
  ImageComparison result;
  result.actualWidth = actual.width(), result.actualHeight = actual.height();
  result.expectedWidth = expected.width(), result.expectedHeight = expected.height();
  result.sizesMatch =
      result.actualWidth == result.expectedWidth && result.actualHeight == result.expectedHeight;
  const int width = std::max(result.actualWidth, result.expectedWidth);
  const int height = std::max(result.actualHeight, result.expectedHeight);
  const PixelReader actualPixels(actual), expectedPixels(expected);
  std::vector<uint32_t> diff(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool inActual = x < result.actualWidth && y < result.actualHeight;
      const bool inExpected = x < result.expectedWidth && y < result.expectedHeight;
      const uint32_t actualPixel = inActual ? actualPixels.at(x, y) : 0;
      const bool differs = !inActual || !inExpected ||
                           channelsDiffer(actualPixel, expectedPixels.at(x, y), channelTolerance);
      if (differs) ++result.differingPixels;
      diff[static_cast<size_t>(y) * width + x] = differs ? kDiffRed : fadedOverWhite(actualPixel);
    }
  }
  const int64_t total = static_cast<int64_t>(width) * height;
  result.differingFraction =
      total == 0 ? 0 : static_cast<double>(result.differingPixels) / static_cast<double>(total);
  result.passed = result.sizesMatch && result.differingFraction <= maxDifferingFraction;
  if (!result.passed && !diffPath.empty()) {
    Status written = writeDiffImage(diffPath, diff, width, height);
    if (written) {
      result.diffPath = diffPath;
    } else {
      result.error = written.error();
    }
  }
  return result;
}

ImageComparison compareWithPng(const ImageSurface& actual, const std::string& expectedPath,
                               int channelTolerance, double maxDifferingFraction,
                               const std::string& diffPath) {
  auto expected = readPng(expectedPath);
  if (!expected) return unreadable(expected.error());
  return compareImages(actual, expected.value(), channelTolerance, maxDifferingFraction, diffPath);
}

ImageComparison comparePngs(const std::string& actualPath, const std::string& expectedPath,
                            int channelTolerance, double maxDifferingFraction,
                            const std::string& diffPath) {
  auto actual = readPng(actualPath);
  if (!actual) return unreadable(actual.error());
  return compareWithPng(actual.value(), expectedPath, channelTolerance, maxDifferingFraction,
                        diffPath);
}

}  // namespace glimmet
