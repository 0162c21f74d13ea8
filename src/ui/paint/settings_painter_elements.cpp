#include "ui/paint/painter_glyphs.hpp"
#include "ui/paint/pet_avatar.hpp"
#include "ui/paint/settings_painter.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

using namespace ViewColors;

const FontSpec kHeadingFont{17, FontWeight::semibold, false};
const FontSpec kCaptionFont{11.5, FontWeight::regular, false};
const FontSpec kRowTitleFont{13, FontWeight::semibold, false};
const FontSpec kLargeTitleFont{20, FontWeight::bold, false};
const FontSpec kRowDetailFont{11, FontWeight::regular, false};
const FontSpec kControlFont{11, FontWeight::semibold, false};
const FontSpec kBadgeFont{9.5, FontWeight::semibold, false};

constexpr double kCardRadius = 14;
constexpr Color kCardFill = Color::white(0.06);
constexpr Color kControlFill = Color::white(0.1);

void paintRowText(Canvas& canvas, const SettingsElement& e) {
  const FontSpec& titleFont = e.prominent ? kLargeTitleFont : kRowTitleFont;
  const double titleHeight = e.prominent ? 24 : 18;
  Color title = e.enabled ? kPrimaryText : kTertiaryText;
  if (e.on) title = kDoneGreen;
  canvas.drawText(e.text, {e.rect.x, e.rect.y, e.rect.width, titleHeight}, titleFont, title,
                  TextAlignment::left);
  if (!e.detail.empty()) {
    canvas.drawText(e.detail, {e.rect.x, e.rect.y + titleHeight, e.rect.width, 16}, kRowDetailFont,
                    e.enabled ? kSecondaryText : kTertiaryText, TextAlignment::left);
  }
}

void paintSwitch(Canvas& canvas, const SettingsElement& e) {
  canvas.fillPath(Path().addRoundedRect(e.rect, e.rect.height / 2),
                  e.on ? kDoneGreen : Color::white(0.18));
  const double knob = e.rect.height - 4;
  const double x = e.on ? e.rect.maxX() - 2 - knob : e.rect.x + 2;
  canvas.fillPath(Path().addEllipse({x, e.rect.y + 2, knob, knob}), Color::white());
}

void paintPill(Canvas& canvas, const SettingsElement& e) {
  const Path shape = Path().addRoundedRect(e.rect, e.rect.height / 2);
  if (e.on) {
    canvas.fillPath(shape, e.color.withAlpha(0.9));
    canvas.drawText(e.text, e.rect.insetBy(8, 0), kControlFont, Color::black(0.88),
                    TextAlignment::center);
    return;
  }
  canvas.fillPath(shape, kControlFill);
  canvas.drawText(e.text, e.rect.insetBy(8, 0), kControlFont, kPrimaryText, TextAlignment::center);
}

void paintButton(Canvas& canvas, const SettingsElement& e) {
  const Path shape = Path().addRoundedRect(e.rect, e.rect.height / 2);
  Color text = e.enabled ? kPrimaryText : kTertiaryText;
  if (e.prominent && e.enabled) {
    canvas.fillPath(shape, kDoneGreen.withAlpha(0.9));
    text = Color::black(0.88);
  } else {
    canvas.fillPath(shape, e.enabled ? kControlFill : Color::white(0.04));
  }
  canvas.drawText(e.text, e.rect.insetBy(10, 0), kControlFont, text, TextAlignment::center);
}

void paintPlayButton(Canvas& canvas, const SettingsElement& e) {
  canvas.fillPath(Path().addEllipse(e.rect), e.on ? e.color.withAlpha(0.9) : kControlFill);
  const Color glyph = e.on ? Color::black(0.88) : kPrimaryText;
  const Rect r = e.rect.insetBy(e.rect.width * 0.32, e.rect.height * 0.3);
  if (e.on) {
    // Playing: a stop square.
    canvas.fillPath(Path().addRoundedRect(r, 1.5), glyph);
    return;
  }
  canvas.fillPath(Path()
                      .moveTo({r.x + r.width * 0.15, r.y})
                      .lineTo({r.maxX(), r.midY()})
                      .lineTo({r.x + r.width * 0.15, r.maxY()})
                      .close(),
                  glyph);
}

void paintBadge(Canvas& canvas, const SettingsElement& e) {
  canvas.fillPath(Path().addRoundedRect(e.rect, e.rect.height / 2), e.color.withAlpha(0.18));
  canvas.drawText(e.text, e.rect.insetBy(6, 0), kBadgeFont, e.color, TextAlignment::center);
}

// The element's own pet when the content named one, else the placeholder shape.
void drawSettingsPet(Canvas& canvas, const SettingsElement& e, const Rect& rect) {
  if (e.pet) {
    drawPetAvatar(canvas, *e.pet, rect, e.petState, e.petClockMs, e.reduceMotion);
  } else {
    drawPetPlaceholder(canvas, rect, e.petState);
  }
}

void paintPetTile(Canvas& canvas, const SettingsElement& e) {
  const Path shape = Path().addRoundedRect(e.rect, kCardRadius);
  canvas.fillPath(shape, e.on ? Color::white(0.12) : kCardFill);
  if (e.on)
    canvas.strokePath(Path().addRoundedRect(e.rect.insetBy(1, 1), kCardRadius), kDoneGreen, 2);
  drawSettingsPet(canvas, e, {e.rect.x + 12, e.rect.y + 12, 36, 36});
  canvas.drawText(e.text, {e.rect.x + 12, e.rect.y + 54, e.rect.width - 24, 16}, kRowTitleFont,
                  kPrimaryText, TextAlignment::left);
  canvas.drawText(e.detail, {e.rect.x + 12, e.rect.y + 72, e.rect.width - 24, 14}, kRowDetailFont,
                  kSecondaryText, TextAlignment::left);
}

void paintPetPreview(Canvas& canvas, const SettingsElement& e) {
  canvas.fillPath(Path().addRoundedRect(e.rect, 12), Color::white(0.04));
  canvas.save();
  canvas.clip(e.rect);
  // The desktop line the pet stands on.
  canvas.fillRect({e.rect.x + 16, e.rect.maxY() - 18, e.rect.width - 32, 1}, Color::white(0.12));
  drawSettingsPet(canvas, e, e.inner);
  if (e.detail == "bubble") {
    const Rect bubble{e.inner.maxX() + 12, e.inner.y - 6, 168, 30};
    canvas.fillPath(Path().addRoundedRect(bubble, 12), Color::white(0.92));
    canvas.drawText(e.text, bubble.insetBy(12, 0), kControlFont, Color::black(0.85),
                    TextAlignment::left);
  } else {
    canvas.drawText(e.text, {e.rect.x + 14, e.rect.y + 10, 200, 16}, kControlFont, e.color,
                    TextAlignment::left);
  }
  canvas.restore();
}

void paintSlider(Canvas& canvas, const SettingsElement& e) {
  const Rect track{e.rect.x, e.rect.midY() - 2, e.rect.width, 4};
  canvas.fillPath(Path().addRoundedRect(track, 2), Color::white(0.18));
  canvas.fillPath(Path().addRoundedRect({track.x, track.y, track.width * e.value, 4}, 2),
                  kDoneGreen);
  const double knob = 16;
  canvas.fillPath(Path().addEllipse({track.x + track.width * e.value - knob / 2,
                                     e.rect.midY() - knob / 2, knob, knob}),
                  Color::white());
  canvas.drawText(e.text, {e.rect.maxX() + 14, e.rect.y, 80, e.rect.height}, kControlFont,
                  kSecondaryText, TextAlignment::left);
}

void paintAppIcon(Canvas& canvas, const SettingsElement& e) {
  canvas.fillPath(Path().addRoundedRect(e.rect, e.rect.width * 0.26), Color::white(0.1));
  const Rect capsule{e.rect.x + 10, e.rect.midY() - 8, e.rect.width - 20, 16};
  canvas.fillPath(Path().addRoundedRect(capsule, 8), Color::black());
  canvas.fillPath(Path().addEllipse({capsule.x + 5, capsule.y + 4, 8, 8}), kDoneGreen);
}

}  // namespace

void paintSettingsElement(Canvas& canvas, const SettingsElement& e) {
  switch (e.kind) {
    case SettingsElementKind::heading:
      canvas.drawText(e.text, e.rect, kHeadingFont, kPrimaryText, TextAlignment::left);
      break;
    case SettingsElementKind::caption:
      canvas.drawText(e.text, e.rect, kCaptionFont, kSecondaryText, TextAlignment::left);
      break;
    case SettingsElementKind::card:
      canvas.fillPath(Path().addRoundedRect(e.rect, kCardRadius), kCardFill);
      break;
    case SettingsElementKind::rowText:
      paintRowText(canvas, e);
      break;
    case SettingsElementKind::switchControl:
      paintSwitch(canvas, e);
      break;
    case SettingsElementKind::pill:
      paintPill(canvas, e);
      break;
    case SettingsElementKind::button:
      paintButton(canvas, e);
      break;
    case SettingsElementKind::playButton:
      paintPlayButton(canvas, e);
      break;
    case SettingsElementKind::badge:
      paintBadge(canvas, e);
      break;
    case SettingsElementKind::petTile:
      paintPetTile(canvas, e);
      break;
    case SettingsElementKind::petPreview:
      paintPetPreview(canvas, e);
      break;
    case SettingsElementKind::slider:
      paintSlider(canvas, e);
      break;
    case SettingsElementKind::toolLogo:
      drawToolLogo(canvas, e.rect, e.text, e.color);
      break;
    case SettingsElementKind::appIcon:
      paintAppIcon(canvas, e);
      break;
  }
}

}  // namespace glimmet
