#pragma once

#include "model/companion_status.hpp"
#include "model/tool_catalog.hpp"
#include "ui/view/geometry.hpp"

namespace glimmet {

// The colours the capsule and the panel share.
namespace ViewColors {
inline constexpr Color kApprovalAmber = Color::rgb(245, 179, 1);
inline constexpr Color kUsageOrange = Color::rgb(255, 155, 61);
inline constexpr Color kWorkingViolet = Color::rgb(139, 92, 246);
inline constexpr Color kDoneGreen = Color::rgb(0, 214, 163);
inline constexpr Color kErrorRed = Color::rgb(255, 77, 94);
inline constexpr Color kIdleWhite = Color::white(0.58);
inline constexpr Color kPrimaryText = Color::white(0.94);
inline constexpr Color kSecondaryText = Color::white(0.58);
inline constexpr Color kTertiaryText = Color::white(0.38);
inline constexpr Color kPanelBlack = Color::black();
}  // namespace ViewColors

constexpr Color toColor(const RGBColor& color, double alpha = 1) {
  return Color::rgb(color.red, color.green, color.blue, alpha);
}

// The colour that stands for a pet state: in the capsule's status word and the pet placeholder.
Color petStateColor(PetState state);

}  // namespace glimmet
