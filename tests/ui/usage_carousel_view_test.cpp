// The usage carousel on screen: one capsule entry per brand, and the open panel's top row that
// shows one brand at a time, turns every 4 s and stops turning once the user picks a brand.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "model/tool_catalog.hpp"

#include "ui/view/collapsed_ticker.hpp"
#include "ui/view/overlay_events.hpp"
#include "ui/view/overlay_frame.hpp"
#include "ui/view/panel_cards.hpp"
#include "ui/view/usage_rotation.hpp"
#include "ui/view/view_colors.hpp"
#include "ui/view_test_support.hpp"

namespace glimmet {
namespace {

using namespace viewtest;

UsageSnapshot quota(const std::string& toolID, double fiveHour, double weekly) {
  UsageSnapshot usage;
  usage.toolID = toolID;
  usage.fiveHour = UsageMetric{fmt::format("{:.0f}% used", fiveHour), "", fiveHour, {}, {}};
  usage.weekly = UsageMetric{fmt::format("{:.0f}% used", weekly), "", weekly, {}, {}};
  return usage;
}

UsageSnapshot tokensOnly(const std::string& toolID) {
  UsageSnapshot usage;
  usage.toolID = toolID;
  usage.tokens = UsageMetric{"12.4K tokens", "", std::nullopt, {}, {}};
  usage.label = "12.4K tokens";
  return usage;
}

AppSnapshot threeBrands() {
  AppSnapshot snapshot;
  snapshot.usageCarousel = {{"Codex", quota("codex-cli", 13, 40)},
                            {"Claude", quota("claude-code", 42, 18)},
                            {"Gemini CLI", tokensOnly("gemini-cli")}};
  return snapshot;
}

Point centreOfRect(const Rect& rect) {
  return {rect.x + rect.width / 2, rect.y + rect.height / 2};
}

const ClickTarget* usageTarget(const OverlayFrame& frame, const std::string& brand) {
  for (const auto& target : frame.targets) {
    if (target.role == TargetRole::kUsageTool && target.messageID == brand) return &target;
  }
  return nullptr;
}

TEST(UsageCarouselView, CapsuleQueueHasOneEntryPerBrandInCarouselOrderAfterMessages) {
  AppSnapshot snapshot = threeBrands();
  snapshot.messages = {statusMessage("m1", "Reading files")};
  const auto items = collapsedTickerItems(snapshot);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].kind, CollapsedTickerKind::message);
  EXPECT_EQ(items[1].tool, "Codex");
  EXPECT_EQ(items[1].label, "5h 13% used · 7d 40% used");
  EXPECT_EQ(items[2].tool, "Claude");
  EXPECT_EQ(items[3].tool, "Gemini CLI");
  EXPECT_EQ(items[3].label, "12.4K tokens");
  // A brand wears its first tool's colour rather than the grey of an unknown name.
  EXPECT_EQ(items[1].accent, toColor(toolColor("codex-cli")));
  EXPECT_EQ(items[2].accent, toColor(toolColor("claude-code")));
  // No eligible brand: the capsule never invents usage.
  EXPECT_EQ(collapsedTickerItems(AppSnapshot{}).front().label, "All clear");
}

TEST(UsageCarouselView, TopRowTurnsEveryFourSecondsWhileOpenAndWrapsRound) {
  const AppSnapshot snapshot = threeBrands();
  const auto brands = usageCarouselBrands(snapshot);
  OverlayViewState state;
  state.mode = OverlayMode::expanded;
  OverlayFrame frame = layoutOverlay(snapshot, state, DisplayKind::externalVirtual, 32, at(0));
  EXPECT_EQ(frame.expanded.toolText, "Codex");
  EXPECT_EQ(frame.expanded.usageText, "5h 13% · 7d 40%");

  // The first tick starts the clock; the turn falls due exactly 4 s later, not before.
  EXPECT_FALSE(handle(state, Tick{{}, brands}, 1, at(10)).redraw);
  EXPECT_EQ(nextWakeTime(state, 1, at(10), brands.size()), at(14));
  EXPECT_FALSE(handle(state, Tick{{}, brands}, 1, at(13.9)).redraw);
  EXPECT_TRUE(handle(state, Tick{{}, brands}, 1, at(14)).redraw);
  EXPECT_EQ(state.activeUsageTool, "Claude");
  frame = layoutOverlay(snapshot, state, DisplayKind::externalVirtual, 32, at(14));
  EXPECT_EQ(frame.expanded.usageText, "5h 42% · 7d 18%");
  handle(state, Tick{{}, brands}, 1, at(18));
  EXPECT_EQ(state.activeUsageTool, "Gemini CLI");
  frame = layoutOverlay(snapshot, state, DisplayKind::externalVirtual, 32, at(18));
  EXPECT_EQ(frame.expanded.usageText, "12.4K tokens");  // no quota: the tool's own summary
  handle(state, Tick{{}, brands}, 1, at(22));
  EXPECT_EQ(state.activeUsageTool, "Codex");

  // Collapsed, the capsule's queue carries every brand: the top row neither turns nor wakes.
  state.mode = OverlayMode::collapsed;
  EXPECT_FALSE(handle(state, Tick{{}, brands}, 1, at(40)).redraw);
  EXPECT_EQ(state.activeUsageTool, "Codex");
  EXPECT_EQ(nextWakeTime(state, 1, at(40), brands.size()), std::nullopt);
}

TEST(UsageCarouselView, PickingABrandPinsItAndAVanishedBrandFallsBackToTheFirst) {
  const AppSnapshot snapshot = threeBrands();
  const auto brands = usageCarouselBrands(snapshot);
  OverlayViewState state;
  state.mode = OverlayMode::expanded;
  OverlayFrame frame = layoutOverlay(snapshot, state, DisplayKind::externalVirtual, 32, at(0));
  // The brand's name steps on to the next brand.
  const ClickTarget* next = usageTarget(frame, "Claude");
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->rect, frame.expanded.status.toolText);
  handle(state, Click{centreOfRect(next->rect)}, frame, at(1));
  EXPECT_EQ(state.activeUsageTool, "Claude");
  EXPECT_TRUE(state.usageRotationPinnedByUser);
  EXPECT_FALSE(handle(state, Tick{{}, brands}, 1, at(100)).redraw);
  EXPECT_EQ(state.activeUsageTool, "Claude");
  EXPECT_EQ(nextWakeTime(state, 1, at(100), brands.size()), std::nullopt);

  // The pinned brand left the carousel: the row shows the first brand, whose name leads on.
  AppSnapshot fewer;
  fewer.usageCarousel = {snapshot.usageCarousel[0], snapshot.usageCarousel[2]};
  frame = layoutOverlay(fewer, state, DisplayKind::externalVirtual, 32, at(101));
  EXPECT_EQ(frame.expanded.toolText, "Codex");
  EXPECT_NE(usageTarget(frame, "Gemini CLI"), nullptr);

  // One brand left: nothing to turn to, and the active brand follows the carousel.
  AppSnapshot one;
  one.usageCarousel = {snapshot.usageCarousel[2]};
  EXPECT_TRUE(handle(state, Tick{{}, usageCarouselBrands(one)}, 1, at(102)).redraw);
  EXPECT_EQ(state.activeUsageTool, "Gemini CLI");
  frame = layoutOverlay(one, state, DisplayKind::externalVirtual, 32, at(102));
  EXPECT_EQ(frame.expanded.nextUsageTool, "Gemini CLI");
  size_t usageTargets = 0;
  for (const auto& target : frame.targets)
    usageTargets += target.role == TargetRole::kUsageTool ? 1 : 0;
  EXPECT_EQ(usageTargets, 1u);
  EXPECT_EQ(nextUsageTool({}, "Codex"), "");
  EXPECT_EQ(nextUsageTool({"A", "B"}, "gone"), "B");
}

}  // namespace
}  // namespace glimmet
