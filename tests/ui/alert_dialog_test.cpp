// The alert's view: wrapping its text into lines, where the buttons go, which button a key or a
// click presses, what the painter draws and what the window's description says.

#include <gtest/gtest.h>

#include "base/json_values.hpp"
#include "recording_canvas.hpp"
#include "ui/paint/alert_dialog_painter.hpp"
#include "ui/view/alert_dialog.hpp"
#include "ui/view/startup_permission_alert.hpp"

namespace glimmet {
namespace {

// Ten points per byte whatever the font: line breaks are then easy to predict.
double tenPerByte(std::string_view text, const FontSpec&) {
  return static_cast<double>(text.size()) * 10;
}

AlertDialogSpec twoButtons() {
  AlertDialogSpec spec;
  spec.title = "Glimmet";
  spec.message = "Replace the file?";
  spec.informativeText = "It was changed elsewhere.";
  spec.buttons = {"Replace", "Keep"};
  spec.defaultButton = 0;
  spec.cancelButton = 1;
  return spec;
}

TEST(AlertDialogWrapping, BreaksBetweenWordsKeepsBlankLinesAndCutsOverlongWords) {
  const FontSpec font;
  // 50 points: five bytes a line.
  EXPECT_EQ(wrapAlertText("ab cd ef", 50, font, tenPerByte),
            (std::vector<std::string>{"ab cd", "ef"}));
  // Exactly the width still fits; one byte more does not.
  EXPECT_EQ(wrapAlertText("abcde fghij", 50, font, tenPerByte),
            (std::vector<std::string>{"abcde", "fghij"}));
  // A blank line between paragraphs stays a line of its own; no word is lost at a break.
  EXPECT_EQ(wrapAlertText("one two\n\nsix", 50, font, tenPerByte),
            (std::vector<std::string>{"one", "two", "", "six"}));
  // A word longer than the line is cut between characters, never inside a UTF-8 sequence.
  EXPECT_EQ(wrapAlertText("abcdefghijkl x", 50, font, tenPerByte),
            (std::vector<std::string>{"abcde", "fghij", "kl x"}));
  EXPECT_EQ(wrapAlertText("\xc3\xa9\xc3\xa9\xc3\xa9", 50, font, tenPerByte),
            (std::vector<std::string>{"\xc3\xa9\xc3\xa9", "\xc3\xa9"}));
  // Runs of spaces do not make empty words.
  EXPECT_EQ(wrapAlertText("a   b", 50, font, tenPerByte), (std::vector<std::string>{"a b"}));
  EXPECT_TRUE(wrapAlertText("", 50, font, tenPerByte).empty());
}

TEST(AlertDialogLayout, TextGrowsTheWindowAndButtonsSitRightToLeftInOrder) {
  AlertDialogSpec spec = twoButtons();
  const AlertDialogLayout short_ = layoutAlertDialog(spec, tenPerByte);
  EXPECT_EQ(short_.size.width, kAlertDialogWidth);
  ASSERT_EQ(short_.messageLines.size(), 1u);
  ASSERT_EQ(short_.informativeLines.size(), 1u);
  EXPECT_EQ(short_.messageLines[0].text, "Replace the file?");
  // The explanation starts below the message, the buttons below the explanation.
  EXPECT_GE(short_.informativeLines[0].rect.y, short_.messageLines[0].rect.maxY());
  ASSERT_EQ(short_.buttons.size(), 2u);
  EXPECT_GE(short_.buttons[0].rect.y, short_.informativeLines[0].rect.maxY());
  EXPECT_LE(short_.buttons[0].rect.maxY(), short_.size.height);
  // The first button is the rightmost, inside the window; the second to its left, apart.
  EXPECT_EQ(short_.buttons[0].index, 0);
  EXPECT_EQ(short_.buttons[1].index, 1);
  EXPECT_LE(short_.buttons[0].rect.maxX(), kAlertDialogWidth);
  EXPECT_LT(short_.buttons[1].rect.maxX(), short_.buttons[0].rect.x);
  // A label wider than the smallest button widens its button: 70 points and the padding.
  EXPECT_EQ(short_.buttons[0].rect.width, 102.0);
  EXPECT_EQ(short_.buttons[1].rect.width, 82.0);

  // Three more lines of explanation: the window is exactly three lines taller.
  spec.informativeText = std::string(36, 'x') + " " + std::string(36, 'y') + " " +
                         std::string(36, 'z') + " " + std::string(36, 'w');
  const AlertDialogLayout tall = layoutAlertDialog(spec, tenPerByte);
  ASSERT_EQ(tall.informativeLines.size(), 4u);
  const double lineHeight = tall.informativeLines[1].rect.y - tall.informativeLines[0].rect.y;
  EXPECT_GT(lineHeight, 0);
  EXPECT_DOUBLE_EQ(tall.size.height - short_.size.height, 3 * lineHeight);
  EXPECT_DOUBLE_EQ(tall.buttons[0].rect.y - short_.buttons[0].rect.y, 3 * lineHeight);

  // A preview of 100 lines shows its first 29 and says how many were left out; exactly 30
  // lines fit whole.
  const auto numbered = [](int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
      text += (i ? "\n" : "") + std::string("line ") + std::to_string(i);
    return text;
  };
  spec.informativeText = numbered(100);
  const AlertDialogLayout clipped = layoutAlertDialog(spec, tenPerByte);
  ASSERT_EQ(clipped.informativeLines.size(), kAlertMaxInformativeLines);
  EXPECT_EQ(clipped.informativeLines[28].text, "line 28");
  EXPECT_EQ(clipped.informativeLines.back().text, "… and 71 more lines");
  spec.informativeText = numbered(30);
  const AlertDialogLayout whole = layoutAlertDialog(spec, tenPerByte);
  ASSERT_EQ(whole.informativeLines.size(), 30u);
  EXPECT_EQ(whole.informativeLines.back().text, "line 29");
}

TEST(AlertDialogInput, ReturnPressesTheDefaultEscapeTheCancelAndClicksTheButtonUnderThem) {
  AlertDialogSpec spec = twoButtons();
  EXPECT_EQ(alertButtonForKey(spec, AlertDialogKey::returnKey), 0);
  EXPECT_EQ(alertButtonForKey(spec, AlertDialogKey::escape), 1);
  spec.defaultButton = 1;
  spec.cancelButton = 0;
  EXPECT_EQ(alertButtonForKey(spec, AlertDialogKey::returnKey), 1);
  EXPECT_EQ(alertButtonForKey(spec, AlertDialogKey::escape), 0);
  // Without a cancel button Escape presses nothing; an index past the buttons neither.
  spec.cancelButton.reset();
  EXPECT_EQ(alertButtonForKey(spec, AlertDialogKey::escape), std::nullopt);
  spec.cancelButton = 2;
  EXPECT_EQ(alertButtonForKey(spec, AlertDialogKey::escape), std::nullopt);

  const AlertDialogLayout layout = layoutAlertDialog(twoButtons(), tenPerByte);
  const Rect first = layout.buttons[0].rect;
  const Rect second = layout.buttons[1].rect;
  EXPECT_EQ(alertButtonAt(layout, {first.midX(), first.midY()}), 0);
  EXPECT_EQ(alertButtonAt(layout, {second.midX(), second.midY()}), 1);
  EXPECT_EQ(alertButtonAt(layout, {first.x, first.y}), 0);
  // The right and bottom edges are outside; the gap between the buttons and the text too.
  EXPECT_EQ(alertButtonAt(layout, {first.maxX(), first.midY()}), std::nullopt);
  EXPECT_EQ(alertButtonAt(layout, {first.midX(), first.maxY()}), std::nullopt);
  EXPECT_EQ(alertButtonAt(layout, {second.maxX() + 1, second.midY()}), std::nullopt);
  EXPECT_EQ(alertButtonAt(layout, {first.midX(), layout.messageLines[0].rect.midY()}),
            std::nullopt);
}

TEST(AlertDialogPainting, DrawsEveryLineWhereTheLayoutPutItAndEachLabelOnItsButton) {
  AlertDialogSpec spec = twoButtons();
  spec.informativeText = "First paragraph.\n\nSecond one.";
  const AlertDialogLayout layout = layoutAlertDialog(spec, tenPerByte);
  viewtest::RecordingCanvas canvas;
  paintAlertDialog(canvas, spec, layout);
  std::vector<std::string> drawn;
  for (const auto& text : canvas.texts) drawn.push_back(text.text);
  // The blank line between the paragraphs keeps its place.
  EXPECT_EQ(drawn, (std::vector<std::string>{"Replace the file?", "First paragraph.", "",
                                             "Second one.", "Replace", "Keep"}));
  ASSERT_NE(canvas.text("Second one."), nullptr);
  EXPECT_EQ(canvas.text("Second one.")->box, layout.informativeLines[2].rect);
  EXPECT_EQ(canvas.text("Keep")->box, layout.buttons[1].rect);
  EXPECT_EQ(canvas.text("Replace the file?")->font, alertMessageFont());
  EXPECT_EQ(canvas.text("First paragraph.")->font, alertInformativeFont());
  // The window's background first, covering all of it.
  ASSERT_FALSE(canvas.fills.empty());
}

TEST(AlertDialogState, DescribesTextsLinesAndButtonRects) {
  const AlertDialogSpec spec = twoButtons();
  const AlertDialogLayout layout = layoutAlertDialog(spec, tenPerByte);
  const Json state = Json::parse(alertDialogStateJson(spec, layout));
  EXPECT_EQ(state["kind"], "alert_dialog");
  EXPECT_EQ(state["title"], "Glimmet");
  EXPECT_EQ(state["message"], "Replace the file?");
  EXPECT_EQ(state["informativeText"], "It was changed elsewhere.");
  EXPECT_EQ(state["informativeLines"], Json::array({"It was changed elsewhere."}));
  EXPECT_EQ(state["size"], Json::array({layout.size.width, layout.size.height}));
  ASSERT_EQ(state["targets"].size(), 2u);
  const Json& keep = state["targets"][1];
  EXPECT_EQ(keep["label"], "Keep");
  EXPECT_EQ(keep["index"], 1);
  EXPECT_EQ(keep["default"], false);
  EXPECT_EQ(keep["cancel"], true);
  const Rect r = layout.buttons[1].rect;
  EXPECT_EQ(keep["rect"], Json::array({r.x, r.y, r.width, r.height}));
  EXPECT_EQ(state["targets"][0]["default"], true);
  EXPECT_EQ(state["targets"][0]["cancel"], false);
}

TEST(StartupPermissionAlert, ContinueIsTheDefaultAndLaterTheCancelButton) {
  StartupPermissionNeeds needs;
  needs.codexPetsDirectory = true;
  const AlertDialogSpec spec = startupPermissionAlert(needs);
  EXPECT_EQ(spec.message, "Allow Glimmet startup permissions?");
  EXPECT_EQ(spec.buttons, (std::vector<std::string>{"Continue", "Later"}));
  EXPECT_EQ(alertButtonForKey(spec, AlertDialogKey::returnKey), 0);
  EXPECT_EQ(alertButtonForKey(spec, AlertDialogKey::escape), 1);
  EXPECT_EQ(spec.informativeText, startupPermissionInformativeText(needs));
}

}  // namespace
}  // namespace glimmet
