#pragma once

#include <cstdint>
#include <string>

#include "ui/cairo/image_surface.hpp"

namespace glimmet {

struct ImageComparison {
  bool passed = false;
  // Set when an image could not be read; nothing else is then meaningful.
  std::string error;
  bool sizesMatch = false;
  int actualWidth = 0, actualHeight = 0;
  int expectedWidth = 0, expectedHeight = 0;
  // Pixels where some premultiplied channel differs by more than the tolerance; every pixel
  // outside the smaller image counts when the sizes differ.
  int64_t differingPixels = 0;
  double differingFraction = 0;
  // The diff image written on failure, or empty.
  std::string diffPath;

  // One line for a test failure: sizes, the differing count and where the diff image is.
  std::string describe() const;
};

// Decoded pixels of `actual` against the PNG at `expectedPath`. Passes when the sizes match and
// at most `maxDifferingFraction` of the pixels differ by more than `channelTolerance` (0-255) in
// some channel. On failure, and when `diffPath` is not empty, writes there a diff image:
// differing pixels in red over a faded copy of the actual image.
ImageComparison compareWithPng(const ImageSurface& actual, const std::string& expectedPath,
                               int channelTolerance, double maxDifferingFraction,
                               const std::string& diffPath);
ImageComparison comparePngs(const std::string& actualPath, const std::string& expectedPath,
                            int channelTolerance, double maxDifferingFraction,
                            const std::string& diffPath);
ImageComparison compareImages(const ImageSurface& actual, const ImageSurface& expected,
                              int channelTolerance, double maxDifferingFraction,
                              const std::string& diffPath);

}  // namespace glimmet
