#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/test_support.hpp"
#include "ui/cairo/image_comparison.hpp"
#include "ui/cairo/image_surface.hpp"
#include "ui/cairo/text_engine.hpp"
#include "ui/paint/symbols.hpp"

namespace glimmet {
namespace {

using testing::TempDir;

// Something like the collapsed capsule: shapes, translucent fills, text and a symbol.
void paintScene(Canvas& canvas) {
  canvas.fillPath(Path().addRoundedRect({10, 0, 312, 32}, 12), Color::black());
  canvas.strokePath(Path().addRoundedRect({10, 0, 312, 32}, 12), Color::white(0.2), 1);
  canvas.fillPath(Path().addEllipse({20, 8, 16, 16}), Color::rgb(245, 179, 1));
  canvas.drawText("Need approve: npm test ✅ שלום", {44, 9, 200, 14},
                  {11, FontWeight::semibold, false}, Color::white(), TextAlignment::left);
  canvas.fillPath(Path().addRoundedRect({270, 7, 38, 18}, 7), Color::rgb(245, 179, 1, 0.3));
  canvas.drawText("12", {290, 9, 16, 13}, {10.5, FontWeight::bold, true}, Color::white(),
                  TextAlignment::center);
  drawSymbol(canvas, Symbol::checkmark, {274, 9, 13, 13}, Color::white(0.8));
}

ImageSurface rendered(TextEngine& text, double scale = 2) {
  auto image = renderToImage({332, 32}, scale, text, paintScene);
  if (!image) throw std::runtime_error(image.error());
  return std::move(image.value());
}

std::string pixelBytes(const ImageSurface& image) {
  std::string bytes;
  for (int y = 0; y < image.height(); ++y) {
    bytes.append(reinterpret_cast<const char*>(image.data()) + y * image.stride(),
                 image.width() * 4);
  }
  return bytes;
}

TEST(CairoImageTest, TheSameDrawingGivesTheSamePngBytes) {
  TempDir dir;
  auto shared = sharedTextEngine();
  ASSERT_TRUE(shared) << shared.error();
  const ImageSurface first = rendered(*shared.value());
  EXPECT_EQ(first.width(), 664);
  EXPECT_EQ(first.height(), 64);
  EXPECT_GE(first.stride(), 664 * 4);
  ASSERT_TRUE(writePng(dir.file("first.png"), first));
  // Again with the layouts cached, and once more with a fresh engine that has none.
  ASSERT_TRUE(writePng(dir.file("second.png"), rendered(*shared.value())));
  auto files = findFontFiles(Environment::current());
  ASSERT_TRUE(files);
  auto fresh = TextEngine::create(files.value());
  ASSERT_TRUE(fresh);
  ASSERT_TRUE(writePng(dir.file("fresh.png"), rendered(*fresh.value())));

  const std::string firstBytes = testing::readText(dir.file("first.png"));
  EXPECT_GT(firstBytes.size(), 1000u);
  EXPECT_EQ(firstBytes.substr(1, 3), "PNG");
  EXPECT_EQ(firstBytes, testing::readText(dir.file("second.png")));
  EXPECT_EQ(firstBytes, testing::readText(dir.file("fresh.png")));
  struct stat info {};
  ASSERT_EQ(stat(dir.file("first.png").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  // Nothing left over from the atomic write.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);

  // Decoding gives back the very pixels, translucent ones included.
  auto decoded = readPng(dir.file("first.png"));
  ASSERT_TRUE(decoded) << decoded.error();
  EXPECT_EQ(pixelBytes(decoded.value()), pixelBytes(first));
  EXPECT_TRUE(compareWithPng(first, dir.file("first.png"), 0, 0, dir.file("diff.png")).passed);
  EXPECT_FALSE(std::filesystem::exists(dir.file("diff.png")));

  // Scale 1 is its own drawing at half the size, not a copy of scale 2.
  const ImageSurface small = rendered(*shared.value(), 1);
  EXPECT_EQ(small.width(), 332);
  EXPECT_EQ(small.height(), 32);
  EXPECT_FALSE(readPng(dir.file("missing.png")));
  testing::writeText(dir.file("broken.png"), firstBytes.substr(0, 100));
  EXPECT_FALSE(readPng(dir.file("broken.png")));
}

ImageSurface solid(int width, int height, uint32_t argb) {
  auto image = ImageSurface::create(width, height);
  if (!image) throw std::runtime_error(image.error());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.value().setPixel(x, y, argb);
  }
  return std::move(image.value());
}

TEST(CairoImageTest, ComparisonFindsChangesBeyondToleranceAndDrawsThem) {
  TempDir dir;
  const uint32_t grey = 0xFF606060;
  ASSERT_TRUE(writePng(dir.file("expected.png"), solid(20, 10, grey)));

  ImageSurface changed = solid(20, 10, grey);
  changed.setPixel(7, 3, 0xFF6A6060);  // red +10
  ASSERT_TRUE(writePng(dir.file("changed.png"), changed));
  ImageComparison beyond =
      comparePngs(dir.file("changed.png"), dir.file("expected.png"), 8, 0, dir.file("diff.png"));
  EXPECT_FALSE(beyond.passed);
  EXPECT_TRUE(beyond.error.empty()) << beyond.error;
  EXPECT_TRUE(beyond.sizesMatch);
  EXPECT_EQ(beyond.differingPixels, 1);
  EXPECT_DOUBLE_EQ(beyond.differingFraction, 1.0 / 200);
  EXPECT_EQ(beyond.diffPath, dir.file("diff.png"));
  EXPECT_NE(beyond.describe().find("1 pixels differ"), std::string::npos) << beyond.describe();
  auto diff = readPng(dir.file("diff.png"));
  ASSERT_TRUE(diff) << diff.error();
  ASSERT_EQ(diff.value().width(), 20);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) {
      const uint32_t pixel = diff.value().pixel(x, y);
      if (x == 7 && y == 3) {
        EXPECT_EQ(pixel, 0xFFFF0000u);
      } else {
        // Faded grey: opaque, lighter than the original, not red.
        EXPECT_EQ(pixel >> 24, 0xFFu);
        EXPECT_GT(pixel & 0xFF, 0x60u);
        EXPECT_EQ((pixel >> 16) & 0xFF, pixel & 0xFF);
      }
    }
  }
  // The same change is accepted when the allowed fraction covers it.
  EXPECT_TRUE(compareWithPng(changed, dir.file("expected.png"), 8, 0.01, "").passed);

  // Within tolerance: passes, and no diff image is written.
  ImageSurface close = solid(20, 10, grey);
  close.setPixel(0, 0, 0xFF686060);   // red +8
  close.setPixel(19, 9, 0xFF605858);  // green and blue -8
  ImageComparison within =
      compareWithPng(close, dir.file("expected.png"), 8, 0, dir.file("within-diff.png"));
  EXPECT_TRUE(within.passed) << within.describe();
  EXPECT_EQ(within.differingPixels, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("within-diff.png")));
  // Alpha counts like any channel.
  ImageSurface faded = solid(20, 10, grey);
  faded.setPixel(19, 9, 0xF0606060 & 0xF05A5A5A);
  EXPECT_EQ(compareWithPng(faded, dir.file("expected.png"), 8, 0, "").differingPixels, 1);

  // A different size fails even with every shared pixel equal, and the extra column is red.
  ImageComparison wider =
      compareWithPng(solid(21, 10, grey), dir.file("expected.png"), 8, 1, dir.file("size.png"));
  EXPECT_FALSE(wider.passed);
  EXPECT_FALSE(wider.sizesMatch);
  EXPECT_EQ(wider.actualWidth, 21);
  EXPECT_EQ(wider.expectedWidth, 20);
  EXPECT_EQ(wider.differingPixels, 10);
  EXPECT_NE(wider.describe().find("21x10 where 20x10"), std::string::npos) << wider.describe();
  auto sizeDiff = readPng(dir.file("size.png"));
  ASSERT_TRUE(sizeDiff);
  EXPECT_EQ(sizeDiff.value().pixel(20, 5), 0xFFFF0000u);
  EXPECT_NE(sizeDiff.value().pixel(19, 5), 0xFFFF0000u);

  // An unreadable expected image is an error, not a pass.
  ImageComparison missing = compareWithPng(close, dir.file("nope.png"), 8, 1, "");
  EXPECT_FALSE(missing.passed);
  EXPECT_NE(missing.error.find("nope.png"), std::string::npos);
}

TEST(CairoImageTest, ImpossibleSizesAreRefused) {
  EXPECT_FALSE(ImageSurface::create(-1, 10));
  EXPECT_FALSE(ImageSurface::create(40000, 10));
  auto shared = sharedTextEngine();
  ASSERT_TRUE(shared);
  EXPECT_FALSE(renderToImage({1e9, 10}, 2, *shared.value(), [](Canvas&) {}));
  auto rounded = renderToImage({10.2, 5}, 2, *shared.value(), [](Canvas&) {});
  ASSERT_TRUE(rounded);
  EXPECT_EQ(rounded.value().width(), 21);
  EXPECT_EQ(rounded.value().height(), 10);
}

}  // namespace
}  // namespace glimmet
