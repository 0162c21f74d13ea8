// The desktop companion's view rules: window sizes, label layout and words, the press that is a
// drag or a click, where a dropped window ends up and what is remembered of it.

#include <gtest/gtest.h>

#include "platform/user_defaults.hpp"
#include "support/test_support.hpp"
#include "ui/view/companion_frame.hpp"
#include "ui/view/companion_pointer.hpp"
#include "ui/view/companion_settings.hpp"

namespace glimmet {
namespace {

using testing::TempDir;
using PointerKind = CompanionPointerOutcome::Kind;

CompanionStatusItem item(CompanionStatusKind kind, std::string label) {
  CompanionStatusItem result;
  result.kind = kind;
  result.label = std::move(label);
  result.event.source = "claude-code";
  result.event.project = "glimmet";
  return result;
}

TEST(CompanionView, WindowSizesFollowModeAndClampedScale) {
  EXPECT_EQ(companionSize(CompanionDisplayMode::bubble, 2.0), (Size{294, 243}));
  EXPECT_EQ(companionSize(CompanionDisplayMode::floating, 2.0), (Size{294, 243}));
  EXPECT_EQ(companionSize(CompanionDisplayMode::floating, 1.6), (Size{294, 243}));
  EXPECT_EQ(companionSize(CompanionDisplayMode::bubble, 1.0), (Size{184, 152}));
  EXPECT_EQ(companionSize(CompanionDisplayMode::bubble, 0.1), (Size{138, 114}));
  EXPECT_EQ(companionSize(CompanionDisplayMode::roaming, 1.0), (Size{316, 150}));
  EXPECT_EQ(companionSize(CompanionDisplayMode::tucked, 1.0), (Size{156, 96}));
  EXPECT_EQ(companionSize(CompanionDisplayMode::tucked, 1.6), (Size{250, 154}));
  EXPECT_EQ(companionSize(CompanionDisplayMode::tucked, std::nan("")), (Size{156, 96}));
}

TEST(CompanionView, JumpLinesCollapseSpaceAndCutWithAContinuationMark) {
  EXPECT_EQ(companionJumpLine("abcdefghijklmnopqrst", 10), "abcdef...>");
  EXPECT_EQ(companionJumpLine("abcdefghij", 10), "abcdefghij");
  EXPECT_EQ(companionJumpLine("abcdefghijk", 10), "abcdef...>");
  EXPECT_EQ(companionJumpLine("  run\n\tthe   tests ", 40), "run the tests");
  EXPECT_EQ(companionJumpLine("", 10), "");
  EXPECT_EQ(companionJumpLine(" \n ", 10), "");
  EXPECT_EQ(companionJumpLine("anything", 4), "...>");
  EXPECT_EQ(companionJumpLine("abcdefgh", 5), "a...>");
  // Characters, not bytes: a cut never splits one.
  EXPECT_EQ(companionJumpLine("héllo wörld ünïcode", 10), "héllo ...>");
  EXPECT_EQ(companionJumpLines("abcdefghijklmnopqrst", "x  y", 10, 8),
            (CompanionLabelLines{"abcdef...>", "x y"}));

  EXPECT_EQ(companionLabelCharacterLimit(100, 12), 14);
  EXPECT_EQ(companionLabelCharacterLimit(10, 12), 8);
  EXPECT_EQ(companionLabelCharacterLimit(100, 5), 20);  // at least 5 per character
}

TEST(CompanionView, LabelRectsSitAboveOrBesideThePet) {
  const Rect floating{0, 0, 184, 152};
  const Rect pet = companionPetContentRect(floating, CompanionDisplayMode::floating, 1.0);
  EXPECT_EQ(pet.maxY(), 144);
  const auto rects = companionLabelRects(floating, pet, CompanionDisplayMode::floating);
  EXPECT_EQ(rects.title, (Rect{10, pet.minY() - 38, 164, 16}));
  EXPECT_EQ(rects.detail.y, rects.title.maxY() + 3);
  EXPECT_LE(rects.detail.maxY(), pet.minY());
  // A pet high up keeps the title inside the window.
  EXPECT_EQ(companionLabelRects(floating, {50, 10, 80, 80}, CompanionDisplayMode::bubble).title.y,
            4);

  // Roaming: as wide as the pet plus 52 but at least 118, kept 8 from either edge.
  const Rect roaming{0, 0, 316, 150};
  const auto atLeft = companionLabelRects(roaming, {0, 64, 80, 80}, CompanionDisplayMode::roaming);
  EXPECT_EQ(atLeft.title, (Rect{8, 30, 132, 15}));
  EXPECT_EQ(atLeft.detail, (Rect{8, 46, 132, 13}));
  const auto atRight =
      companionLabelRects(roaming, {290, 64, 20, 20}, CompanionDisplayMode::roaming);
  EXPECT_EQ(atRight.title.x, 316 - 118 - 8);
  EXPECT_EQ(atRight.title.y, 30);

  const Rect tucked{0, 0, 156, 96};
  const Rect tuckedPet = companionPetContentRect(tucked, CompanionDisplayMode::tucked, 1.0);
  const auto beside = companionLabelRects(tucked, tuckedPet, CompanionDisplayMode::tucked);
  EXPECT_EQ(beside.title, (Rect{tuckedPet.maxX() + 10, 32, 156 - tuckedPet.maxX() - 18, 16}));
  EXPECT_EQ(beside.detail.y, 50);

  const auto dark = companionLabelChrome(true);
  const auto light = companionLabelChrome(false);
  EXPECT_GT(dark.fill.red, light.fill.red);
}

TEST(CompanionView, LabelWordsForPlacementRoamingStatusAndState) {
  const auto approval = item(CompanionStatusKind::approval, "Approval needed");
  EXPECT_EQ(companionInlineLabel(true, CompanionDisplayMode::bubble, PetState::idle, approval),
            "Drag me anywhere, click to stay");
  EXPECT_EQ(companionInlineLabel(false, CompanionDisplayMode::roaming, PetState::idle, {}),
            "Out for a walk");
  EXPECT_EQ(
      companionInlineLabel(false, CompanionDisplayMode::roaming, PetState::approval, approval),
      "Approval needed");
  EXPECT_EQ(companionInlineLabel(false, CompanionDisplayMode::floating, PetState::done, {}),
            "Done");

  const auto lines = companionLabelLines(false, CompanionDisplayMode::bubble, PetState::approval,
                                         approval, 30, 30);
  EXPECT_EQ(lines.title, "Approval needed");
  EXPECT_EQ(lines.detail, "Claude Code · glimmet");

  CompanionViewInput input;
  input.scale = 2.0;
  input.status = approval;
  const CompanionFrame frame = layoutCompanion(input);
  EXPECT_EQ(frame.size, (Size{294, 243}));
  ASSERT_TRUE(frame.labelStatusItem);
  EXPECT_TRUE(
      frame.labelHitRect.contains({frame.labelRects.title.midX(), frame.labelRects.title.midY()}));
  EXPECT_FALSE(frame.labelHitRect.contains({frame.petRect.midX(), frame.petRect.midY()}));
  // While being placed the label is a hint, not a way to the message.
  input.placementMode = true;
  EXPECT_FALSE(layoutCompanion(input).labelStatusItem);
}

TEST(CompanionView, TickerRotatesThroughSeveralItemsAndBubbleFallbackWinsUntilItExpires) {
  const std::vector<CompanionStatusItem> items{item(CompanionStatusKind::approval, "a"),
                                               item(CompanionStatusKind::working, "b"),
                                               item(CompanionStatusKind::finished, "c")};
  const Timestamp start = *parseTimestamp("2026-05-11T09:00:00Z");
  const auto at = [&](double seconds) {
    return start + std::chrono::duration_cast<std::chrono::microseconds>(Seconds(seconds));
  };
  CompanionTicker ticker;
  EXPECT_EQ(rotateCompanionTicker(ticker, items, {}, at(0))->label, "a");
  EXPECT_EQ(rotateCompanionTicker(ticker, items, {}, at(2.9))->label, "a");
  EXPECT_EQ(rotateCompanionTicker(ticker, items, {}, at(3.0))->label, "b");
  EXPECT_EQ(rotateCompanionTicker(ticker, items, {}, at(6.0))->label, "c");
  EXPECT_EQ(rotateCompanionTicker(ticker, items, {}, at(9.0))->label, "a");
  // One item stays put; none falls back to the store's status.
  EXPECT_EQ(rotateCompanionTicker(ticker, {items[1]}, {}, at(20))->label, "b");
  EXPECT_EQ(rotateCompanionTicker(ticker, {}, items[2], at(30))->label, "c");
  EXPECT_FALSE(rotateCompanionTicker(ticker, {}, {}, at(40)));

  const CompanionBubbleFallback fallback{items[2], 10.0};
  EXPECT_EQ(companionBubbleStatus(items[0], fallback, 9.9)->label, "c");
  EXPECT_EQ(companionBubbleStatus(items[0], fallback, 10.0)->label, "a");
  EXPECT_EQ(companionBubbleStatus(items[0], std::nullopt, 0)->label, "a");
}

TEST(CompanionView, APressMovedMoreThanTwoPixelsIsADragAndLessIsAClick) {
  const Rect frame{1000, 700, 184, 152};
  const Rect label{10, 20, 164, 35};

  CompanionDragState state;
  companionMouseDown(state, {1100, 800}, frame);
  EXPECT_EQ(companionMouseDragged(state, {1101, 801}),
            (CompanionPointerOutcome{PointerKind::moveWindow, {1001, 701, 184, 152}}));
  EXPECT_EQ(companionMouseUp(state, {1101, 801}, {101, 101}, 1, label, false).kind,
            PointerKind::openPetSettings);
  // Two pixels is still a click; the window goes back to where it was.
  companionMouseDown(state, {1100, 800}, frame);
  companionMouseDragged(state, {1102, 798});
  EXPECT_EQ(companionMouseUp(state, {1102, 798}, {100, 100}, 1, label, false),
            (CompanionPointerOutcome{PointerKind::openPetSettings, frame}));

  // Three pixels is a drag, even when the pointer comes back before the release.
  companionMouseDown(state, {1100, 800}, frame);
  companionMouseDragged(state, {1103, 800});
  EXPECT_EQ(companionMouseUp(state, {1140, 840}, {100, 100}, 1, label, false),
            (CompanionPointerOutcome{PointerKind::persistFrame, {1040, 740, 184, 152}}));
  companionMouseDown(state, {1100, 800}, frame);
  companionMouseDragged(state, {1110, 800});
  EXPECT_EQ(companionMouseUp(state, {1100, 800}, {100, 100}, 1, label, false),
            (CompanionPointerOutcome{PointerKind::persistFrame, frame}));

  // A click on the label opens its item, also while placing; elsewhere placing ends.
  companionMouseDown(state, {1100, 800}, frame);
  EXPECT_EQ(companionMouseUp(state, {1100, 800}, {20, 30}, 1, label, true).kind,
            PointerKind::openStatus);
  companionMouseDown(state, {1100, 800}, frame);
  EXPECT_EQ(companionMouseUp(state, {1100, 800}, {20, 30}, 1, {}, true).kind,
            PointerKind::endPlacement);
  // The second click of a double click does nothing more.
  companionMouseDown(state, {1100, 800}, frame);
  EXPECT_EQ(companionMouseUp(state, {1100, 800}, {100, 100}, 2, label, false).kind,
            PointerKind::none);
  // A release without its press (it began on another window) is nothing.
  EXPECT_EQ(companionMouseUp(state, {1100, 800}, {100, 100}, 1, label, false).kind,
            PointerKind::none);
  EXPECT_EQ(companionMouseDragged(state, {1200, 900}).kind, PointerKind::none);
}

TEST(CompanionView, DroppedFramesLandOnTheScreenTheyOverlapMost) {
  const std::vector<Rect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  EXPECT_EQ(clampCompanionFrame({1800, 1000, 184, 152}, screens), (Rect{1736, 928, 184, 152}));
  EXPECT_EQ(clampCompanionFrame({1900, 100, 184, 152}, screens), (Rect{1920, 100, 184, 152}));
  EXPECT_EQ(clampCompanionFrame({-500, -500, 184, 152}, screens), (Rect{0, 0, 184, 152}));
  EXPECT_EQ(clampCompanionFrame({3500, 2000, 184, 152}, screens),
            (Rect{3200 - 184, 1024 - 152, 184, 152}));
  EXPECT_EQ(clampCompanionFrame({500, 500, 184, 152}, {}), (Rect{500, 500, 184, 152}));

  CompanionRoamingWalk walk{100, 1};
  stepCompanionRoamingWalk(walk, 1.0, 0, 200);
  EXPECT_EQ(walk.x, 100 + CompanionRoamingWalk::kSpeed);
  stepCompanionRoamingWalk(walk, 10.0, 0, 200);
  EXPECT_EQ(walk.x, 200);
  EXPECT_EQ(walk.direction, -1);
  stepCompanionRoamingWalk(walk, 1.0, 0, 200);
  EXPECT_EQ(walk.x, 200 - CompanionRoamingWalk::kSpeed);
  stepCompanionRoamingWalk(walk, 100.0, 0, 200);
  EXPECT_EQ(walk.x, 0);
  EXPECT_EQ(walk.direction, 1);
}

TEST(CompanionView, SettingsReadLenientlyAndOnlyAPlacedWindowRemembersItsOrigin) {
  TempDir home;
  const std::string path = home.path() + "/defaults.json";
  {
    JsonFileUserDefaults defaults(path);
    const auto fresh = loadCompanionSettings(defaults);
    EXPECT_FALSE(fresh.enabled);
    EXPECT_EQ(fresh.mode, CompanionDisplayMode::bubble);
    EXPECT_EQ(fresh.scale, 1.0);
    EXPECT_TRUE(fresh.reduceMotion);
    EXPECT_FALSE(fresh.origin);

    ASSERT_TRUE(defaults.setValues(Json{{"companionDisplayMode", "sideways"},
                                        {"floatingPetScale", "2.5"},
                                        {"reduceMotion", "off"}}));
    const auto odd = loadCompanionSettings(defaults);
    EXPECT_EQ(odd.mode, CompanionDisplayMode::bubble);
    EXPECT_EQ(odd.scale, 1.6);
    EXPECT_FALSE(odd.reduceMotion);

    ASSERT_TRUE(storeCompanionOrigin(defaults, CompanionDisplayMode::floating, {40, 60}));
    ASSERT_TRUE(storeCompanionOrigin(defaults, CompanionDisplayMode::roaming, {900, 900}));
    ASSERT_TRUE(applyCompanionDragOutDefaults(defaults));
  }
  JsonFileUserDefaults reread(path);
  const auto settings = loadCompanionSettings(reread);
  EXPECT_TRUE(settings.enabled);
  EXPECT_EQ(settings.mode, CompanionDisplayMode::floating);
  ASSERT_TRUE(settings.origin);
  EXPECT_EQ(*settings.origin, (Point{40, 60}));
}

}  // namespace
}  // namespace glimmet
