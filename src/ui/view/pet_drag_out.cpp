#include "ui/view/pet_drag_out.hpp"

#include <cmath>
#include <utility>

namespace glimmet {

bool beginPetPress(PetDragOutState& state, const OverlayFrame& frame, Point windowPoint,
                   Point rootPoint) {
  state = {};
  if (frame.mode != OverlayMode::expanded || !frame.expanded.pet.contains(windowPoint))
    return false;
  state.pressRoot = rootPoint;
  return true;
}

void movePetPress(PetDragOutState& state, Point rootPoint) {
  if (!state.pressRoot || state.dragging) return;
  state.dragging = std::abs(rootPoint.x - state.pressRoot->x) > kPetDragThreshold ||
                   std::abs(rootPoint.y - state.pressRoot->y) > kPetDragThreshold;
}

PetPressOutcome endPetPress(PetDragOutState& state, Point rootPoint, const Rect& panelFrame) {
  movePetPress(state, rootPoint);
  const PetDragOutState ended = std::exchange(state, {});
  if (!ended.pressRoot) return PetPressOutcome::none;
  if (!ended.dragging) return PetPressOutcome::click;
  return panelFrame.contains(rootPoint) ? PetPressOutcome::dropOnPanel
                                        : PetPressOutcome::dropOutside;
}

Point companionDropOrigin(Point rootPoint, CompanionDisplayMode mode, double scale) {
  const Size size = companionSize(mode, scale);
  const Rect pet = companionPetContentRect({0, 0, size.width, size.height}, mode, scale);
  return {std::round(rootPoint.x - pet.midX()), std::round(rootPoint.y - pet.midY())};
}

}  // namespace glimmet
