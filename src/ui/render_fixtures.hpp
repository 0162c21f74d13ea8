#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/app_snapshot.hpp"
#include "ui/paint/canvas.hpp"
#include "ui/view/overlay_frame.hpp"
#include "ui/view/overlay_view_state.hpp"

namespace glimmet {

// A surface other than the overlay (the settings panel, ...) that draws itself: its size, its
// drawing, and the description written next to the image at a given scale.
// A still of the overlay in a known state, drawn by `glimmet render` and compared with the
// golden images of the tests: what the snapshot holds, how the surface stands, on which kind of
// display, at one fixed moment.
struct RenderFixture {
  std::string name;
  AppSnapshot snapshot;
  OverlayViewState state;
  DisplayKind displayKind = DisplayKind::externalVirtual;
  double collapsedHeight = 32;
  Timestamp now;
  // A still of a window beside the overlay (the desktop companion, say), drawn by a painter of
  // its own instead of the overlay's.
  struct Still {
    Size size;
    std::function<void(Canvas&)> paint;
    std::string stateJson;
  };
  std::optional<Still> still;

  OverlayFrame layout() const;
};

using RenderFixtureMakers = std::map<std::string, std::function<RenderFixture()>>;

std::vector<std::string> renderFixtureNames();
std::optional<RenderFixture> renderFixture(const std::string& name);

}  // namespace glimmet
