#pragma once

#include <optional>

#include "ui/view/companion_geometry.hpp"
#include "ui/view/geometry.hpp"
#include "ui/view/overlay_frame.hpp"

namespace glimmet {

// A press on the open panel's pet: released where it was pressed it is a click (the settings on
// the Pets tab); dragged off the panel it puts the pet on the desktop as the companion.
struct PetDragOutState {
  std::optional<Point> pressRoot;  // screen coordinates of the press
  bool dragging = false;
};

enum class PetPressOutcome {
  none,         // no press on the pet was under way
  click,        // released without moving more than the drag threshold
  dropOnPanel,  // dragged but let go over the panel: nothing happens
  dropOutside,  // dragged off the panel: the companion appears where it was let go
};

// Pointer movements up to this many pixels on each axis still make a click.
inline constexpr double kPetDragThreshold = 2;

// Starts a press when `windowPoint` is on the expanded panel's pet; false otherwise (the press is
// then an ordinary click for the panel).
bool beginPetPress(PetDragOutState& state, const OverlayFrame& frame, Point windowPoint,
                   Point rootPoint);
void movePetPress(PetDragOutState& state, Point rootPoint);
// Ends the press; `panelFrame` is the panel window's frame in screen coordinates.
PetPressOutcome endPetPress(PetDragOutState& state, Point rootPoint, const Rect& panelFrame);

// Where the companion's window goes so that its pet stands under the pointer that dropped it.
Point companionDropOrigin(Point rootPoint, CompanionDisplayMode mode, double scale);

}  // namespace glimmet
