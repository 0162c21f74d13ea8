// The view's answers to clicks, keys, hover and time: which command, which mode, which banner.

#include "ui/view/overlay_events.hpp"

#include <gtest/gtest.h>

#include "ui/view/hover_rules.hpp"
#include "ui/view_test_support.hpp"

namespace glimmet {
namespace {

using namespace viewtest;

OverlayFrame frameFor(const AppSnapshot& snapshot, const OverlayViewState& state,
                      Timestamp now = at(0)) {
  return layoutOverlay(snapshot, state, DisplayKind::externalVirtual, 32, now);
}

const ClickTarget& target(const OverlayFrame& frame, const std::string& role,
                          const std::string& id = {}) {
  for (const auto& candidate : frame.targets) {
    if (candidate.role == role && (id.empty() || candidate.messageID == id)) return candidate;
  }
  ADD_FAILURE() << "no target " << role << " " << id;
  static const ClickTarget none;
  return none;
}

Point centre(const Rect& rect) {
  return {rect.midX(), rect.midY()};
}

OverlayIntent click(OverlayViewState& state, const AppSnapshot& snapshot, Point point,
                    Timestamp now = at(0)) {
  return handle(state, Click{point}, frameFor(snapshot, state, now), now);
}

OverlayIntent clickRole(OverlayViewState& state, const AppSnapshot& snapshot,
                        const std::string& role, const std::string& id = {},
                        Timestamp now = at(0)) {
  const OverlayFrame frame = frameFor(snapshot, state, now);
  return handle(state, Click{centre(target(frame, role, id).rect)}, frame, now);
}

OverlayViewState expanded() {
  OverlayViewState state;
  state.mode = OverlayMode::expanded;
  return state;
}

TEST(OverlayEvents, OneBashRequestHasTheTargetsTheUserNeeds) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {waitingRequest("r1", PendingActionKind::permissionRequest)};
  const OverlayFrame frame = frameFor(snapshot, expanded());
  EXPECT_EQ(frame.size, (Size{540, 317}));
  std::vector<std::string> roles;
  for (const auto& t : frame.targets) roles.push_back(t.role);
  // Hit-test order: quit, settings, clear page, clear all, then the card's buttons.
  EXPECT_EQ(roles, (std::vector<std::string>{"quit", "settings", "clear_page", "clear_all",
                                             "authorize", "always", "reject"}));
  EXPECT_EQ(target(frame, "authorize").messageID, "r1");
  for (const auto& t : frame.targets) {
    EXPECT_GE(t.rect.minX(), 0);
    EXPECT_LE(t.rect.maxX(), frame.size.width);
    EXPECT_LE(t.rect.maxY(), frame.size.height);
  }
  const std::string json = overlayStateJson(frame, "HDMI-1");
  // The open panel says where its pet is, for a press that drags the pet out.
  EXPECT_EQ(
      json.rfind(
          R"({"mode":"expanded","pet":[16.0,6.0,20.0,20.0],"screen":"HDMI-1","size":[540.0,317.0],)",
          0),
      0u)
      << json;
  EXPECT_NE(json.find(R"({"messageID":"r1","rect":[)"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("ticker":{"kind":"approval","text":"Need approve","tool":"Claude Code"})"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"({"rect":[507.0,292.0,20.0,20.0],"role":"quit"})"), std::string::npos)
      << json;
}

TEST(OverlayEvents, CollapsedAndSettingsFrames) {
  AppSnapshot snapshot;
  snapshot.messages = {statusMessage("m1", R"(Working \"hard\")")};
  const OverlayFrame collapsed = frameFor(snapshot, OverlayViewState{});
  EXPECT_EQ(collapsed.size, (Size{332, 32}));
  EXPECT_TRUE(collapsed.targets.empty());
  EXPECT_EQ(overlayStateJson(collapsed, "eDP-1"),
            R"({"mode":"collapsed","screen":"eDP-1","size":[332.0,32.0],"targets":[],)"
            R"("ticker":{"kind":"message","text":"Working \"hard\"","tool":"Claude Code"}})");
  EXPECT_EQ(expandedSizeFor(snapshot, {}, at(0)), (Size{540, 317}));
  EXPECT_EQ(expandedSizeFor(AppSnapshot{}, {}, at(0)), (Size{540, 260}));

  OverlayViewState settings;
  settings.mode = OverlayMode::settings;
  const OverlayFrame frame = frameFor(snapshot, settings);
  EXPECT_EQ(frame.size, (Size{860, 780}));
  EXPECT_EQ(frame.targets.front().role, "quit");
  // A click on the capsule opens the panel at once.
  OverlayViewState state;
  EXPECT_EQ(click(state, snapshot, {100, 10}).mode, OverlayMode::expanded);
  EXPECT_EQ(state.mode, OverlayMode::expanded);
}

TEST(OverlayEvents, HitTestOrderAndTheSettingsCorner) {
  AppSnapshot snapshot;
  snapshot.messages = {statusMessage("m1", "Working")};
  OverlayViewState state = expanded();
  // Anywhere in the 72 x 42 corner opens settings, never quits.
  for (const Point p : {Point{469, 1}, Point{539, 41}, Point{517, 17}}) {
    OverlayViewState fresh = expanded();
    const auto intent = click(fresh, snapshot, p);
    EXPECT_EQ(intent.kind, OverlayIntent::Kind::openSettings) << p.x << "," << p.y;
    EXPECT_EQ(fresh.mode, OverlayMode::settings);
  }
  EXPECT_EQ(click(state, snapshot, {467, 20}).kind, OverlayIntent::Kind::none);
  EXPECT_EQ(click(state, snapshot, {539, 42}).kind, OverlayIntent::Kind::none);
  EXPECT_EQ(clickRole(state, snapshot, "quit").kind, OverlayIntent::Kind::quit);

  // Where targets overlap, the earlier one in the order wins.
  OverlayFrame frame = frameFor(snapshot, state);
  frame.targets.insert(frame.targets.begin() + 1, {"usage_tool", "Claude Code", {460, 0, 80, 20}});
  EXPECT_EQ(expandedClickTarget(frame, {500, 10})->role, "usage_tool");
  EXPECT_EQ(expandedClickTarget(frame, {500, 30})->role, "settings");
  EXPECT_EQ(expandedClickTarget(frame, {5, 5}), nullptr);
}

TEST(OverlayEvents, HighRiskAuthorizeAsksTwiceAndAnyOtherClickDisarms) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {
      waitingRequest("r1", PendingActionKind::permissionRequest, "claude_code", "sess-1")};
  snapshot.messages = {permissionMessage("p1", "sess-1", "high")};
  OverlayViewState state = expanded();

  auto intent = clickRole(state, snapshot, "authorize", "p1");
  EXPECT_EQ(intent.kind, OverlayIntent::Kind::none);
  ASSERT_TRUE(state.pendingConfirmation);
  EXPECT_EQ(*state.pendingConfirmation, (PendingConfirmation{"p1", "authorize"}));
  OverlayFrame frame = frameFor(snapshot, state, at(30));
  ASSERT_TRUE(frame.banner);
  EXPECT_EQ(frame.banner->text, "Click Authorize again to confirm");
  EXPECT_TRUE(frame.card("p1")->buttons[0].armed);

  // A click on empty panel space disarms; the next Authorize arms again instead of executing.
  click(state, snapshot, {5, 120});
  EXPECT_FALSE(state.pendingConfirmation);
  EXPECT_FALSE(frameFor(snapshot, state).banner);
  EXPECT_EQ(clickRole(state, snapshot, "authorize", "p1").kind, OverlayIntent::Kind::none);
  // Another button disarms too (and Always arms its own confirmation).
  clickRole(state, snapshot, "always", "p1");
  EXPECT_EQ(state.pendingConfirmation, (PendingConfirmation{"p1", "always"}));
  clickRole(state, snapshot, "authorize", "p1");
  EXPECT_EQ(state.pendingConfirmation, (PendingConfirmation{"p1", "authorize"}));

  intent = clickRole(state, snapshot, "authorize", "p1");
  EXPECT_EQ(intent.kind, OverlayIntent::Kind::sendCommand);
  ASSERT_TRUE(intent.command);
  const auto& decide = std::get<Command::Decide>(*intent.command);
  EXPECT_EQ(decide.requestID, "r1");
  EXPECT_EQ(decide.decision, allowDecision(UserDecision::Mode::once));
  EXPECT_FALSE(state.pendingConfirmation);
  EXPECT_FALSE(frameFor(snapshot, state).banner);

  // Medium risk executes at once, and Deny never asks.
  AppSnapshot medium;
  medium.waitingRequests = {waitingRequest("r2", PendingActionKind::permissionRequest)};
  OverlayViewState other = expanded();
  EXPECT_EQ(clickRole(other, medium, "authorize").kind, OverlayIntent::Kind::sendCommand);
  intent = clickRole(state, snapshot, "reject", "p1");
  ASSERT_EQ(intent.kind, OverlayIntent::Kind::sendCommand);
  EXPECT_EQ(std::get<Command::Decide>(*intent.command).decision, denyDecision());
}

TEST(OverlayEvents, EscapeClosesTheChoiceThenThePanel) {
  AppSnapshot snapshot;
  snapshot.messages = {choiceMessage("c1")};
  OverlayViewState state = expanded();
  clickRole(state, snapshot, "choose_option", "c1");
  EXPECT_EQ(state.expandedChoiceMessageID, "c1");
  EXPECT_EQ(state.choiceNoteFocusedMessageID, "c1");
  OverlayFrame frame = frameFor(snapshot, state);
  EXPECT_EQ(frame.size.height, 190 + 84 + 104 + 43);
  // Pills, the note and the body come before the card's own buttons.
  EXPECT_EQ(frame.targets[4].role, "choose_option:a");
  EXPECT_EQ(frame.targets[5].role, "choose_option:b");
  EXPECT_EQ(frame.targets[6].role, "note");
  EXPECT_EQ(frame.targets[7].role, "choice_body");

  // Typing into the note: text, backspace over a multi-byte character, shortcuts ignored.
  handle(state, KeyPress{KeyPress::Key::text, "ok ü"}, frame, at(0));
  handle(state, KeyPress{KeyPress::Key::text, "x", false, true}, frame, at(0));
  handle(state, KeyPress{KeyPress::Key::text, "c", true, false}, frame, at(0));
  handle(state, KeyPress{KeyPress::Key::text, "\x1b[2J"}, frame, at(0));
  EXPECT_EQ(state.activeChoiceNote, "ok ü[2J");
  for (int i = 0; i < 4; ++i) handle(state, KeyPress{KeyPress::Key::backspace, {}}, frame, at(0));
  EXPECT_EQ(state.activeChoiceNote, "ok ");

  // A click inside the body keeps it open.
  EXPECT_EQ(click(state, snapshot, centre(target(frame, "choice_body").rect)).kind,
            OverlayIntent::Kind::none);
  EXPECT_EQ(state.expandedChoiceMessageID, "c1");

  auto intent = handle(state, KeyPress{KeyPress::Key::escape, {}}, frame, at(0));
  EXPECT_EQ(state.mode, OverlayMode::expanded);
  EXPECT_EQ(intent.kind, OverlayIntent::Kind::none);
  EXPECT_FALSE(state.expandedChoiceMessageID);
  EXPECT_TRUE(state.activeChoiceNote.empty());
  intent = handle(state, KeyPress{KeyPress::Key::escape, {}}, frameFor(snapshot, state), at(0));
  EXPECT_EQ(intent.kind, OverlayIntent::Kind::setMode);
  EXPECT_EQ(intent.mode, OverlayMode::collapsed);
  EXPECT_EQ(state.mode, OverlayMode::collapsed);
}

TEST(OverlayEvents, ChoosingAndReplyingSendTheRequestsDecision) {
  AppSnapshot snapshot;
  snapshot.waitingRequests = {waitingRequest("ch", PendingActionKind::waitingChoice),
                              waitingRequest("in", PendingActionKind::waitingInput, "codex", "x")};
  OverlayViewState state = expanded();
  clickRole(state, snapshot, "choose_option", "ch");
  auto intent = clickRole(state, snapshot, "choose_option:no", "ch");
  ASSERT_EQ(intent.kind, OverlayIntent::Kind::sendCommand);
  EXPECT_EQ(std::get<Command::Decide>(*intent.command).decision, choiceDecision("no"));
  EXPECT_FALSE(state.expandedChoiceMessageID);

  // Reply: the first click opens the field, an empty Send only focuses it, text is sent.
  EXPECT_EQ(clickRole(state, snapshot, "send_input", "in").kind, OverlayIntent::Kind::none);
  EXPECT_EQ(state.expandedChoiceMessageID, "in");
  EXPECT_EQ(state.choiceNoteFocusedMessageID, "in");
  OverlayFrame frame = frameFor(snapshot, state);
  const ClickTarget send = frame.targets[5];
  EXPECT_EQ(send.role, "send_input");
  EXPECT_EQ(handle(state, Click{centre(send.rect)}, frame, at(0)).kind, OverlayIntent::Kind::none);
  handle(state, KeyPress{KeyPress::Key::text, "use main"}, frame, at(0));
  intent = handle(state, Click{centre(send.rect)}, frame, at(0));
  ASSERT_EQ(intent.kind, OverlayIntent::Kind::sendCommand);
  const auto& decide = std::get<Command::Decide>(*intent.command);
  EXPECT_EQ(decide.requestID, "in");
  EXPECT_EQ(decide.decision, replyDecision("use main"));
}

TEST(OverlayEvents, ClearingAnEmptyInboxSaysSoAndTheBannerEnds) {
  AppSnapshot empty;
  OverlayViewState state = expanded();
  const OverlayFrame frame = frameFor(empty, state);
  EXPECT_EQ(frame.size, (Size{540, 260}));
  ASSERT_TRUE(frame.expanded.emptyInbox);
  EXPECT_EQ(frame.expanded.emptyText, "No messages yet");
  for (const char* role : {"clear_page", "clear_all"}) {
    state.banner.reset();
    EXPECT_EQ(clickRole(state, empty, role, {}, at(10)).kind, OverlayIntent::Kind::none);
    ASSERT_TRUE(state.banner);
    EXPECT_EQ(state.banner->text, "No messages to clear");
  }
  EXPECT_EQ(nextWakeTime(state, 1, at(10)), at(12));
  EXPECT_TRUE(frameFor(empty, state, at(11.9)).banner);
  EXPECT_TRUE(handle(state, Tick{}, 1, at(12)).redraw);
  EXPECT_FALSE(state.banner);
  EXPECT_EQ(nextWakeTime(state, 1, at(12)), std::nullopt);

  AppSnapshot two;
  two.messages = {statusMessage("m1", "One"), statusMessage("m2", "Two")};
  OverlayViewState full = expanded();
  auto intent = clickRole(full, two, "clear_page");
  ASSERT_EQ(intent.kind, OverlayIntent::Kind::sendCommand);
  EXPECT_EQ(std::get<Command::ClearPage>(*intent.command).messageIDs,
            (std::vector<std::string>{"m1", "m2"}));
  intent = clickRole(full, two, "clear_all");
  EXPECT_TRUE(std::holds_alternative<Command::ClearAll>(*intent.command));
}

TEST(OverlayEvents, HoverOpensAfterARestAndClosesAfterLeaving) {
  const Rect capsule{794, 0, 332, 32};
  const Size opening{540, 317};
  const HoverContext onCapsule{capsule, {900, 10}, opening};
  const HoverContext gone{capsule, {900, 600}, opening};
  OverlayViewState state;

  // A rest of 0.28 s on the capsule opens it.
  handle(state, PointerEntered{}, at(0));
  EXPECT_EQ(nextWakeTime(state, 1, at(0)), at(0.28));
  EXPECT_EQ(handle(state, Tick{onCapsule}, 1, at(0.27)).kind, OverlayIntent::Kind::none);
  auto intent = handle(state, Tick{onCapsule}, 1, at(0.28));
  EXPECT_EQ(intent.kind, OverlayIntent::Kind::setMode);
  EXPECT_EQ(state.mode, OverlayMode::expanded);

  // Leaving: closes 0.2 s later unless the pointer came back within 18 pt.
  const Rect panel = openingPanelFrame(capsule, opening);
  handle(state, PointerLeft{{panel, {900, 400}, opening}}, at(1));
  EXPECT_EQ(nextWakeTime(state, 1, at(1)), at(1.2));
  EXPECT_EQ(handle(state, Tick{{panel, {panel.maxX() + 17, 100}, opening}}, 1, at(1.2)).kind,
            OverlayIntent::Kind::none);
  EXPECT_EQ(state.mode, OverlayMode::expanded);
  handle(state, PointerLeft{{panel, {900, 400}, opening}}, at(2));
  intent = handle(state, Tick{{panel, {900, 400}, opening}}, 1, at(2.2));
  EXPECT_EQ(intent.mode, OverlayMode::collapsed);
  EXPECT_EQ(state.mode, OverlayMode::collapsed);

  // A quick pass: entered and left before 0.28 s, never opens.
  handle(state, PointerEntered{}, at(3));
  handle(state, PointerLeft{gone}, at(3.1));
  EXPECT_FALSE(state.expandDueAt);
  EXPECT_EQ(handle(state, Tick{gone}, 1, at(3.28)).kind, OverlayIntent::Kind::none);
  // Left without a leave event (the pointer jumped away): the delayed check still refuses.
  handle(state, PointerEntered{}, at(4));
  EXPECT_EQ(handle(state, Tick{gone}, 1, at(4.3)).kind, OverlayIntent::Kind::none);
  EXPECT_EQ(state.mode, OverlayMode::collapsed);
  EXPECT_EQ(nextWakeTime(state, 1, at(5)), std::nullopt);
}

TEST(OverlayEvents, HoverDecisionsFromPointerPositions) {
  const Rect capsule{794, 0, 332, 32};
  const Size opening{540, 501};
  const auto expand = [&](Point p) {
    return shouldExpandAfterHoverDelay(OverlayMode::collapsed, capsule, p, opening);
  };
  EXPECT_TRUE(expand({900, 10}));
  EXPECT_TRUE(expand({793.5, 32.5}));  // within the 1-pt slack
  EXPECT_TRUE(expand({700, 20}));      // beside the capsule, over the opening panel
  EXPECT_TRUE(expand({690 - 17, 5}));  // within 18 pt of the opening panel's side
  EXPECT_FALSE(expand({690 - 19, 5}));
  EXPECT_FALSE(expand({900, 40}));  // below the capsule: it left
  EXPECT_FALSE(shouldExpandAfterHoverDelay(OverlayMode::expanded, capsule, {900, 10}, opening));
  EXPECT_FALSE(
      shouldExpandAfterHoverDelay(OverlayMode::collapsed, std::nullopt, {900, 10}, opening));
  const Rect panel{690, 0, 540, 501};
  EXPECT_TRUE(shouldStayExpanded(panel, {1230 + 17, 300}));
  EXPECT_TRUE(shouldStayExpanded(panel, {900, 501 + 17}));
  EXPECT_FALSE(shouldStayExpanded(panel, {900, 501 + 18}));
}

TEST(OverlayEvents, IdleCapsuleNeverWakesAndABusyOneWakesForTheTicker) {
  OverlayViewState state;
  EXPECT_EQ(nextWakeTime(state, 1, at(0)), std::nullopt);
  EXPECT_EQ(nextWakeTime(state, 2, at(0)), at(0));
  EXPECT_FALSE(handle(state, Tick{}, 2, at(0)).redraw);
  EXPECT_EQ(nextWakeTime(state, 2, at(0)), at(4));
  EXPECT_TRUE(handle(state, Tick{}, 2, at(4)).redraw);
  EXPECT_EQ(state.ticker.index, 1u);
  // Expanded, the ticker is not on screen: no wake-ups for it.
  state.mode = OverlayMode::expanded;
  EXPECT_EQ(nextWakeTime(state, 2, at(5)), std::nullopt);
}

}  // namespace
}  // namespace glimmet
