// The text panel's view logic: editing by whole UTF-8 characters, its keys and buttons, and
// what the painter shows.

#include <gtest/gtest.h>

#include "base/json_values.hpp"
#include "recording_canvas.hpp"
#include "ui/paint/text_panel_painter.hpp"
#include "ui/view/text_panel_view.hpp"

namespace glimmet {
namespace {

using PanelKind = TextPanelOutcome::Kind;

TextPanelOutcome type(TextPanelModel& model, const std::string& text) {
  return handleTextPanelKey(model, {TextPanelKey::Key::text, text, false});
}
TextPanelOutcome press(TextPanelModel& model, TextPanelKey::Key key, bool shift = false) {
  return handleTextPanelKey(model, {key, {}, shift});
}

TEST(TextPanelEditing, BackspaceAndArrowsMoveByCharacterNotByte) {
  EditedText edited;
  edited.insert("h\xc3\xa9llo w\xc3\xb6rld \xf0\x9f\x9a\x80");  // "héllo wörld 🚀"
  edited.deleteBackward();                                      // the 4-byte rocket, whole
  EXPECT_EQ(edited.text, "h\xc3\xa9llo w\xc3\xb6rld ");
  edited.moveToStart();
  edited.moveRight();
  edited.moveRight();  // past "h" and the 2-byte "é"
  EXPECT_EQ(edited.caret, 3u);
  edited.deleteBackward();
  EXPECT_EQ(edited.text, "hllo w\xc3\xb6rld ");
  EXPECT_EQ(edited.caret, 1u);
  edited.insert("\xe2\x82\xac");  // "€" where the caret is, not at the end
  EXPECT_EQ(edited.text, "h\xe2\x82\xacllo w\xc3\xb6rld ");
  edited.moveLeft();
  EXPECT_EQ(edited.caret, 1u);
  edited.deleteForward();
  EXPECT_EQ(edited.text, "hllo w\xc3\xb6rld ");

  // At the ends nothing moves or goes.
  edited.moveToStart();
  edited.moveLeft();
  edited.deleteBackward();
  EXPECT_EQ(edited.caret, 0u);
  edited.moveToEnd();
  edited.moveRight();
  edited.deleteForward();
  EXPECT_EQ(edited.text, "hllo w\xc3\xb6rld ");

  // Bytes that are not UTF-8 (a lone lead, a stray continuation) go one at a time.
  EditedText broken;
  broken.insert("a\xc3\x80\x80");
  broken.deleteBackward();
  EXPECT_EQ(broken.text, "a\xc3\x80");
  broken.deleteBackward();
  EXPECT_EQ(broken.text, "a");
  EXPECT_EQ(nextCharacterBoundary("\xe2\x82", 0), 1u);
  EXPECT_EQ(previousCharacterBoundary("\xe2\x82", 2), 1u);
}

TEST(TextPanelView, TitleSizesAndButtonRectangles) {
  EXPECT_EQ(makeTextPanel("", false).title, "Agent needs your input");
  EXPECT_EQ(makeTextPanel("Which branch?", true).title, "Which branch?");

  const TextPanelLayout single = layoutTextPanel(false);
  EXPECT_EQ(single.size, (Size{480, 140}));
  EXPECT_EQ(single.submit, (Rect{384, 96, 80, 28}));
  EXPECT_EQ(single.jump, (Rect{316, 96, 60, 28}));
  EXPECT_EQ(single.cancel, (Rect{16, 96, 80, 28}));
  EXPECT_EQ(single.editor, (Rect{16, 36, 448, 24}));
  const TextPanelLayout multi = layoutTextPanel(true);
  EXPECT_EQ(multi.size, (Size{480, 240}));
  EXPECT_EQ(multi.submit, (Rect{384, 196, 80, 28}));
  EXPECT_EQ(multi.editor, (Rect{16, 24, 448, 160}));
  // The editor never runs into the buttons.
  EXPECT_LE(multi.editor.maxY(), multi.submit.minY());
  EXPECT_LE(single.editor.maxY(), single.submit.minY());
}

TEST(TextPanelView, ClicksOnTheButtonsAndBesideThem) {
  TextPanelModel model = makeTextPanel("Name?", false);
  type(model, "ship it");
  // The last pixel of Submit is inside, the one after it is not.
  const auto edge = handleTextPanelClick(model, {463.9, 110});
  EXPECT_EQ(edge.kind, PanelKind::submit);
  EXPECT_EQ(edge.text, "ship it");
  EXPECT_EQ(handleTextPanelClick(model, {464, 110}).kind, PanelKind::none);
  EXPECT_EQ(handleTextPanelClick(model, {384, 96}).kind, PanelKind::submit);
  EXPECT_EQ(handleTextPanelClick(model, {383.9, 100}).kind,
            PanelKind::none);  // between Jump and Submit
  EXPECT_EQ(handleTextPanelClick(model, {320, 100}).kind, PanelKind::jump);
  EXPECT_EQ(handleTextPanelClick(model, {20, 100}).kind, PanelKind::cancel);
  EXPECT_EQ(handleTextPanelClick(model, {20, 124}).kind, PanelKind::none);  // below the buttons
  EXPECT_EQ(handleTextPanelClick(model, {100, 40}).kind, PanelKind::none);  // the editor
  EXPECT_EQ(model.editor.text, "ship it");
}

TEST(TextPanelView, ReturnSubmitsShiftReturnBreaksAMultiLineAnswerEscapeCancels) {
  TextPanelModel single = makeTextPanel("", false);
  type(single, "h\xc3\xa9llo");
  press(single, TextPanelKey::Key::backspace);
  type(single, "o w\xc3\xb6rld");
  // Shift+Return in one line submits too: there is no second line to go to.
  const auto submitted = press(single, TextPanelKey::Key::enter, true);
  EXPECT_EQ(submitted.kind, PanelKind::submit);
  EXPECT_EQ(submitted.text, "h\xc3\xa9llo w\xc3\xb6rld");

  TextPanelModel multi = makeTextPanel("", true);
  type(multi, "one");
  EXPECT_EQ(press(multi, TextPanelKey::Key::enter, true).kind, PanelKind::redraw);
  type(multi, "two");
  const auto sent = press(multi, TextPanelKey::Key::enter);
  EXPECT_EQ(sent.kind, PanelKind::submit);
  EXPECT_EQ(sent.text, "one\ntwo");

  const auto cancelled = press(multi, TextPanelKey::Key::escape);
  EXPECT_EQ(cancelled.kind, PanelKind::cancel);
  EXPECT_TRUE(cancelled.text.empty());
}

TEST(TextPanelView, PastedControlCharactersNeverReachTheAnswer) {
  TextPanelModel single = makeTextPanel("", false);
  type(single, "a\nb\tc\x1b[31m\x7f");
  EXPECT_EQ(single.editor.text, "a b c[31m");
  EXPECT_EQ(type(single, "\x01\x02").kind, PanelKind::none);
  TextPanelModel multi = makeTextPanel("", true);
  type(multi, "a\r\nb");
  EXPECT_EQ(multi.editor.text, "a\n\nb");
}

TEST(TextPanelView, StateTextAndPainterShowTitlePlaceholderAndButtons) {
  TextPanelModel model = makeTextPanel("Deploy where?", false);
  viewtest::RecordingCanvas empty;
  paintTextPanel(empty, model);
  ASSERT_TRUE(empty.text("Type your response"));
  EXPECT_TRUE(empty.text("Deploy where?"));
  for (const char* label : {"Submit", "Jump", "Cancel"}) EXPECT_TRUE(empty.text(label)) << label;
  EXPECT_EQ(empty.text("Submit")->box, (Rect{384, 96, 80, 28}));

  type(model, "staging");
  viewtest::RecordingCanvas typed;
  paintTextPanel(typed, model);
  EXPECT_FALSE(typed.text("Type your response"));
  EXPECT_TRUE(typed.text("staging"));

  const Json state = Json::parse(textPanelStateJson(model));
  EXPECT_EQ(state["title"], "Deploy where?");
  EXPECT_EQ(state["text"], "staging");
  EXPECT_EQ(state["caret"], 7);
  EXPECT_EQ(state["targets"][0]["role"], "submit");
  EXPECT_EQ(state["size"], Json::array({480.0, 140.0}));
  // A prompt that is not UTF-8 still gives a readable state.
  const Json bad =
      Json::parse(textPanelStateJson(makeTextPanel("bad \xff byte", false)), nullptr, false);
  EXPECT_FALSE(bad.is_discarded());
}

}  // namespace
}  // namespace glimmet
