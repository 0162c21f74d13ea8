#include "ui/overlay/overlay_placement.hpp"

#include <cmath>
#include <set>

#include <fmt/format.h>

#include "base/text.hpp"
#include "ui/view/collapsed_geometry.hpp"

namespace glimmet {

DisplayPolicy displayPolicyFromRaw(const std::optional<std::string>& raw) {
  if (raw == "mouse") return DisplayPolicy::mouse;
  if (raw == "all") return DisplayPolicy::all;
  return DisplayPolicy::primary;
}

const char* rawValue(DisplayPolicy policy) {
  switch (policy) {
    case DisplayPolicy::mouse:
      return "mouse";
    case DisplayPolicy::all:
      return "all";
    case DisplayPolicy::primary:
      break;
  }
  return "primary";
}

std::vector<HostScreen> uniqueLogicalScreens(const std::vector<HostScreen>& screens) {
  std::vector<HostScreen> unique;
  std::set<std::string> seen;
  for (const auto& screen : screens) {
    if (screen.frame.width <= 0 || screen.frame.height <= 0) continue;
    if (!seen.insert(screen.id).second) continue;
    if (screen.primary) {
      unique.insert(unique.begin(), screen);
    } else {
      unique.push_back(screen);
    }
  }
  return unique;
}

std::vector<HostScreen> screensForPolicy(const std::vector<HostScreen>& screens,
                                         DisplayPolicy policy,
                                         const std::optional<std::pair<int, int>>& pointer) {
  std::vector<HostScreen> unique = uniqueLogicalScreens(screens);
  if (unique.empty() || policy == DisplayPolicy::all) return unique;
  if (policy == DisplayPolicy::mouse && pointer) {
    const auto [x, y] = *pointer;
    for (const auto& screen : unique) {
      const PixelRect& f = screen.frame;
      if (x >= f.x && x < f.x + f.width && y >= f.y && y < f.y + f.height) return {screen};
    }
  }
  return {unique.front()};
}

std::string screenSignature(const std::vector<HostScreen>& screens) {
  std::string signature;
  for (const auto& screen : screens) {
    const PixelRect& f = screen.frame;
    signature += fmt::format("{}@{},{},{}x{}+{}", screen.id, f.x, f.y, f.width, f.height,
                             screen.topReservedHeight);
    // Only a screen with a camera housing has these; the others keep their short form.
    if (screen.safeAreaTopInset > 0) signature += fmt::format("^{}", screen.safeAreaTopInset);
    if (const auto& n = screen.notch) {
      signature += fmt::format("[{},{},{}x{}]", n->x, n->y, n->width, n->height);
    }
    signature += ';';
  }
  return signature;
}

PixelRect overlayWindowFrame(const HostScreen& screen, Size size) {
  const int width = static_cast<int>(std::ceil(size.width));
  const int height = static_cast<int>(std::ceil(size.height));
  const PixelRect& centreOf = screen.notch ? *screen.notch : screen.frame;
  return {centreOf.x + (centreOf.width - width) / 2, screen.frame.y, width, height};
}

double collapsedHeightOn(const HostScreen& screen, DisplayKind kind) {
  return collapsedOverlayHeight(kind, screen.topReservedHeight, screen.safeAreaTopInset);
}

DisplayKind displayKindFor(const HostScreen& screen, const Environment& environment) {
  const auto forced = environment.nonEmptyString("GLIMMET_DISPLAY_KIND");
  if (forced == "macbook") return DisplayKind::macBookPhysical;
  if (forced == "external") return DisplayKind::externalVirtual;
  const std::string name = toLower(screen.name);
  if (name.find("built-in") != std::string::npos || name.find("liquid retina") != std::string::npos)
    return DisplayKind::macBookPhysical;
  return DisplayKind::externalVirtual;
}

Rect rectOf(const PixelRect& frame) {
  return {static_cast<double>(frame.x), static_cast<double>(frame.y),
          static_cast<double>(frame.width), static_cast<double>(frame.height)};
}

}  // namespace glimmet
