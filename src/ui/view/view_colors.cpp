#include "ui/view/view_colors.hpp"

namespace glimmet {

Color petStateColor(PetState state) {
  using namespace ViewColors;
  switch (state) {
    case PetState::idle:
      return kIdleWhite;
    case PetState::working:
      return kWorkingViolet;
    case PetState::approval:
      return kApprovalAmber;
    case PetState::done:
      return kDoneGreen;
    case PetState::error:
      return kErrorRed;
    case PetState::tired:
      return kUsageOrange;
  }
  return kIdleWhite;
}

}  // namespace glimmet
