#pragma once

#include <optional>
#include <string_view>

#include "ui/view/geometry.hpp"

namespace glimmet {

// How the desktop companion presents itself: with a speech bubble, as a floating pet with a
// label, walking along the bottom of the screen, or tucked small with the label beside it.
enum class CompanionDisplayMode { bubble, floating, roaming, tucked };

const char* rawValue(CompanionDisplayMode mode);
// The case name as stored in the user defaults; absent for any other text.
std::optional<CompanionDisplayMode> companionDisplayModeFromRaw(std::string_view raw);

constexpr double kMinCompanionScale = 0.75;
constexpr double kMaxCompanionScale = 1.6;

// The user's scale kept to what still reads well and still fits beside other windows.
double clampCompanionScale(double scale);

// The companion window for `mode` at `scale` (clamped), in whole pixels.
Size companionSize(CompanionDisplayMode mode, double scale);

// Where the pet sits in the companion window `bounds`.
Rect companionPetContentRect(const Rect& bounds, CompanionDisplayMode mode, double scale);

struct CompanionLabelRects {
  Rect title;
  Rect detail;
  bool operator==(const CompanionLabelRects&) const = default;
};

// The label's two lines around the pet `petRect` in `bounds`.
CompanionLabelRects companionLabelRects(const Rect& bounds, const Rect& petRect,
                                        CompanionDisplayMode mode);

struct CompanionLabelChrome {
  Color fill;
  Color border;
};

// The label plate stands out from the desktop behind it: lighter on a dark appearance, darker
// on a light one.
CompanionLabelChrome companionLabelChrome(bool isDarkAppearance);

// How many characters fit on a label line `width` wide in a font of `fontPointSize`; never
// fewer than 8 so that a line always says something.
int companionLabelCharacterLimit(double width, double fontPointSize);

}  // namespace glimmet
