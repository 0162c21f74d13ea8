#include "ui/view/settings_pet_preview.hpp"

#include "ui/view/view_colors.hpp"

namespace glimmet {

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

}  // namespace glimmet
