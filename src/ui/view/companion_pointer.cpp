#include "ui/view/companion_pointer.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace glimmet {

void companionMouseDown(CompanionDragState& state, Point globalMouse, const Rect& windowFrame) {
  state.pressed = true;
  state.didDrag = false;
  state.dragStartMouse = globalMouse;
  state.dragStartFrame = windowFrame;
}

CompanionPointerOutcome companionMouseDragged(CompanionDragState& state, Point globalMouse) {
  if (!state.pressed) return {};
  const double dx = globalMouse.x - state.dragStartMouse.x;
  const double dy = globalMouse.y - state.dragStartMouse.y;
  if (std::abs(dx) > CompanionDragState::kDragThreshold ||
      std::abs(dy) > CompanionDragState::kDragThreshold)
    state.didDrag = true;
  Rect frame = state.dragStartFrame;
  frame.x += dx;
  frame.y += dy;
  return {CompanionPointerOutcome::Kind::moveWindow, frame};
}

CompanionPointerOutcome companionMouseUp(CompanionDragState& state, Point globalMouse,
                                         Point localMouse, int clickCount, const Rect& labelHitRect,
                                         bool placementMode) {
  if (!state.pressed) return {};
  // The release may come without a motion event before it.
  const auto moved = companionMouseDragged(state, globalMouse);
  state.pressed = false;
  if (state.didDrag) return {CompanionPointerOutcome::Kind::persistFrame, moved.frame};
  if (clickCount >= 2) return {};
  if (!labelHitRect.isEmpty() && labelHitRect.contains(localMouse))
    return {CompanionPointerOutcome::Kind::openStatus, state.dragStartFrame};
  if (placementMode) return {CompanionPointerOutcome::Kind::endPlacement, state.dragStartFrame};
  return {CompanionPointerOutcome::Kind::openPetSettings, state.dragStartFrame};
}

Rect clampCompanionFrame(const Rect& frame, const std::vector<Rect>& screens) {
  const Rect* best = nullptr;
  double bestOverlap = 0;
  double bestDistance = std::numeric_limits<double>::max();
  for (const auto& screen : screens) {
    if (screen.isEmpty()) continue;
    const double overlapWidth =
        std::min(frame.maxX(), screen.maxX()) - std::max(frame.minX(), screen.minX());
    const double overlapHeight =
        std::min(frame.maxY(), screen.maxY()) - std::max(frame.minY(), screen.minY());
    const double overlap = std::max(0.0, overlapWidth) * std::max(0.0, overlapHeight);
    const double distance = std::hypot(frame.midX() - screen.midX(), frame.midY() - screen.midY());
    if (overlap > bestOverlap || (overlap == bestOverlap && distance < bestDistance)) {
      best = &screen;
      bestOverlap = overlap;
      bestDistance = distance;
    }
  }
  if (!best) return frame;
  Rect clamped = frame;
  clamped.x = std::max(best->minX(), std::min(frame.x, best->maxX() - frame.width));
  clamped.y = std::max(best->minY(), std::min(frame.y, best->maxY() - frame.height));
  return clamped;
}

void stepCompanionRoamingWalk(CompanionRoamingWalk& walk, double seconds, double minX,
                              double maxX) {
  if (maxX <= minX) {
    walk.x = minX;
    return;
  }
  walk.x += walk.direction * CompanionRoamingWalk::kSpeed * std::max(0.0, seconds);
  if (walk.x >= maxX) {
    walk.x = maxX;
    walk.direction = -1;
  } else if (walk.x <= minX) {
    walk.x = minX;
    walk.direction = 1;
  }
}

}  // namespace glimmet
