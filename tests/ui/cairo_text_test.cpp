#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <string>

#include "ui/cairo/cairo_canvas.hpp"
#include "ui/cairo/display_text.hpp"
#include "ui/cairo/image_surface.hpp"
#include "ui/cairo/text_engine.hpp"
#include "ui/cairo_test_support.hpp"

namespace glimmet {
namespace {

using testing::inkPixels;
using testing::scaled;

TextEngine& engine() {
  auto shared = sharedTextEngine();
  if (!shared) throw std::runtime_error(shared.error());
  return *shared.value();
}

constexpr FontSpec kStatusFont{11, FontWeight::semibold, false};

// One line of `text` in `box` on a transparent image of `size` points.
ImageSurface drawnLine(const std::string& text, Size size, const Rect& box, double scale,
                       TextAlignment alignment = TextAlignment::left) {
  auto image = renderToImage(size, scale, engine(), [&](Canvas& canvas) {
    canvas.drawText(text, box, kStatusFont, Color::white(), alignment);
  });
  if (!image) throw std::runtime_error(image.error());
  return std::move(image.value());
}

std::string repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(CairoTextTest, HostileTextIsCutToItsBoxAndNeverPaintsOutsideIt) {
  const Size size{200, 40};
  // 13 high: less than Inter's 11-point line, so the clip is what keeps the text inside.
  const Rect box{20, 12, 120, 13};
  const std::string arabic = "مرحبا بالعالم، هذا نص طويل جدا ";
  const std::string hebrew = "שלום עולם, זה טקסט ארוך מאוד ";
  const std::string cases[] = {
      repeated("Running npm test in /very/long/path ", 20),
      repeated(arabic, 8),
      repeated(hebrew, 8),
      repeated("🚀🔥✅ emoji ", 12),
      "Mixed " + arabic + " and " + hebrew + " and 🚀 " + repeated("x", 300),
      "line one\nline two\r\nthree\ttab\x01\x1b[31mred\x7f"
      "\xc2\x85"
      "next\xe2\x80\xa8" +
          repeated("w", 200),
      "\xff\xfe invalid bytes " + repeated("\xc3", 100),
  };
  for (double scale : {1.0, 2.0}) {
    for (const std::string& text : cases) {
      SCOPED_TRACE(text.substr(0, 40) + " at scale " + std::to_string(scale));
      const ImageSurface image = drawnLine(text, size, box, scale);
      EXPECT_EQ(inkPixels(image, scaled(box, scale), false), 0);
      EXPECT_GT(inkPixels(image, scaled(box, scale), true), 50);

      cairo_t* cairo = cairo_create(image.cairoSurface());
      PangoLayout* layout = engine().singleLineLayout(cairo, displayableText(text), kStatusFont,
                                                      box.width, TextAlignment::left);
      EXPECT_TRUE(pango_layout_is_ellipsized(layout));
      EXPECT_EQ(pango_layout_get_line_count(layout), 1);
      cairo_destroy(cairo);
    }
  }
}

TEST(CairoTextTest, ShortTextIsVerticallyCentredAndAlignedAsAsked) {
  const Size size{200, 40};
  const Rect box{20, 10, 160, 20};
  const auto inkBounds = [](const ImageSurface& image) {
    int minX = image.width(), maxX = -1, minY = image.height(), maxY = -1;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (!testing::hasInk(image.pixel(x, y))) continue;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
      }
    }
    return Rect{double(minX), double(minY), double(maxX - minX + 1), double(maxY - minY + 1)};
  };
  // Capital letters without descenders sit a little above the middle of the line box.
  const Rect left = inkBounds(drawnLine("HIH", size, box, 1, TextAlignment::left));
  EXPECT_NEAR(left.minX(), box.minX(), 2);
  EXPECT_NEAR(left.midY(), box.midY(), 2.5);
  const Rect right = inkBounds(drawnLine("HIH", size, box, 1, TextAlignment::right));
  EXPECT_NEAR(right.maxX(), box.maxX(), 2);
  const Rect centre = inkBounds(drawnLine("HIH", size, box, 1, TextAlignment::center));
  EXPECT_NEAR(centre.midX(), box.midX(), 1.5);
  EXPECT_EQ(left.width, right.width);
}

TEST(CairoTextTest, ControlCharactersAndLineBreaksBecomeSpaces) {
  EXPECT_EQ(displayableText("a\nb\r\nc\td\x01"
                            "e\x7f"
                            "f\xc2\x85g\xc2\x9fh\xe2\x80\xa8i\xe2\x80\xa9j"),
            "a b  c d e f g h i j");
  EXPECT_EQ(displayableText("ok \xe2\x9c\x85 é שלום"), "ok \xe2\x9c\x85 é שלום");
  EXPECT_EQ(displayableText("\xff"
                            "a\xe2\x82"),
            "\xef\xbf\xbd"
            "a\xef\xbf\xbd\xef\xbf\xbd");
  // Encoded C1 controls are controls; the same bytes as a broken sequence are not.
  EXPECT_EQ(displayableText("\xc2\x80"), " ");

  auto image = ImageSurface::create(10, 10);
  ASSERT_TRUE(image);
  cairo_t* cairo = cairo_create(image.value().cairoSurface());
  CairoCanvas canvas(cairo, 1, engine());
  const Size broken = canvas.measureText("first\nsecond", kStatusFont);
  EXPECT_EQ(broken, canvas.measureText("first second", kStatusFont));
  EXPECT_EQ(broken.height, canvas.measureText("first", kStatusFont).height);
  cairo_destroy(cairo);
}

TEST(CairoTextTest, MeasuresGrowWithTextSizeAndWeight) {
  TextEngine& text = engine();
  const FontSpec regular{11, FontWeight::regular, false};
  const double a = text.measure("Need", regular).width;
  const double ab = text.measure("Need approve", regular).width;
  EXPECT_GT(a, 10);
  EXPECT_GT(ab, a);
  EXPECT_GT(text.measure("Need approve", {13, FontWeight::regular, false}).width, ab);
  EXPECT_GT(text.measure("Need approve", {13, FontWeight::regular, false}).height,
            text.measure("Need approve", regular).height);
  const double medium = text.measure("Need approve", {11, FontWeight::medium, false}).width;
  const double semibold = text.measure("Need approve", {11, FontWeight::semibold, false}).width;
  const double bold = text.measure("Need approve", {11, FontWeight::bold, false}).width;
  EXPECT_LT(ab, medium);
  EXPECT_LT(medium, semibold);
  EXPECT_LT(semibold, bold);
  EXPECT_EQ(text.measure("", regular).width, 0);

  // Tabular digits: a count keeps its width as it changes.
  const FontSpec tabular{10.5, FontWeight::bold, true};
  EXPECT_EQ(text.measure("11", tabular).width, text.measure("00", tabular).width);
  const FontSpec proportional{10.5, FontWeight::bold, false};
  EXPECT_NE(text.measure("11", proportional).width, text.measure("00", proportional).width);
}

TEST(CairoTextTest, WrappedTextStopsAtItsLineLimit) {
  const std::string words = repeated("Claude wants to run a command in the repository. ", 12);
  const Rect box{10, 10, 150, 200};
  const FontSpec font{11, FontWeight::regular, false};
  double oneLine = 0, twoLines = 0, threeLines = 0;
  auto image = renderToImage({170, 220}, 2, engine(), [&](Canvas& canvas) {
    oneLine = canvas.drawWrappedText(words, box, font, Color::white(), 1);
    twoLines = canvas.drawWrappedText(words, box, font, Color::white(), 2);
    threeLines = canvas.drawWrappedText(words, box, font, Color::white(), 3);
  });
  ASSERT_TRUE(image) << image.error();
  EXPECT_NEAR(twoLines, 2 * oneLine, 0.5);
  EXPECT_NEAR(threeLines, 3 * oneLine, 0.5);
  EXPECT_EQ(inkPixels(image.value(), scaled(Rect{box.x, box.y, box.width, threeLines}, 2), false),
            0);

  // A short box cuts the text; nothing spills below it.
  const Rect shortBox{10, 10, 150, 20};
  auto clipped = renderToImage({170, 220}, 1, engine(), [&](Canvas& canvas) {
    EXPECT_LE(canvas.drawWrappedText(words, shortBox, font, Color::white(), 5), 20);
  });
  ASSERT_TRUE(clipped);
  EXPECT_EQ(inkPixels(clipped.value(), shortBox, false), 0);
}

}  // namespace
}  // namespace glimmet
