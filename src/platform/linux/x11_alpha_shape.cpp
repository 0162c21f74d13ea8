#include "platform/linux/x11_alpha_shape.hpp"

#include <cstdint>
#include <cstring>

namespace glimmet {

namespace {

struct Run {
  int start = 0;
  int length = 0;
  bool operator==(const Run&) const = default;
};

std::vector<Run> visibleRuns(const unsigned char* row, int width) {
  std::vector<Run> runs;
  int start = -1;
  for (int x = 0; x <= width; ++x) {
    bool visible = false;
    if (x < width) {
      uint32_t pixel = 0;
      std::memcpy(&pixel, row + static_cast<size_t>(x) * 4, sizeof(pixel));
      visible = (pixel >> 24) != 0;
    }
    if (visible && start < 0) start = x;
    if (!visible && start >= 0) {
      runs.push_back({start, x - start});
      start = -1;
    }
  }
  return runs;
}

}  // namespace

std::vector<PixelRect> visibleRectangles(const unsigned char* pixels, int width, int height,
                                         int stride) {
  std::vector<PixelRect> rectangles;
  if (!pixels || width <= 0 || height <= 0) return rectangles;
  std::vector<Run> previousRuns;
  size_t firstOfPrevious = 0;  // where the previous row's rectangles start in `rectangles`
  for (int y = 0; y < height; ++y) {
    std::vector<Run> runs = visibleRuns(pixels + static_cast<size_t>(y) * stride, width);
    if (y > 0 && !runs.empty() && runs == previousRuns) {
      for (size_t i = firstOfPrevious; i < rectangles.size(); ++i) ++rectangles[i].height;
      continue;
    }
    firstOfPrevious = rectangles.size();
    for (const Run& run : runs) rectangles.push_back({run.start, y, run.length, 1});
    previousRuns = std::move(runs);
  }
  return rectangles;
}

}  // namespace glimmet
