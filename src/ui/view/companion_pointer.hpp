#pragma once

#include <vector>

#include "ui/view/geometry.hpp"

namespace glimmet {

// A press on the companion either moves it or, when the pointer barely moved, is a click.
struct CompanionDragState {
  // More than this many pixels in either direction makes the press a drag.
  static constexpr double kDragThreshold = 2;
  bool pressed = false;
  bool didDrag = false;
  Point dragStartMouse;
  Rect dragStartFrame;
};

struct CompanionPointerOutcome {
  enum class Kind {
    none,
    moveWindow,       // `frame` follows the pointer
    persistFrame,     // the drag ended with the window at `frame`
    openStatus,       // the label's status item was clicked
    endPlacement,     // the click confirms where the window was placed
    openPetSettings,  // a click on the pet
  };
  Kind kind = Kind::none;
  Rect frame;
  bool operator==(const CompanionPointerOutcome&) const = default;
};

// `globalMouse` is on the screen; `windowFrame` the companion window's frame then.
void companionMouseDown(CompanionDragState& state, Point globalMouse, const Rect& windowFrame);
CompanionPointerOutcome companionMouseDragged(CompanionDragState& state, Point globalMouse);
// `localMouse` is in the window; `labelHitRect` is where the label with a status item is
// (empty when the label has none).
CompanionPointerOutcome companionMouseUp(CompanionDragState& state, Point globalMouse,
                                         Point localMouse, int clickCount, const Rect& labelHitRect,
                                         bool placementMode);

// `frame` moved onto the screen it overlaps most (the nearest when it overlaps none), inside it
// entirely when it fits.
Rect clampCompanionFrame(const Rect& frame, const std::vector<Rect>& screens);

// Walking to and fro along the bottom of a screen: the window's x advances at kSpeed and turns at
// either edge.
struct CompanionRoamingWalk {
  static constexpr double kSpeed = 36;  // pixels per second: a stroll, not a dash
  double x = 0;
  int direction = 1;  // 1 to the right, -1 to the left
};

// Advances the walk by `seconds` within [minX, maxX] (the window's left edge).
void stepCompanionRoamingWalk(CompanionRoamingWalk& walk, double seconds, double minX, double maxX);

}  // namespace glimmet
