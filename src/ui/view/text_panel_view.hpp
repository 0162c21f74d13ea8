#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/view/geometry.hpp"
#include "ui/view/text_panel_editing.hpp"

namespace glimmet {

inline constexpr double kTextPanelWidth = 480;
inline constexpr double kTextPanelSingleLineHeight = 140;
inline constexpr double kTextPanelMultiLineHeight = 240;
inline constexpr const char* kTextPanelDefaultTitle = "Agent needs your input";
inline constexpr const char* kTextPanelPlaceholder = "Type your response";

// The small window that collects a typed answer: its title (the agent's prompt), the editor
// and the caret. One line, or several for a request that asks for multi-line text.
struct TextPanelModel {
  std::string title;
  bool multiline = false;
  EditedText editor;
};

// "Agent needs your input" stands in for an empty prompt.
TextPanelModel makeTextPanel(std::string_view prompt, bool multiline);

// Where things sit, in points from the top left of the window's content.
struct TextPanelLayout {
  Size size;
  Rect prompt;
  Rect editor;
  Rect submit;
  Rect jump;
  Rect cancel;
};

TextPanelLayout layoutTextPanel(bool multiline);

// What the user's key or click asks for. Submit carries the editor's text; the window closes
// on each of submit, cancel and jump.
struct TextPanelOutcome {
  enum class Kind { none, redraw, submit, cancel, jump };
  Kind kind = Kind::none;
  std::string text;
};

struct TextPanelKey {
  enum class Key { text, backspace, deleteForward, left, right, home, end, enter, escape };
  Key key = Key::text;
  std::string text;  // for Key::text
  bool shift = false;
};

// Return submits; Shift+Return starts a new line in a multi-line panel; Escape cancels.
TextPanelOutcome handleTextPanelKey(TextPanelModel& model, const TextPanelKey& key);
// A click at `point` (points in the window): the buttons act, the rest does nothing.
TextPanelOutcome handleTextPanelClick(TextPanelModel& model, Point point);

// {"kind":"text_panel","title","multiline","text","caret","size":[w,h],"targets":[{"role",
// "rect"}]}: the state as tests and bug reports see it.
std::string textPanelStateJson(const TextPanelModel& model);

}  // namespace glimmet
