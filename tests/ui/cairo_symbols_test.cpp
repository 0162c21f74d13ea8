#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/cairo/image_surface.hpp"
#include "ui/cairo/text_engine.hpp"
#include "ui/cairo_test_support.hpp"
#include "ui/paint/symbols.hpp"

namespace glimmet {
namespace {

using testing::inkPixels;
using testing::scaled;

constexpr Symbol kAllSymbols[] = {Symbol::checkmark, Symbol::xmark,       Symbol::trash,
                                  Symbol::gearshape, Symbol::power,       Symbol::arrowUpForward,
                                  Symbol::eyeSlash,  Symbol::markAllRead, Symbol::bell,
                                  Symbol::clock};

TEST(CairoSymbolsTest, EachSymbolDrawsItsOwnShapeInsideItsBoxOnly) {
  auto text = sharedTextEngine();
  ASSERT_TRUE(text) << text.error();
  for (double scale : {1.0, 2.0}) {
    // A wide box: the symbol keeps its proportions, centred.
    for (const Rect box : {Rect{8, 8, 16, 16}, Rect{5, 9, 26, 13}}) {
      std::vector<std::string> drawings;
      for (Symbol symbol : kAllSymbols) {
        SCOPED_TRACE("symbol " + std::to_string(static_cast<int>(symbol)) + " scale " +
                     std::to_string(scale) + " box width " + std::to_string(box.width));
        auto image = renderToImage({36, 32}, scale, *text.value(), [&](Canvas& canvas) {
          drawSymbol(canvas, symbol, box, Color::white());
        });
        ASSERT_TRUE(image) << image.error();
        const Rect device = scaled(box, scale);
        EXPECT_EQ(inkPixels(image.value(), device, false), 0);
        const double area = device.width * device.height;
        EXPECT_GT(inkPixels(image.value(), device, true), area * 0.04);
        // It fits without the clip: big enough, the box's outermost pixels stay clear.
        const double side = std::min(device.width, device.height);
        if (side >= 24) {
          EXPECT_EQ(inkPixels(image.value(), device.insetBy(1, 1), false), 0);
        }
        // Centred: ink on both halves of the square the symbol is set in.
        const Rect square{device.midX() - side / 2, device.y + (device.height - side) / 2, side,
                          side};
        EXPECT_GT(inkPixels(image.value(), {square.x, square.y, side / 2, side}, true), 0);
        EXPECT_GT(inkPixels(image.value(), {square.midX(), square.y, side / 2, side}, true), 0);
        drawings.emplace_back(reinterpret_cast<const char*>(image.value().data()),
                              image.value().stride() * image.value().height());
      }
      for (size_t i = 0; i < drawings.size(); ++i) {
        for (size_t j = i + 1; j < drawings.size(); ++j) {
          EXPECT_NE(drawings[i], drawings[j]) << "symbols " << i << " and " << j << " look alike";
        }
      }
    }
  }
}

TEST(CairoSymbolsTest, AnEmptyBoxDrawsNothing) {
  auto text = sharedTextEngine();
  ASSERT_TRUE(text);
  auto image = renderToImage({20, 20}, 1, *text.value(), [](Canvas& canvas) {
    drawSymbol(canvas, Symbol::gearshape, {10, 10, 0, 8}, Color::white());
  });
  ASSERT_TRUE(image);
  EXPECT_EQ(inkPixels(image.value(), {0, 0, 20, 20}, true), 0);
}

}  // namespace
}  // namespace glimmet
