#include "ui/view/text_panel_view.hpp"

#include "base/json_values.hpp"

namespace glimmet {

namespace {

constexpr double kMargin = 16;
constexpr double kButtonHeight = 28;
constexpr double kButtonBottomInset = 16;

// Typed text as the editor keeps it: a single-line field turns line breaks and tabs into
// spaces, and no control character (an escape sequence in a paste) reaches the reply.
std::string editable(std::string_view typed, bool multiline) {
  std::string kept;
  kept.reserve(typed.size());
  for (char c : typed) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n' || c == '\r' || c == '\t') {
      kept += multiline && c != '\t' ? '\n' : ' ';
    } else if (byte >= 0x20 && byte != 0x7F) {
      kept += c;
    }
  }
  return kept;
}

TextPanelOutcome redraw() {
  return {TextPanelOutcome::Kind::redraw, {}};
}

}  // namespace

TextPanelModel makeTextPanel(std::string_view prompt, bool multiline) {
  TextPanelModel model;
  model.title = prompt.empty() ? std::string(kTextPanelDefaultTitle) : std::string(prompt);
  model.multiline = multiline;
  return model;
}

TextPanelLayout layoutTextPanel(bool multiline) {
  TextPanelLayout layout;
  const double height = multiline ? kTextPanelMultiLineHeight : kTextPanelSingleLineHeight;
  layout.size = {kTextPanelWidth, height};
  const double buttonY = height - kButtonBottomInset - kButtonHeight;
  layout.submit = {384, buttonY, 80, kButtonHeight};
  layout.jump = {316, buttonY, 60, kButtonHeight};
  layout.cancel = {kMargin, buttonY, 80, kButtonHeight};
  if (multiline) {
    layout.editor = {kMargin, 24, 448, 160};
    layout.prompt = {kMargin, 4, 448, 18};
  } else {
    layout.editor = {kMargin, 36, 448, 24};
    layout.prompt = {kMargin, 8, 448, 20};
  }
  return layout;
}

TextPanelOutcome handleTextPanelKey(TextPanelModel& model, const TextPanelKey& key) {
  EditedText& editor = model.editor;
  switch (key.key) {
    case TextPanelKey::Key::text: {
      const std::string kept = editable(key.text, model.multiline);
      if (kept.empty()) return {};
      editor.insert(kept);
      return redraw();
    }
    case TextPanelKey::Key::backspace:
      editor.deleteBackward();
      return redraw();
    case TextPanelKey::Key::deleteForward:
      editor.deleteForward();
      return redraw();
    case TextPanelKey::Key::left:
      editor.moveLeft();
      return redraw();
    case TextPanelKey::Key::right:
      editor.moveRight();
      return redraw();
    case TextPanelKey::Key::home:
      editor.moveToStart();
      return redraw();
    case TextPanelKey::Key::end:
      editor.moveToEnd();
      return redraw();
    case TextPanelKey::Key::enter:
      if (model.multiline && key.shift) {
        editor.insert("\n");
        return redraw();
      }
      return {TextPanelOutcome::Kind::submit, editor.text};
    case TextPanelKey::Key::escape:
      return {TextPanelOutcome::Kind::cancel, {}};
  }
  return {};
}

TextPanelOutcome handleTextPanelClick(TextPanelModel& model, Point point) {
  const TextPanelLayout layout = layoutTextPanel(model.multiline);
  if (layout.submit.contains(point)) return {TextPanelOutcome::Kind::submit, model.editor.text};
  if (layout.jump.contains(point)) return {TextPanelOutcome::Kind::jump, {}};
  if (layout.cancel.contains(point)) return {TextPanelOutcome::Kind::cancel, {}};
  return {};
}

std::string textPanelStateJson(const TextPanelModel& model) {
  const TextPanelLayout layout = layoutTextPanel(model.multiline);
  auto rect = [](const Rect& r) { return Json::array({r.x, r.y, r.width, r.height}); };
  Json state{{"kind", "text_panel"},
             {"title", model.title},
             {"multiline", model.multiline},
             {"text", model.editor.text},
             {"caret", model.editor.caret},
             {"size", Json::array({layout.size.width, layout.size.height})},
             {"targets", Json::array({Json{{"role", "submit"}, {"rect", rect(layout.submit)}},
                                      Json{{"role", "jump"}, {"rect", rect(layout.jump)}},
                                      Json{{"role", "cancel"}, {"rect", rect(layout.cancel)}}})}};
  // Agents' prompts are not always valid UTF-8; the description must still be written.
  return state.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace glimmet
