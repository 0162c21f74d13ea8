#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/linux/x11_alpha_shape.hpp"

namespace glimmet {
namespace {

// Rows of '#' (opaque), '+' (half transparent, still visible) and '.' (transparent), stored
// with `padding` unused pixels after each row.
std::vector<unsigned char> picture(const std::vector<std::string>& rows, int padding) {
  const int width = static_cast<int>(rows[0].size());
  const int stride = (width + padding) * 4;
  std::vector<unsigned char> bytes(static_cast<size_t>(stride) * rows.size(), 0xFF);
  for (size_t y = 0; y < rows.size(); ++y) {
    for (int x = 0; x < width; ++x) {
      const char c = rows[y][static_cast<size_t>(x)];
      const uint32_t pixel = c == '#' ? 0xFF000000u : c == '+' ? 0x01010101u : 0x00000000u;
      std::memcpy(bytes.data() + y * static_cast<size_t>(stride) + static_cast<size_t>(x) * 4,
                  &pixel, 4);
    }
  }
  return bytes;
}

TEST(X11AlphaShape, RunsOfVisiblePixelsJoinedAcrossEqualRows) {
  const std::vector<std::string> rows{
      "..######..",  //
      ".########.",  //
      "##########",  //
      "##########",  //
      "####..###+",  //
      "..........",  //
      "..######..",
  };
  const auto bytes = picture(rows, 3);
  const auto rects = visibleRectangles(bytes.data(), 10, 7, (10 + 3) * 4);
  const std::vector<PixelRect> expected{
      {2, 0, 6, 1}, {1, 1, 8, 1}, {0, 2, 10, 2}, {0, 4, 4, 1}, {6, 4, 4, 1}, {2, 6, 6, 1},
  };
  EXPECT_EQ(rects, expected);

  const auto clear = picture({"....", "...."}, 0);
  EXPECT_TRUE(visibleRectangles(clear.data(), 4, 2, 16).empty());
  EXPECT_TRUE(visibleRectangles(nullptr, 4, 2, 16).empty());
}

}  // namespace
}  // namespace glimmet
