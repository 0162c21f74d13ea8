#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/paint/canvas.hpp"
#include "ui/view/geometry.hpp"

namespace glimmet {

// A short question with a few answers: a bold message, a smaller explanation under it and a
// row of buttons. The first button is the rightmost one, as on a Mac.
struct AlertDialogSpec {
  std::string title;  // the window's title
  std::string message;
  std::string informativeText;
  std::vector<std::string> buttons;
  // The button Return presses, drawn in the accent colour.
  int defaultButton = 0;
  // The button Escape and the window's close box press; none leaves both without effect.
  std::optional<int> cancelButton;
};

inline constexpr double kAlertDialogWidth = 420;
// At most this many lines of informative text are shown; the last says how many were left out.
inline constexpr size_t kAlertMaxInformativeLines = 30;

// The width `text` takes on one line in `font`, in points.
using AlertTextMeasure = std::function<double(std::string_view text, const FontSpec& font)>;

FontSpec alertMessageFont();
FontSpec alertInformativeFont();
FontSpec alertButtonFont();

// One line of wrapped text and where it sits.
struct AlertTextLine {
  std::string text;
  Rect rect;
};

struct AlertButtonPlacement {
  int index = 0;  // into AlertDialogSpec::buttons
  Rect rect;
};

// Where things sit, in points from the top left of the window's content.
struct AlertDialogLayout {
  Size size;
  std::vector<AlertTextLine> messageLines;
  std::vector<AlertTextLine> informativeLines;
  std::vector<AlertButtonPlacement> buttons;
};

// Lines of `text` no wider than `width`: broken at line feeds (an empty line stays, so a blank
// line separates paragraphs), then between words; a word wider than the line is broken between
// characters.
std::vector<std::string> wrapAlertText(std::string_view text, double width, const FontSpec& font,
                                       const AlertTextMeasure& measure);

// The window grows downwards with the text; the buttons sit in a row at the bottom right.
AlertDialogLayout layoutAlertDialog(const AlertDialogSpec& spec, const AlertTextMeasure& measure);

enum class AlertDialogKey { returnKey, escape };

// The button a key presses, if any.
std::optional<int> alertButtonForKey(const AlertDialogSpec& spec, AlertDialogKey key);
// The button under `point`, if any.
std::optional<int> alertButtonAt(const AlertDialogLayout& layout, Point point);

// {"kind":"alert_dialog","title","message","informativeText","messageLines",
// "informativeLines","size":[w,h],"targets":[{"role":"button","index","label","default",
// "cancel","rect"}]}: the dialog as tests and bug reports see it.
std::string alertDialogStateJson(const AlertDialogSpec& spec, const AlertDialogLayout& layout);

}  // namespace glimmet
