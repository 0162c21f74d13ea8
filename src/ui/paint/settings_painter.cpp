#include "ui/paint/settings_painter.hpp"

#include "ui/paint/symbols.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

using namespace ViewColors;

const FontSpec kTitleFont{13, FontWeight::semibold, false};
const FontSpec kTabFont{12, FontWeight::semibold, false};
const FontSpec kBannerFont{11, FontWeight::semibold, false};

constexpr double kPanelRadius = 22;
constexpr Color kTabFill = Color::white(0.1);
constexpr Color kActiveTabFill = Color::white(0.9);

void paintChrome(Canvas& canvas, const SettingsFrame& frame) {
  const Rect bounds{0, 0, frame.size.width, frame.size.height};
  canvas.fillPath(Path().addRoundedRect(bounds, kPanelRadius), kPanelBlack);
  canvas.strokePath(Path().addRoundedRect(bounds.insetBy(0.5, 0.5), kPanelRadius),
                    Color::white(0.12), 1);
  canvas.drawText(frame.title, frame.titleBar.insetBy(60, 0), kTitleFont, kPrimaryText,
                  TextAlignment::center);
  canvas.fillPath(Path().addEllipse(frame.closeButton), kTabFill);
  drawSymbol(canvas, Symbol::xmark, frame.closeButton.insetBy(6, 6), kSecondaryText);
  for (const auto& tab : frame.tabs) {
    canvas.fillPath(Path().addRoundedRect(tab.rect, tab.rect.height / 2),
                    tab.active ? kActiveTabFill : kTabFill);
    canvas.drawText(tab.title, tab.rect.insetBy(10, 0), kTabFont,
                    tab.active ? Color::black(0.88) : kPrimaryText, TextAlignment::center);
    if (tab.marker) {
      canvas.fillPath(Path().addEllipse({tab.rect.maxX() - 16, tab.rect.y + 5, 8, 8}),
                      kApprovalAmber);
    }
  }
}

void paintBanner(Canvas& canvas, const SettingsFrame& frame) {
  if (!frame.banner) return;
  canvas.fillPath(Path().addRoundedRect(frame.bannerRect, frame.bannerRect.height / 2),
                  Color::white(0.12));
  canvas.drawText(*frame.banner, frame.bannerRect.insetBy(14, 0), kBannerFont, kPrimaryText,
                  TextAlignment::center);
}

}  // namespace

void paintSettings(Canvas& canvas, const SettingsFrame& frame) {
  paintChrome(canvas, frame);
  canvas.save();
  canvas.clip(frame.viewport);
  for (const auto& element : frame.elements) paintSettingsElement(canvas, element);
  canvas.restore();
  paintBanner(canvas, frame);
}

}  // namespace glimmet
