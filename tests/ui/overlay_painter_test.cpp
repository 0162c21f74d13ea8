// What the painters draw, read back from a recording canvas.

#include "ui/paint/overlay_painter.hpp"

#include <gtest/gtest.h>

#include "ui/recording_canvas.hpp"
#include "ui/view/view_colors.hpp"
#include "ui/view_test_support.hpp"

namespace glimmet {
namespace {

using namespace viewtest;

Rect bounds(const Path& path) {
  double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
  for (const auto& element : path.elements()) {
    const int count = element.verb == Path::Verb::curve   ? 3
                      : element.verb == Path::Verb::close ? 0
                                                          : 1;
    for (int i = 0; i < count; ++i) {
      minX = std::min(minX, element.points[i].x);
      minY = std::min(minY, element.points[i].y);
      maxX = std::max(maxX, element.points[i].x);
      maxY = std::max(maxY, element.points[i].y);
    }
  }
  return {minX, minY, maxX - minX, maxY - minY};
}

bool sameRGB(Color a, Color b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

bool inside(const Rect& inner, const Rect& outer) {
  return inner.minX() >= outer.minX() - 1e-9 && inner.maxX() <= outer.maxX() + 1e-9 &&
         inner.minY() >= outer.minY() - 1e-9 && inner.maxY() <= outer.maxY() + 1e-9;
}

TEST(OverlayPainter, ApprovalCapsuleDrawsTheAmberBadge) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {waitingRequest("r1", PendingActionKind::permissionRequest)};
  const OverlayFrame frame =
      layoutOverlay(snapshot, OverlayViewState{}, DisplayKind::externalVirtual, 32, at(0));
  RecordingCanvas canvas;
  paintOverlay(canvas, frame);

  ASSERT_FALSE(canvas.fills.empty());
  EXPECT_EQ(canvas.fills[0].color, Color::black());  // the body comes first, in black
  bool badge = false;
  for (const auto& fill : canvas.fills) {
    if (!sameRGB(fill.color, Color::rgb(245, 179, 1)) || fill.color.alpha >= 1) continue;
    const Rect box = bounds(fill.path);
    if (std::abs(box.width - 38) < 1e-9 && std::abs(box.height - 18) < 1e-9) badge = true;
  }
  EXPECT_TRUE(badge) << "no translucent amber 38 x 18 badge";
  const auto* count = canvas.text("1");
  ASSERT_TRUE(count);
  EXPECT_EQ(count->color, Color::rgb(245, 179, 1));
  EXPECT_TRUE(count->font.monospacedDigits);
  EXPECT_EQ(count->font.weight, FontWeight::bold);
  const auto* label = canvas.text("Need approve");
  ASSERT_TRUE(label);
  EXPECT_TRUE(inside(label->box, frame.collapsed.textRect));
  EXPECT_LE(label->box.maxX(), frame.collapsed.badgeRect.minX());

  // Idle: no badge at all.
  RecordingCanvas idle;
  paintOverlay(idle, layoutOverlay(AppSnapshot{}, {}, DisplayKind::externalVirtual, 32, at(0)));
  for (const auto& fill : idle.fills) {
    EXPECT_FALSE(sameRGB(fill.color, Color::rgb(245, 179, 1)));
  }
  ASSERT_TRUE(idle.text("All clear"));
  EXPECT_DOUBLE_EQ(idle.text("All clear")->font.size, 11);
}

TEST(OverlayPainter, MacBookCapsuleShowsItsWordRightOfTheNotch) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {waitingRequest("r1", PendingActionKind::permissionRequest)};
  const OverlayFrame frame = layoutOverlay(snapshot, {}, DisplayKind::macBookPhysical, 37.3, at(0));
  EXPECT_EQ(frame.size, (Size{332, 37.3}));
  RecordingCanvas canvas;
  paintOverlay(canvas, frame);
  const auto* word = canvas.text("Approve");
  ASSERT_TRUE(word);
  EXPECT_EQ(word->color, Color::rgb(245, 179, 1));
  EXPECT_DOUBLE_EQ(word->font.size, 9.5);
  EXPECT_GE(word->box.minX(), frame.collapsed.cutout->maxX() - 22);
  bool strip = false;
  for (const auto& fill : canvas.fills) {
    if (bounds(fill.path) == Rect{5, -1, 322, 2}) strip = true;
  }
  EXPECT_TRUE(strip);
  EXPECT_FALSE(canvas.text("Need approve"));  // no long label in the wing
}

TEST(OverlayPainter, UsageCapsuleShowsTheResetAccessoryInTheSecondaryTone) {
  AppSnapshot snapshot;
  UsageSnapshot usage;
  usage.tool = "Claude Code";
  usage.toolID = "claude-code";
  usage.fiveHour = UsageMetric{"42% used", "12:56 PM", 42.0, std::nullopt, {}};
  usage.weekly = UsageMetric{"18% used", "", 18.0, std::nullopt, {}};
  snapshot.usageCarousel = {{"Claude", usage}};
  const OverlayFrame frame = layoutOverlay(snapshot, {}, DisplayKind::externalVirtual, 32, at(0));
  RecordingCanvas canvas;
  paintOverlay(canvas, frame);
  const auto* accessory = canvas.text("Resets 12:56 PM");
  ASSERT_TRUE(accessory);
  EXPECT_EQ(accessory->color, ViewColors::kSecondaryText);
  EXPECT_DOUBLE_EQ(accessory->font.size, 11);
  const auto* label = canvas.text("5h 42% used · 7d 18% used");
  ASSERT_TRUE(label);
  EXPECT_LE(label->box.maxX(), accessory->box.minX() - 6);
  // 25 bytes at 6 pt each do not fit 146 pt at 11 pt: the font steps down, not below 9.5.
  EXPECT_LT(label->font.size, 11);
  EXPECT_GE(label->font.size, 9.5);
}

TEST(OverlayPainter, HostileTextStaysInsideItsBoxes) {
  const std::string hostile = std::string(3000, 'W') + "\x01\x1b[31m\u202Eevil\u202C שלום 🚀🔥" +
                              std::string(500, ' ') + "end";
  AppSnapshot snapshot;
  snapshot.messages = {
      messageFromLine(R"({"event_id":"h1","source":"claude-code","event_type":"task_updated",)"
                      R"("title":")" +
                      std::string(2000, 'T') + R"( \u0007 \u202e ok 🚀","message":")" +
                      std::string(4000, 'm') + R"("})"),
      choiceMessage("c1")};
  PendingAction request = waitingRequest("r1", PendingActionKind::waitingChoice, "codex", "z");
  request.payload.options = std::vector<HookRequestOption>{{"x", hostile, std::nullopt}};
  request.payload.command = hostile;
  snapshot.waitingRequests = {request};
  OverlayViewState state;
  state.mode = OverlayMode::expanded;
  state.expandedChoiceMessageID = "r1";
  state.activeChoiceNote = hostile;
  const OverlayFrame frame =
      layoutOverlay(snapshot, state, DisplayKind::externalVirtual, 32, at(0));
  RecordingCanvas canvas;
  paintOverlay(canvas, frame);
  const Rect window{0, 0, frame.size.width, frame.size.height};
  ASSERT_GT(canvas.texts.size(), 10u);
  for (const auto& text : canvas.texts) {
    EXPECT_TRUE(inside(text.box, window)) << text.text.substr(0, 40);
  }
  for (const auto& card : frame.expanded.cards) {
    for (const Rect& box : {card.toolText, card.metaText, card.titleText, card.detailText}) {
      EXPECT_TRUE(inside(box, card.rect));
    }
    for (const auto& button : card.buttons) {
      EXPECT_TRUE(inside(button.rect, card.rect));
      EXPECT_LE(button.rect.maxX(), card.rect.maxX() - 12 + 1e-9);
    }
    if (card.choice) {
      for (const auto& pill : card.choice->layout.pills) {
        EXPECT_TRUE(inside(pill, card.choice->layout.body));
      }
    }
  }
  // The collapsed capsule with the same text.
  OverlayViewState collapsed;
  snapshot.waitingRequests.clear();
  RecordingCanvas small;
  const OverlayFrame capsule =
      layoutOverlay(snapshot, collapsed, DisplayKind::externalVirtual, 32, at(0));
  paintOverlay(small, capsule);
  for (const auto& text : small.texts) {
    EXPECT_TRUE(inside(text.box, capsule.collapsed.body)) << text.text.substr(0, 40);
  }
}

TEST(OverlayPainter, ExpandedPanelDrawsCardsButtonsAndRiskColours) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {
      waitingRequest("r1", PendingActionKind::permissionRequest, "claude_code", "sess-1")};
  snapshot.messages = {permissionMessage("p1", "sess-1", "high")};
  OverlayViewState state;
  state.mode = OverlayMode::expanded;
  state.pendingConfirmation = PendingConfirmation{"p1", "authorize"};
  state.banner = ViewBanner{"Click Authorize again to confirm", ViewColors::kApprovalAmber, {}};
  const OverlayFrame frame =
      layoutOverlay(snapshot, state, DisplayKind::externalVirtual, 32, at(0));
  RecordingCanvas canvas;
  paintOverlay(canvas, frame);
  for (const char* text :
       {"Authorize", "Always", "Deny", "Run Bash", "Glimmet", "Click Authorize again to confirm"}) {
    EXPECT_TRUE(canvas.text(text)) << text;
  }
  // The armed Authorize turns red; the card is outlined in its risk colour.
  bool armedFill = false;
  for (const auto& fill : canvas.fills) {
    if (fill.color == ViewColors::kErrorRed && bounds(fill.path).width < 80) armedFill = true;
  }
  EXPECT_TRUE(armedFill);
  bool outlined = false;
  for (const auto& stroke : canvas.strokes) {
    if (stroke.color == frame.expanded.cards[0].card.accent &&
        std::abs(bounds(stroke.path).width - 515) < 1) {
      outlined = true;
    }
  }
  EXPECT_TRUE(outlined);
}

}  // namespace
}  // namespace glimmet
