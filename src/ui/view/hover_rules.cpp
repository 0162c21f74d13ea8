#include "ui/view/hover_rules.hpp"

namespace glimmet {

using namespace HoverTiming;

Rect openingPanelFrame(const Rect& windowFrame, Size panelSize) {
  return {windowFrame.midX() - panelSize.width / 2, windowFrame.minY(), panelSize.width,
          panelSize.height};
}

bool shouldExpandAfterHoverDelay(OverlayMode mode, const std::optional<Rect>& windowFrame,
                                 Point mouseLocation, Size openingPanelSize) {
  if (mode != OverlayMode::collapsed || !windowFrame) return false;
  if (windowFrame->grownBy(kCapsuleSlack).contains(mouseLocation)) return true;
  if (mouseLocation.y > windowFrame->maxY()) return false;
  return openingPanelFrame(*windowFrame, openingPanelSize)
      .grownBy(kPanelSlack)
      .contains(mouseLocation);
}

bool shouldStayExpanded(const Rect& windowFrame, Point mouseLocation) {
  return windowFrame.grownBy(kPanelSlack).contains(mouseLocation);
}

}  // namespace glimmet
