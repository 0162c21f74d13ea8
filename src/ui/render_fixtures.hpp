#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/app_snapshot.hpp"
#include "ui/paint/canvas.hpp"
#include "ui/view/overlay_frame.hpp"
#include "ui/view/overlay_view_state.hpp"

namespace glimmet {

// A still of the overlay in a known state, drawn by `glimmet render` and compared with the
// golden images of the tests: what the snapshot holds, how the surface stands, on which kind of
// display, at one fixed moment.
// A still of a window beside the overlay (the text panel): its size in points, how it is drawn
// and the state text its window would carry.
struct WindowStill {
  Size size;
  std::function<void(Canvas&)> paint;
  std::string stateJson;
};

struct RenderFixture {
  std::string name;
  AppSnapshot snapshot;
  OverlayViewState state;
  DisplayKind displayKind = DisplayKind::externalVirtual;
  double collapsedHeight = 32;
  Timestamp now;
  // Set for a fixture of another window; the overlay fields are then unused.
  std::optional<WindowStill> window;

  OverlayFrame layout() const;
};

std::vector<std::string> renderFixtureNames();
std::optional<RenderFixture> renderFixture(const std::string& name);

}  // namespace glimmet
