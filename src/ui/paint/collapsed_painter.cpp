#include <string>

#include "ui/paint/overlay_painter.hpp"
#include "ui/paint/painter_glyphs.hpp"
#include "ui/paint/pet_avatar.hpp"
#include "ui/paint/symbols.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr double kBadgeFontSize = 10.5;
constexpr double kBadgeFillAlpha = 0.22;
constexpr double kDeadlineFontSize = 11;

void paintSurface(Canvas& canvas, const OverlayFrame& frame) {
  const CollapsedFrame& c = frame.collapsed;
  const CapsuleSurface surface = capsuleSurface(frame.displayKind, c.body, c.bounds);
  canvas.fillPath(surface.body, ViewColors::kPanelBlack);
  for (const auto& shoulder : surface.shoulders) canvas.fillPath(shoulder, ViewColors::kPanelBlack);
  if (surface.strip) canvas.fillRect(*surface.strip, ViewColors::kPanelBlack);
}

void paintBadge(Canvas& canvas, const CollapsedFrame& c) {
  const Color amber = ViewColors::kApprovalAmber;
  canvas.fillPath(Path().addRoundedRect(c.badgeRect, CollapsedMetrics::kBadgeRadius),
                  amber.withAlpha(kBadgeFillAlpha));
  const double line = CollapsedMetrics::kTextLineHeight;
  const double y = c.badgeRect.midY() - line / 2;
  const Rect icon{c.badgeRect.minX() + 5, c.badgeRect.midY() - 5.25, 10.5, 10.5};
  drawSymbol(canvas, Symbol::bell, icon, amber);
  const Rect count{icon.maxX() + 2, y, c.badgeRect.maxX() - 4 - (icon.maxX() + 2), line};
  canvas.drawText(cappedCount(static_cast<size_t>(std::max(c.badgeCount, 0))), count,
                  {kBadgeFontSize, FontWeight::bold, true}, amber, TextAlignment::center);
}

void paintExternal(Canvas& canvas, const OverlayFrame& frame) {
  const CollapsedFrame& c = frame.collapsed;
  drawToolLogo(canvas, c.toolLogo, c.logoTool, c.logoColor);
  const FontSpec font = externalCollapsedStatusFont(
      c.text, c.textRect.width, [&canvas](std::string_view text, const FontSpec& font) {
        return canvas.measureText(text, font).width;
      });
  canvas.drawText(c.text, c.textRect, font, ViewColors::kPrimaryText, TextAlignment::left);
  if (c.deadline) {
    canvas.drawText(*c.deadline, c.deadlineRect, {kDeadlineFontSize, FontWeight::regular, false},
                    ViewColors::kSecondaryText, TextAlignment::right);
  } else if (c.showsBadge) {
    paintBadge(canvas, c);
  }
}

void paintMacBook(Canvas& canvas, const OverlayFrame& frame) {
  const CollapsedFrame& c = frame.collapsed;
  canvas.drawText(c.statusWord, c.statusRect,
                  {CollapsedMetrics::kMacBookStatusFontSize, FontWeight::semibold, false},
                  c.statusColor, TextAlignment::center);
}

}  // namespace

void paintCollapsed(Canvas& canvas, const OverlayFrame& frame) {
  paintSurface(canvas, frame);
  drawPetAvatar(canvas, frame.pet, frame.collapsed.pet, frame.petState, frame.petClockMs,
                frame.reduceMotion);
  if (frame.displayKind == DisplayKind::macBookPhysical) {
    paintMacBook(canvas, frame);
  } else {
    paintExternal(canvas, frame);
  }
}

}  // namespace glimmet
