// A press on the open panel's pet: where a click ends and a drag begins, where a drop counts as
// leaving the panel, and where the companion's window goes so its pet is under the pointer.

#include <gtest/gtest.h>

#include "ui/view/pet_drag_out.hpp"

namespace glimmet {
namespace {

OverlayFrame expandedWithPetAt(Rect pet) {
  OverlayFrame frame;
  frame.mode = OverlayMode::expanded;
  frame.expanded.pet = pet;
  return frame;
}

TEST(PetDragOut, OnlyAPressOnTheOpenPanelsPetStartsOneAndTwoPixelsAreStillAClick) {
  PetDragOutState state;
  OverlayFrame frame = expandedWithPetAt({20, 10, 30, 30});
  const Rect panel{100, 0, 540, 400};
  EXPECT_FALSE(beginPetPress(state, frame, {10, 10}, {110, 10}));  // beside the pet
  EXPECT_EQ(endPetPress(state, {110, 10}, panel), PetPressOutcome::none);
  frame.mode = OverlayMode::collapsed;
  EXPECT_FALSE(beginPetPress(state, frame, {30, 20}, {130, 20}));
  frame.mode = OverlayMode::expanded;

  // Two pixels on each axis: a click, wherever it was released.
  ASSERT_TRUE(beginPetPress(state, frame, {30, 20}, {130, 20}));
  movePetPress(state, {132, 22});
  EXPECT_EQ(endPetPress(state, {132, 22}, panel), PetPressOutcome::click);
  // The press is over: a stray release does nothing.
  EXPECT_EQ(endPetPress(state, {132, 22}, panel), PetPressOutcome::none);

  // Three pixels is a drag, even when the pointer comes back before it is released.
  ASSERT_TRUE(beginPetPress(state, frame, {30, 20}, {130, 20}));
  movePetPress(state, {130, 23});
  movePetPress(state, {130, 20});
  EXPECT_EQ(endPetPress(state, {130, 20}, panel), PetPressOutcome::dropOnPanel);

  // A release far away without any motion event in between still counts as the drag it was.
  ASSERT_TRUE(beginPetPress(state, frame, {30, 20}, {130, 20}));
  EXPECT_EQ(endPetPress(state, {700, 900}, panel), PetPressOutcome::dropOutside);
  // Just past the panel's right edge is outside; its last pixel column is inside.
  ASSERT_TRUE(beginPetPress(state, frame, {30, 20}, {130, 20}));
  EXPECT_EQ(endPetPress(state, {640, 20}, panel), PetPressOutcome::dropOutside);
  ASSERT_TRUE(beginPetPress(state, frame, {30, 20}, {130, 20}));
  EXPECT_EQ(endPetPress(state, {639, 20}, panel), PetPressOutcome::dropOnPanel);
}

TEST(PetDragOut, TheDroppedCompanionHasItsPetUnderThePointer) {
  for (const auto mode : {CompanionDisplayMode::floating, CompanionDisplayMode::bubble}) {
    for (const double scale : {0.75, 1.0, 1.6}) {
      const Point origin = companionDropOrigin({700, 900}, mode, scale);
      const Size size = companionSize(mode, scale);
      const Rect pet = companionPetContentRect({0, 0, size.width, size.height}, mode, scale);
      EXPECT_NEAR(origin.x + pet.midX(), 700, 0.5) << rawValue(mode) << " " << scale;
      EXPECT_NEAR(origin.y + pet.midY(), 900, 0.5) << rawValue(mode) << " " << scale;
    }
  }
}

}  // namespace
}  // namespace glimmet
