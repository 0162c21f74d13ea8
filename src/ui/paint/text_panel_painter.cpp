#include "ui/paint/text_panel_painter.hpp"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr Color kWindowFill = Color::rgb(28, 28, 30);
constexpr Color kEditorFill = Color::rgb(44, 44, 46);
constexpr Color kEditorBorder = Color::white(0.22);
constexpr Color kButtonFill = Color::white(0.12);
constexpr Color kSubmitFill = Color::rgb(10, 132, 255);
constexpr Color kCaret = Color::white(0.9);
constexpr double kEditorPadding = 6;
constexpr double kLineHeight = 18;
constexpr FontSpec kEditorFont{13, FontWeight::regular, false};
constexpr FontSpec kPromptFont{13, FontWeight::semibold, false};
constexpr FontSpec kButtonFont{13, FontWeight::medium, false};

void paintButton(Canvas& canvas, const Rect& rect, std::string_view label, Color fill) {
  canvas.fillPath(Path().addRoundedRect(rect, 6), fill);
  canvas.drawText(label, rect, kButtonFont, ViewColors::kPrimaryText, TextAlignment::center);
}

struct EditorLine {
  size_t start = 0;  // byte offset of the line in the editor's text
  std::string_view text;
};

std::vector<EditorLine> splitLines(std::string_view text) {
  std::vector<EditorLine> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back({start, text.substr(start)});
      return lines;
    }
    lines.push_back({start, text.substr(start, end - start)});
    start = end + 1;
  }
}

// The characters around the caret that can show in a line of the editor's width (no character
// is narrower than a point or two), so that a very long answer costs no more to draw than a
// short one.
constexpr int kCharactersAroundCaret = 300;

// One line of the editor, shifted left when the caret would otherwise leave the box, with the
// caret drawn when it is on this line.
void paintLine(Canvas& canvas, const EditorLine& line, const Rect& box,
               std::optional<size_t> caret) {
  size_t from = caret.value_or(0);
  size_t to = from;
  for (int i = 0; i < kCharactersAroundCaret && from > 0; ++i)
    from = previousCharacterBoundary(line.text, from);
  for (int i = 0; i < kCharactersAroundCaret && to < line.text.size(); ++i)
    to = nextCharacterBoundary(line.text, to);
  const std::string_view shown = line.text.substr(from, to - from);
  double shift = 0;
  double caretX = 0;
  if (caret) {
    caretX = canvas.measureText(shown.substr(0, *caret - from), kEditorFont).width;
    shift = std::max(0.0, caretX - (box.width - 2));
  }
  canvas.save();
  canvas.clip(box);
  const double fullWidth = canvas.measureText(shown, kEditorFont).width;
  // Wide enough never to be ellipsized: the clip cuts it instead.
  const Rect textBox{box.x - shift, box.y, std::max(box.width, fullWidth + 4) + shift, box.height};
  canvas.drawText(shown, textBox, kEditorFont, ViewColors::kPrimaryText, TextAlignment::left);
  if (caret) {
    const double x = box.x + caretX - shift;
    canvas.fillRect({x, box.y + 2, 1.5, box.height - 4}, kCaret);
  }
  canvas.restore();
}

void paintEditor(Canvas& canvas, const TextPanelModel& model, const Rect& editor) {
  canvas.fillPath(Path().addRoundedRect(editor, 5), kEditorFill);
  canvas.strokePath(Path().addRoundedRect(editor.insetBy(0.5, 0.5), 5), kEditorBorder, 1);
  const std::string& text = model.editor.text;
  const Rect inner = editor.insetBy(kEditorPadding, model.multiline ? kEditorPadding : 0);
  if (!model.multiline) {
    const EditorLine line{0, text};
    if (text.empty()) {
      canvas.drawText(kTextPanelPlaceholder, inner, kEditorFont, ViewColors::kTertiaryText,
                      TextAlignment::left);
    }
    paintLine(canvas, line, inner, model.editor.caret);
    return;
  }
  const auto lines = splitLines(text);
  size_t caretLine = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (model.editor.caret >= lines[i].start) caretLine = i;
  }
  const auto visible = static_cast<size_t>(std::max(1.0, inner.height / kLineHeight));
  // The lines that fit, scrolled so that the caret's line is among them.
  const size_t first = caretLine + 1 > visible ? caretLine + 1 - visible : 0;
  if (text.empty()) {
    canvas.drawText(kTextPanelPlaceholder, {inner.x, inner.y, inner.width, kLineHeight},
                    kEditorFont, ViewColors::kTertiaryText, TextAlignment::left);
  }
  for (size_t i = first; i < lines.size() && i < first + visible; ++i) {
    const Rect box{inner.x, inner.y + static_cast<double>(i - first) * kLineHeight, inner.width,
                   kLineHeight};
    std::optional<size_t> caret;
    if (i == caretLine) caret = model.editor.caret - lines[i].start;
    paintLine(canvas, lines[i], box, caret);
  }
}

}  // namespace

void paintTextPanel(Canvas& canvas, const TextPanelModel& model) {
  const TextPanelLayout layout = layoutTextPanel(model.multiline);
  canvas.fillRect({0, 0, layout.size.width, layout.size.height}, kWindowFill);
  canvas.drawText(model.title, layout.prompt, kPromptFont, ViewColors::kPrimaryText,
                  TextAlignment::left);
  paintEditor(canvas, model, layout.editor);
  paintButton(canvas, layout.cancel, "Cancel", kButtonFill);
  paintButton(canvas, layout.jump, "Jump", kButtonFill);
  paintButton(canvas, layout.submit, "Submit", kSubmitFill);
}

}  // namespace glimmet
