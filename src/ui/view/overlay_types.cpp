#include "ui/view/overlay_types.hpp"

namespace glimmet {

const char* rawValue(OverlayMode mode) {
  switch (mode) {
    case OverlayMode::collapsed:
      return "collapsed";
    case OverlayMode::expanded:
      return "expanded";
    case OverlayMode::settings:
      return "settings";
  }
  return "collapsed";
}

const char* rawValue(DisplayKind kind) {
  return kind == DisplayKind::macBookPhysical ? "macBookPhysical" : "externalVirtual";
}

}  // namespace glimmet
