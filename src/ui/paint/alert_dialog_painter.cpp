#include "ui/paint/alert_dialog_painter.hpp"

#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr Color kWindowFill = Color::rgb(28, 28, 30);
constexpr Color kButtonFill = Color::white(0.12);
constexpr Color kDefaultButtonFill = Color::rgb(10, 132, 255);
constexpr Color kInformativeText = Color::white(0.78);

void paintLines(Canvas& canvas, const std::vector<AlertTextLine>& lines, const FontSpec& font,
                Color color) {
  for (const auto& line : lines) {
    canvas.drawText(line.text, line.rect, font, color, TextAlignment::left);
  }
}

}  // namespace

void paintAlertDialog(Canvas& canvas, const AlertDialogSpec& spec,
                      const AlertDialogLayout& layout) {
  canvas.fillRect({0, 0, layout.size.width, layout.size.height}, kWindowFill);
  paintLines(canvas, layout.messageLines, alertMessageFont(), ViewColors::kPrimaryText);
  paintLines(canvas, layout.informativeLines, alertInformativeFont(), kInformativeText);
  for (const auto& button : layout.buttons) {
    const bool isDefault = button.index == spec.defaultButton;
    canvas.fillPath(Path().addRoundedRect(button.rect, 6),
                    isDefault ? kDefaultButtonFill : kButtonFill);
    canvas.drawText(spec.buttons[static_cast<size_t>(button.index)], button.rect, alertButtonFont(),
                    ViewColors::kPrimaryText, TextAlignment::center);
  }
}

}  // namespace glimmet
