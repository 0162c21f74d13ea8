#include <algorithm>

#include "ui/view/settings_layout_builder.hpp"

namespace glimmet {

namespace {

constexpr double kPillHeight = 26;
constexpr double kPillGap = 8;
constexpr double kButtonHeight = 28;

// Text widths without a font engine: the pills and buttons only need room for their label.
double labelWidth(const std::string& text, double perCharacter) {
  return static_cast<double>(text.size()) * perCharacter;
}

}  // namespace

void addSwitchRow(SettingsLayoutBuilder& builder, const std::string& title,
                  const std::string& detail, const char* role, const std::string& id, bool on) {
  const double pad = kSettingsCardPadding;
  const double y = builder.y();
  const Rect row = builder.place(builder.left(), y, builder.width(), kSettingsRowHeight);
  auto& text =
      builder.add(SettingsElementKind::rowText,
                  builder.place(builder.left() + pad, y + 8, builder.width() - 100, 36), title);
  text.detail = detail;
  auto& control = builder.add(
      SettingsElementKind::switchControl,
      builder.place(builder.right() - pad - 40, y + (kSettingsRowHeight - 22) / 2, 40, 22));
  control.on = on;
  builder.target(role, id, row);
  builder.advance(kSettingsRowHeight);
}

double addPills(SettingsLayoutBuilder& builder, double x, const char* role,
                const std::vector<SettingsPill>& pills) {
  const double top = builder.y();
  double cursorX = x;
  double y = top;
  for (const auto& pill : pills) {
    const double width = std::max(56.0, labelWidth(pill.label, 7) + 24);
    if (cursorX + width > builder.right() - kSettingsCardPadding && cursorX > x) {
      cursorX = x;
      y += kPillHeight + kPillGap;
    }
    const Rect rect = builder.place(cursorX, y, width, kPillHeight);
    auto& element = builder.add(SettingsElementKind::pill, rect, pill.label);
    element.on = pill.selected;
    element.color = pill.color;
    builder.target(role, pill.id, rect);
    cursorX += width + kPillGap;
  }
  const double height = y + kPillHeight - top;
  builder.advance(height);
  return height;
}

Rect addButton(SettingsLayoutBuilder& builder, double right, double y, const std::string& title,
               const char* role, const std::string& id, bool prominent, bool enabled) {
  const double width = std::max(72.0, labelWidth(title, 7) + 28);
  const Rect rect = builder.place(right - width, y, width, kButtonHeight);
  auto& element = builder.add(SettingsElementKind::button, rect, title);
  element.prominent = prominent;
  element.enabled = enabled;
  if (enabled) builder.target(role, id, rect);
  return rect;
}

}  // namespace glimmet
