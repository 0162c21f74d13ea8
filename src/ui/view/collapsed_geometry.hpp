#pragma once

#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "ui/paint/canvas.hpp"
#include "ui/view/geometry.hpp"
#include "ui/view/overlay_types.hpp"

namespace glimmet {

namespace CollapsedMetrics {
inline constexpr double kWidth = 332;
inline constexpr double kDefaultHeight = 32;
inline constexpr double kMacBookBodyWidth = 322;
inline constexpr double kMacBookCutoutWidth = 230;
inline constexpr double kBodyBottomRadius = 8;
inline constexpr double kShoulderSize = 5;
// The control-point factor of a quarter circle drawn with one cubic curve.
inline constexpr double kQuarterCircleKappa = 0.5522847498;
inline constexpr double kStatusFontSize = 11;
inline constexpr double kStatusFontFloor = 9.5;
inline constexpr double kStatusFontStep = 0.5;
inline constexpr double kMacBookStatusFontSize = 9.5;
inline constexpr double kTextLineHeight = 13;
inline constexpr double kTrailingSlotWidth = 74;
inline constexpr double kBadgeWidth = 38;
inline constexpr double kBadgeHeight = 18;
inline constexpr double kBadgeRadius = 7;
}  // namespace CollapsedMetrics

// The height of the collapsed window: the physical notch's visual height on a MacBook, the menu
// bar's (or a top panel's) height elsewhere, 32 when neither is known.
double collapsedOverlayHeight(DisplayKind kind, double topReservedHeight, double safeTopInset);
Size collapsedOverlaySize(DisplayKind kind, double topReservedHeight, double safeTopInset);

// The body shape: square top corners hidden one point above the view, rounded bottom corners.
Path topAttachedCapsulePath(const Rect& rect, double bottomRadius);

// The filled shapes of the capsule surface in a window of `bounds`: the body, and either the two
// concave shoulders that curve it into the screen edge (external) or the 2-pt strip that squares
// it off against a physical notch (MacBook).
struct CapsuleSurface {
  Path body;
  std::vector<Path> shoulders;
  std::optional<Rect> strip;
};
CapsuleSurface capsuleSurface(DisplayKind kind, const Rect& body, const Rect& bounds);

// The body rectangle inside a collapsed window of `bounds`, and the physical cutout it wraps
// (MacBook only; empty elsewhere).
Rect collapsedBodyRect(DisplayKind kind, const Rect& bounds);
Rect macBookCutoutRect(const Rect& body);

Rect petRect(DisplayKind kind, double capsuleHeight);
Rect externalCollapsedToolLogoRect(const Rect& body);
Rect externalCollapsedDeadlineRect(const Rect& body, double textY);
Rect externalCollapsedStatusTextRect(const Rect& body, double textY, bool hasTrailingAccessory);
Rect externalCollapsedStatusTextRect(const Rect& body, double textY, const Rect& deadlineRect);
Rect externalCollapsedUsageTextRect(const Rect& body, double textY,
                                    const std::optional<Rect>& deadlineRect);
Rect macBookCollapsedStatusRect(const Rect& body, const Rect& cutout);
// The trailing slot's approval badge, centred in the last 74 points before the right inset.
Rect externalCollapsedBadgeRect(const Rect& body);
// The text row of the external capsule: a 13-pt line centred on the body.
double externalCollapsedTextY(const Rect& body);

FontSpec externalCollapsedStatusFont();
// The largest size from 11 pt down in 0.5-pt steps at which `text` fits `width`; never below
// 9.5 pt, whatever the width.
using TextMeasure = std::function<double(std::string_view text, const FontSpec& font)>;
FontSpec externalCollapsedStatusFont(std::string_view text, double width,
                                     const TextMeasure& measure);

}  // namespace glimmet
