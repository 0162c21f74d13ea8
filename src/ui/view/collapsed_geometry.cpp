#include "ui/view/collapsed_geometry.hpp"

#include <algorithm>
#include <cmath>

namespace glimmet {

using namespace CollapsedMetrics;

namespace {

// A reserved height arrives as a fractional point value; the window needs whole points.
double reservedPoints(double topReservedHeight) {
  return std::ceil(std::max(topReservedHeight, 0.0));
}

constexpr double kLogoSize = 16;
constexpr double kLogoLeading = 46;
constexpr double kTextGapAfterLogo = 8;
constexpr double kMinimumTextWidth = 44;
constexpr double kDeadlineWidth = 92;
constexpr double kDeadlineTrailing = 8;
constexpr double kPlainTextTrailing = 18;
constexpr double kBadgeTrailing = 14;

}  // namespace

double collapsedOverlayHeight(DisplayKind kind, double topReservedHeight, double safeTopInset) {
  const double reserved = reservedPoints(topReservedHeight);
  if (kind == DisplayKind::macBookPhysical) {
    const double h = std::ceil(std::max(reserved, safeTopInset));
    // The camera housing's visible edge ends 0.7 pt above the safe-area inset.
    return h > 0 ? std::max(h - 0.7, kDefaultHeight) : kDefaultHeight;
  }
  return reserved > 0 ? reserved : kDefaultHeight;
}

Size collapsedOverlaySize(DisplayKind kind, double topReservedHeight, double safeTopInset) {
  return {kWidth, collapsedOverlayHeight(kind, topReservedHeight, safeTopInset)};
}

Path topAttachedCapsulePath(const Rect& rect, double bottomRadius) {
  // One point above the view, so the top edge hides under the screen edge.
  const Rect body{rect.minX() + 0.5, rect.minY() - 1, std::max(rect.width - 1, 0.0),
                  std::max(rect.height + 0.5, 0.0)};
  const double r = std::max(0.0, std::min({bottomRadius, body.width / 2, body.height}));
  const double k = 0.45 * r;
  Path path;
  path.moveTo({body.minX(), body.minY()})
      .lineTo({body.maxX(), body.minY()})
      .lineTo({body.maxX(), body.maxY() - r})
      .curveTo({body.maxX(), body.maxY() - k}, {body.maxX() - k, body.maxY()},
               {body.maxX() - r, body.maxY()})
      .lineTo({body.minX() + r, body.maxY()})
      .curveTo({body.minX() + k, body.maxY()}, {body.minX(), body.maxY() - k},
               {body.minX(), body.maxY() - r})
      .close();
  return path;
}

CapsuleSurface capsuleSurface(DisplayKind kind, const Rect& body, const Rect& bounds) {
  CapsuleSurface surface;
  surface.body = topAttachedCapsulePath(body, kBodyBottomRadius);
  if (kind == DisplayKind::macBookPhysical) {
    surface.strip = Rect{body.minX(), body.minY() - 1, body.width, 2};
    return surface;
  }
  const double s = std::min(
      {kShoulderSize, body.minX() - bounds.minX(), bounds.width - (body.maxX() - bounds.minX())});
  if (s <= 0) return surface;
  const double c = kQuarterCircleKappa * s;
  Path left;
  left.moveTo({body.minX(), body.minY()})
      .lineTo({body.minX() - s, body.minY()})
      .curveTo({body.minX() - s + c, body.minY()}, {body.minX(), body.minY() + s - c},
               {body.minX(), body.minY() + s})
      .close();
  Path right;
  right.moveTo({body.maxX(), body.minY()})
      .lineTo({body.maxX() + s, body.minY()})
      .curveTo({body.maxX() + s - c, body.minY()}, {body.maxX(), body.minY() + s - c},
               {body.maxX(), body.minY() + s})
      .close();
  surface.shoulders = {std::move(left), std::move(right)};
  return surface;
}

Rect collapsedBodyRect(DisplayKind /*kind*/, const Rect& bounds) {
  // Both kinds keep 5 pt at each side: the MacBook wings around the housing, the external
  // capsule's shoulders.
  const double width = std::min(kMacBookBodyWidth, bounds.width);
  return {bounds.midX() - width / 2, bounds.minY(), width, bounds.height};
}

Rect macBookCutoutRect(const Rect& body) {
  const double width = std::min(kMacBookCutoutWidth, body.width);
  return {body.midX() - width / 2, body.minY(), width, body.height};
}

Rect petRect(DisplayKind kind, double capsuleHeight) {
  if (kind == DisplayKind::macBookPhysical) {
    const double wing = (kMacBookBodyWidth - kMacBookCutoutWidth) / 2;
    return {5 + wing / 2 - 8, (capsuleHeight - 16) / 2, 16, 16};
  }
  return {5 + 10, (capsuleHeight - 20) / 2, 20, 20};
}

Rect externalCollapsedToolLogoRect(const Rect& body) {
  return {body.minX() + kLogoLeading, body.minY() + (body.height - kLogoSize) / 2 - 1, kLogoSize,
          kLogoSize};
}

Rect externalCollapsedDeadlineRect(const Rect& body, double textY) {
  return {body.maxX() - kDeadlineTrailing - kDeadlineWidth, textY, kDeadlineWidth, kTextLineHeight};
}

namespace {

Rect textRow(double start, double end, double textY) {
  return {start, textY, std::max(kMinimumTextWidth, end - start), kTextLineHeight};
}

double textStart(const Rect& body) {
  return externalCollapsedToolLogoRect(body).maxX() + kTextGapAfterLogo;
}

}  // namespace

Rect externalCollapsedStatusTextRect(const Rect& body, double textY, bool hasTrailingAccessory) {
  const double end = body.maxX() - (hasTrailingAccessory ? kTrailingSlotWidth : kPlainTextTrailing);
  return textRow(textStart(body), end, textY);
}

Rect externalCollapsedStatusTextRect(const Rect& body, double textY, const Rect& deadlineRect) {
  const double start = textStart(body);
  return textRow(start, std::max(start + kMinimumTextWidth, deadlineRect.minX() - 6), textY);
}

Rect externalCollapsedUsageTextRect(const Rect& body, double textY,
                                    const std::optional<Rect>& deadlineRect) {
  const double end = deadlineRect ? deadlineRect->minX() - 6 : body.maxX() - kPlainTextTrailing;
  return textRow(textStart(body), end, textY);
}

Rect macBookCollapsedStatusRect(const Rect& body, const Rect& cutout) {
  const double width = std::max(48.0, 22 + std::max(body.maxX() - cutout.maxX(), 0.0) - 6);
  return {cutout.maxX() - 22, body.minY() + (body.height - kTextLineHeight) / 2, width,
          kTextLineHeight};
}

Rect externalCollapsedBadgeRect(const Rect& body) {
  return {body.maxX() - kBadgeTrailing - kBadgeWidth, body.midY() - kBadgeHeight / 2, kBadgeWidth,
          kBadgeHeight};
}

double externalCollapsedTextY(const Rect& body) {
  return body.minY() + (body.height - kTextLineHeight) / 2;
}

FontSpec externalCollapsedStatusFont() {
  return {kStatusFontSize, FontWeight::semibold, false};
}

FontSpec externalCollapsedStatusFont(std::string_view text, double width,
                                     const TextMeasure& measure) {
  FontSpec font = externalCollapsedStatusFont();
  while (font.size > kStatusFontFloor && measure(text, font) > width) {
    font.size -= kStatusFontStep;
  }
  font.size = std::max(font.size, kStatusFontFloor);
  return font;
}

}  // namespace glimmet
