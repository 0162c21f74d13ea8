// The capsule's shape and the places of everything in it.

#include "ui/view/collapsed_geometry.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

std::vector<Point> pathPoints(const Path& path) {
  std::vector<Point> points;
  for (const auto& element : path.elements()) {
    switch (element.verb) {
      case Path::Verb::move:
      case Path::Verb::line:
        points.push_back(element.points[0]);
        break;
      case Path::Verb::curve:
        points.insert(points.end(), {element.points[0], element.points[1], element.points[2]});
        break;
      case Path::Verb::close:
        break;
    }
  }
  return points;
}

void expectPoints(const std::vector<Point>& actual, const std::vector<Point>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i].x, expected[i].x, 1e-9) << "point " << i;
    EXPECT_NEAR(actual[i].y, expected[i].y, 1e-9) << "point " << i;
  }
}

TEST(CollapsedGeometry, HeightFollowsTheNotchOrTheMenuBar) {
  EXPECT_DOUBLE_EQ(collapsedOverlayHeight(DisplayKind::macBookPhysical, 0, 38), 37.3);
  EXPECT_DOUBLE_EQ(collapsedOverlayHeight(DisplayKind::macBookPhysical, 24, 37.5), 37.3);
  EXPECT_DOUBLE_EQ(collapsedOverlayHeight(DisplayKind::macBookPhysical, 0, 0), 32);
  // A shallow notch never makes the capsule lower than 32.
  EXPECT_DOUBLE_EQ(collapsedOverlayHeight(DisplayKind::macBookPhysical, 0, 30), 32);
  EXPECT_DOUBLE_EQ(collapsedOverlayHeight(DisplayKind::externalVirtual, 24, 0), 24);
  EXPECT_DOUBLE_EQ(collapsedOverlayHeight(DisplayKind::externalVirtual, 23.2, 0), 24);
  EXPECT_DOUBLE_EQ(collapsedOverlayHeight(DisplayKind::externalVirtual, 0, 0), 32);
  EXPECT_DOUBLE_EQ(collapsedOverlayHeight(DisplayKind::externalVirtual, -5, 38), 32);
  EXPECT_EQ(collapsedOverlaySize(DisplayKind::externalVirtual, 0, 0), (Size{332, 32}));
}

TEST(CollapsedGeometry, CapsulePathHidesItsTopAndRoundsItsBottom) {
  // External body: 322 x 32 at x 5.
  const Rect external{5, 0, 322, 32};
  const double r = 8;
  const double k = 0.45 * r;
  const Rect b{5.5, -1, 321, 32.5};
  expectPoints(pathPoints(topAttachedCapsulePath(external, r)), {{b.minX(), b.minY()},
                                                                 {b.maxX(), b.minY()},
                                                                 {b.maxX(), b.maxY() - r},
                                                                 {b.maxX(), b.maxY() - k},
                                                                 {b.maxX() - k, b.maxY()},
                                                                 {b.maxX() - r, b.maxY()},
                                                                 {b.minX() + r, b.maxY()},
                                                                 {b.minX() + k, b.maxY()},
                                                                 {b.minX(), b.maxY() - k},
                                                                 {b.minX(), b.maxY() - r}});
  EXPECT_EQ(topAttachedCapsulePath(external, r).elements().back().verb, Path::Verb::close);

  // MacBook body of a 37.3-pt capsule; a radius above the height is clamped to it.
  const Rect macBook{5, 0, 322, 37.3};
  const auto points = pathPoints(topAttachedCapsulePath(macBook, 100));
  const double clamped = 37.8;  // min(100, 321 / 2, 37.3 + 0.5)
  EXPECT_NEAR(points[2].y, 36.8 - clamped, 1e-9);
  EXPECT_NEAR(points[5].x, 326.5 - clamped, 1e-9);
  EXPECT_NEAR(points[6].x, 5.5 + clamped, 1e-9);
}

TEST(CollapsedGeometry, SurfaceHasShouldersOnExternalAndAStripOnMacBook) {
  const Rect bounds{0, 0, 332, 32};
  const Rect body = collapsedBodyRect(DisplayKind::externalVirtual, bounds);
  EXPECT_EQ(body, (Rect{5, 0, 322, 32}));
  const auto external = capsuleSurface(DisplayKind::externalVirtual, body, bounds);
  ASSERT_EQ(external.shoulders.size(), 2u);
  EXPECT_FALSE(external.strip);
  const double c = 0.5522847498 * 5;
  expectPoints(pathPoints(external.shoulders[0]),
               {{5, 0}, {0, 0}, {5 - 5 + c, 0}, {5, 5 - c}, {5, 5}});
  expectPoints(pathPoints(external.shoulders[1]),
               {{327, 0}, {332, 0}, {332 - c, 0}, {327, 5 - c}, {327, 5}});
  // A body that fills its window leaves no room for shoulders.
  EXPECT_TRUE(capsuleSurface(DisplayKind::externalVirtual, bounds, bounds).shoulders.empty());

  const auto macBook = capsuleSurface(DisplayKind::macBookPhysical, body, {0, 0, 332, 37.3});
  EXPECT_TRUE(macBook.shoulders.empty());
  ASSERT_TRUE(macBook.strip);
  EXPECT_EQ(*macBook.strip, (Rect{5, -1, 322, 2}));
  EXPECT_EQ(macBookCutoutRect(body), (Rect{51, 0, 230, 32}));
}

TEST(CollapsedGeometry, RectsOfTheExternalCapsule) {
  const Rect body{5, 0, 322, 32};
  EXPECT_EQ(petRect(DisplayKind::externalVirtual, 32), (Rect{15, 6, 20, 20}));
  const Rect macBookPet = petRect(DisplayKind::macBookPhysical, 37.3);
  EXPECT_EQ(macBookPet.x, 20);
  EXPECT_NEAR(macBookPet.y, 10.65, 1e-9);
  EXPECT_EQ(macBookPet.width, 16);
  EXPECT_EQ(externalCollapsedToolLogoRect(body), (Rect{51, 7, 16, 16}));
  const double textY = externalCollapsedTextY(body);
  EXPECT_DOUBLE_EQ(textY, 9.5);
  const Rect deadline = externalCollapsedDeadlineRect(body, textY);
  EXPECT_EQ(deadline, (Rect{227, 9.5, 92, 13}));
  // From logo.maxX + 8 = 75 to maxX - 74 with a trailing accessory, to maxX - 18 without.
  EXPECT_EQ(externalCollapsedStatusTextRect(body, textY, true), (Rect{75, 9.5, 178, 13}));
  EXPECT_EQ(externalCollapsedStatusTextRect(body, textY, false), (Rect{75, 9.5, 234, 13}));
  EXPECT_EQ(externalCollapsedStatusTextRect(body, textY, deadline), (Rect{75, 9.5, 146, 13}));
  EXPECT_EQ(externalCollapsedUsageTextRect(body, textY, deadline), (Rect{75, 9.5, 146, 13}));
  EXPECT_EQ(externalCollapsedUsageTextRect(body, textY, std::nullopt), (Rect{75, 9.5, 234, 13}));
  // Never narrower than 44, even when the accessory crowds it.
  const Rect crowding{80, 9.5, 92, 13};
  EXPECT_EQ(externalCollapsedStatusTextRect(body, textY, crowding).width, 44);
  EXPECT_EQ(externalCollapsedUsageTextRect(body, textY, crowding).width, 44);
  // The badge sits inside the 74-pt trailing slot.
  const Rect badge = externalCollapsedBadgeRect(body);
  EXPECT_EQ(badge.width, 38);
  EXPECT_EQ(badge.height, 18);
  EXPECT_GE(badge.minX(), body.maxX() - 74);
  EXPECT_LE(badge.maxX(), body.maxX());
}

TEST(CollapsedGeometry, MacBookStatusSitsRightOfTheNotch) {
  const Rect body{5, 0, 322, 37.3};
  const Rect cutout = macBookCutoutRect(body);
  const Rect status = macBookCollapsedStatusRect(body, cutout);
  EXPECT_DOUBLE_EQ(status.x, 281 - 22);
  EXPECT_DOUBLE_EQ(status.width, 62);  // 22 + 46 - 6
  EXPECT_DOUBLE_EQ(status.y, (37.3 - 13) / 2);
  EXPECT_DOUBLE_EQ(status.maxX(), body.maxX() - 6);
  // A cutout reaching the edge still leaves 48 points.
  EXPECT_DOUBLE_EQ(macBookCollapsedStatusRect(body, {100, 0, 227, 37.3}).width, 48);
}

TEST(CollapsedGeometry, StatusFontStepsDownAndStopsAt9Point5) {
  // 10 points of width per point of size per character: "abcd" at 11 pt is 440 wide.
  const TextMeasure measure = [](std::string_view text, const FontSpec& font) {
    return static_cast<double>(text.size()) * font.size * 10;
  };
  EXPECT_DOUBLE_EQ(externalCollapsedStatusFont("abcd", 440, measure).size, 11);
  EXPECT_DOUBLE_EQ(externalCollapsedStatusFont("abcd", 439, measure).size, 10.5);
  EXPECT_DOUBLE_EQ(externalCollapsedStatusFont("abcd", 400, measure).size, 10);
  EXPECT_DOUBLE_EQ(externalCollapsedStatusFont("abcd", 381, measure).size, 9.5);
  EXPECT_DOUBLE_EQ(externalCollapsedStatusFont("abcd", 1, measure).size, 9.5);
  EXPECT_DOUBLE_EQ(externalCollapsedStatusFont(std::string(5000, 'x'), 0, measure).size, 9.5);
  EXPECT_EQ(externalCollapsedStatusFont("abcd", 1, measure).weight, FontWeight::semibold);
}

}  // namespace
}  // namespace glimmet
