#include "ui/view/settings_pet_preview.hpp"

#include <cmath>

#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

double positiveFraction(double phase, double period) {
  double t = std::fmod(phase, period) / period;
  if (t < 0) t += 1;
  return t;
}

double smoothstep(double u) {
  return u * u * (3 - 2 * u);
}

}  // namespace

PetState petStateForPreview(PetPreviewStateID state) {
  switch (state) {
    case PetPreviewStateID::idle:
    case PetPreviewStateID::sleeping:
      return PetState::idle;
    case PetPreviewStateID::running:
      return PetState::working;
    case PetPreviewStateID::waitingInput:
    case PetPreviewStateID::approval:
      return PetState::approval;
    case PetPreviewStateID::review:
      return PetState::done;
    case PetPreviewStateID::error:
      return PetState::error;
    case PetPreviewStateID::rateLimit:
      return PetState::tired;
  }
  return PetState::idle;
}

Color petPreviewColor(PetPreviewStateID state) {
  switch (state) {
    case PetPreviewStateID::rateLimit:
      return ViewColors::kUsageOrange;
    case PetPreviewStateID::sleeping:
      return Color::rgb(120, 144, 255);
    default:
      return petStateColor(petStateForPreview(state));
  }
}

double livePreviewRoamingLeftPct(double phase) {
  const double t = positiveFraction(phase, 3.2);
  if (t < 0.5) return 24 + 34 * smoothstep(2 * t);
  return 58 - 16 * smoothstep(2 * (t - 0.5));
}

double livePreviewFloatingY(double phase) {
  const double t = positiveFraction(phase, 3.0);
  return -2 * (1 - std::abs(2 * t - 1));
}

}  // namespace glimmet
