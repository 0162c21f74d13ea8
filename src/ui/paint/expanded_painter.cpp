#include <string>
#include <vector>

#include "base/text.hpp"
#include "ui/paint/overlay_painter.hpp"
#include "ui/paint/painter_glyphs.hpp"
#include "ui/paint/pet_avatar.hpp"
#include "ui/paint/symbols.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

using namespace ViewColors;

const FontSpec kAppNameFont{13, FontWeight::semibold, false};
const FontSpec kTopRowFont{11, FontWeight::medium, false};
const FontSpec kHeadlineFont{17, FontWeight::semibold, false};
const FontSpec kSublineFont{12, FontWeight::regular, false};
const FontSpec kCardToolFont{11, FontWeight::semibold, false};
const FontSpec kCardMetaFont{10.5, FontWeight::regular, false};
const FontSpec kCardTitleFont{13, FontWeight::semibold, false};
const FontSpec kCardDetailFont{11, FontWeight::regular, false};
const FontSpec kButtonFont{10.5, FontWeight::semibold, false};
const FontSpec kBannerFont{11, FontWeight::semibold, false};

constexpr double kCardRadius = 14;
constexpr Color kControlFill = Color::white(0.1);

void paintTopRow(Canvas& canvas, const OverlayFrame& frame) {
  const ExpandedFrame& e = frame.expanded;
  drawPetAvatar(canvas, frame.pet, e.pet, frame.petState, frame.petClockMs, frame.reduceMotion);
  if (e.compactToolLogo) {
    drawToolLogo(canvas, *e.compactToolLogo, frame.ticker.tool, e.statusDotColor);
  } else {
    canvas.drawText("Glimmet", e.appName, kAppNameFont, kPrimaryText, TextAlignment::left);
  }
  canvas.fillPath(Path().addEllipse(e.status.statusDot), e.statusDotColor);
  if (!e.status.toolText.isEmpty()) {
    canvas.drawText(e.toolText, e.status.toolText, kTopRowFont, kSecondaryText,
                    TextAlignment::left);
  }
  if (!e.usageText.empty()) {
    canvas.drawText(e.usageText, e.status.usageText, kTopRowFont, kSecondaryText,
                    TextAlignment::left);
  }
  canvas.fillPath(Path().addRoundedRect(e.settingsButton, e.settingsButton.height / 2),
                  kControlFill);
  drawSymbol(canvas, Symbol::gearshape, e.settingsButton.insetBy(5, 5), kPrimaryText);
}

void paintSummary(Canvas& canvas, const ExpandedFrame& e) {
  canvas.drawText(e.headlineText, e.headline, kHeadlineFont, kPrimaryText, TextAlignment::left);
  canvas.drawText(e.sublineText, e.subline, kSublineFont, kSecondaryText, TextAlignment::left);
  if (!e.countersText.empty()) {
    canvas.drawText(e.countersText, e.counters, kTopRowFont, kSecondaryText, TextAlignment::left);
  }
  const Color tone = e.clearEnabled ? kPrimaryText : kTertiaryText;
  for (const auto& [rect, glyph] :
       {std::pair{e.clearPage, Symbol::markAllRead}, std::pair{e.clearAll, Symbol::trash}}) {
    canvas.fillPath(Path().addRoundedRect(rect, 7), kControlFill);
    drawSymbol(canvas, glyph, rect.insetBy(4, 4), tone);
  }
}

void paintButton(Canvas& canvas, const CardButtonFrame& button, Color accent) {
  Color fill = kControlFill;
  Color text = kPrimaryText;
  if (button.armed) {
    fill = kErrorRed;
    text = Color::white();
  } else if (button.style == ButtonStyle::primary) {
    fill = accent.withAlpha(0.9);
    text = Color::black(0.88);
  } else if (button.style == ButtonStyle::destructive) {
    text = kErrorRed;
  }
  canvas.fillPath(Path().addRoundedRect(button.rect, button.rect.height / 2), fill);
  canvas.drawText(button.button.label, button.rect.insetBy(4, 0), kButtonFont, text,
                  TextAlignment::center);
}

void paintChoice(Canvas& canvas, const CardFrame& card) {
  const ChoiceBodyFrame& choice = *card.choice;
  const auto& layout = choice.layout;
  canvas.fillPath(Path().addRoundedRect(layout.body, kCardRadius), Color::white(0.06));
  for (size_t i = 0; i < layout.pills.size() && i < card.card.options.size(); ++i) {
    const ChoicePill& option = card.card.options[i];
    const Rect& rect = layout.pills[i];
    canvas.fillPath(Path().addRoundedRect(rect, rect.height / 2),
                    option.enabled ? kControlFill : Color::white(0.04));
    const Color tone = !option.enabled                    ? kTertiaryText
                       : option.risk == MessageRisk::high ? kErrorRed
                                                          : kPrimaryText;
    canvas.drawText(option.label, rect.insetBy(10, 0), kButtonFont, tone, TextAlignment::center);
  }
  if (layout.note) {
    const Rect& note = *layout.note;
    canvas.fillPath(Path().addRoundedRect(note, 8), Color::black());
    canvas.strokePath(Path().addRoundedRect(note.insetBy(0.5, 0.5), 8),
                      choice.noteFocused ? card.card.accent : Color::white(0.2), 1);
    const bool empty = choice.noteText.empty();
    canvas.drawText(empty ? card.card.notePlaceholder : choice.noteText, note.insetBy(10, 0),
                    kCardDetailFont, empty ? kTertiaryText : kPrimaryText, TextAlignment::left);
  }
  if (layout.send) {
    canvas.fillPath(Path().addRoundedRect(*layout.send, layout.send->height / 2),
                    card.card.accent.withAlpha(0.9));
    canvas.drawText("Send", *layout.send, kButtonFont, Color::black(0.88), TextAlignment::center);
  }
}

void paintCard(Canvas& canvas, const CardFrame& card) {
  const PanelCard& c = card.card;
  const Path shape = Path().addRoundedRect(card.rect, kCardRadius);
  canvas.fillPath(shape, c.fill);
  if (card.riskLabel) {
    canvas.strokePath(Path().addRoundedRect(card.rect.insetBy(0.5, 0.5), kCardRadius), c.accent, 1);
  }
  drawToolLogo(canvas, card.toolLogo, c.tool, c.toolColor);
  canvas.drawText(c.tool, card.toolText, kCardToolFont, kSecondaryText, TextAlignment::left);
  std::vector<std::string> meta;
  if (card.riskLabel) meta.push_back(*card.riskLabel);
  if (!c.badge.empty()) meta.push_back(c.badge);
  if (!c.time.empty()) meta.push_back(c.time);
  canvas.drawText(join(meta, " · "), card.metaText, kCardMetaFont,
                  card.riskLabel ? c.accent : kTertiaryText, TextAlignment::right);
  canvas.drawText(c.title.empty() ? c.badge : c.title, card.titleText, kCardTitleFont, kPrimaryText,
                  TextAlignment::left);
  if (!card.detailText.isEmpty()) {
    canvas.drawText(card.detailLine, card.detailText, kCardDetailFont, kSecondaryText,
                    TextAlignment::left);
  }
  for (const auto& button : card.buttons) paintButton(canvas, button, c.accent);
  if (card.choice) paintChoice(canvas, card);
}

void paintBanner(Canvas& canvas, const FrameBanner& banner) {
  canvas.fillPath(Path().addRoundedRect(banner.rect, banner.rect.height / 2),
                  banner.color.withAlpha(0.16));
  canvas.drawText(banner.text, banner.rect.insetBy(12, 0), kBannerFont, banner.color,
                  TextAlignment::center);
}

}  // namespace

void paintExpanded(Canvas& canvas, const OverlayFrame& frame) {
  const ExpandedFrame& e = frame.expanded;
  canvas.fillPath(topAttachedCapsulePath(e.panel, ExpandedMetrics::kCornerRadius), kPanelBlack);
  if (frame.mode == OverlayMode::settings) {
    canvas.drawText("Settings", {24, 20, e.panel.width - 120, 24}, kHeadlineFont, kPrimaryText,
                    TextAlignment::left);
  } else {
    paintTopRow(canvas, frame);
    paintSummary(canvas, e);
    for (const auto& card : e.cards) paintCard(canvas, card);
    if (e.emptyInbox) {
      canvas.drawText(e.emptyText, *e.emptyInbox, kSublineFont, kSecondaryText,
                      TextAlignment::center);
    }
  }
  if (frame.banner) paintBanner(canvas, *frame.banner);
  drawSymbol(canvas, Symbol::power, e.quit.insetBy(3, 3), kSecondaryText);
}

}  // namespace glimmet
