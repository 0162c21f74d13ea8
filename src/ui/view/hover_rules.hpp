#pragma once

#include <optional>

#include "ui/view/geometry.hpp"
#include "ui/view/overlay_types.hpp"

namespace glimmet {

namespace HoverTiming {
inline constexpr double kExpandDelaySeconds = 0.28;
inline constexpr double kCollapseDelaySeconds = 0.2;
// The capsule's frame grows by this much for the "still on it" test, so a pointer on its very
// edge counts.
inline constexpr double kCapsuleSlack = 1;
// Jitter at the edge of the panel, or a pointer on its way into the opening panel, keeps it.
inline constexpr double kPanelSlack = 18;
}  // namespace HoverTiming

// The area the panel will cover when it opens: `panelSize`, centred on the capsule, hanging from
// its top. Screen coordinates, y downwards.
Rect openingPanelFrame(const Rect& windowFrame, Size panelSize);

// Whether a pointer that rested on the capsule for the hover delay opens the panel: only while
// collapsed, and only when the pointer is still on the capsule (1-pt slack) or, not below the
// capsule's bottom edge, within 18 pt of the area the panel will cover.
bool shouldExpandAfterHoverDelay(OverlayMode mode, const std::optional<Rect>& windowFrame,
                                 Point mouseLocation, Size openingPanelSize);

// Whether the panel stays open when its collapse delay has run out: the pointer is within 18 pt
// of the window.
bool shouldStayExpanded(const Rect& windowFrame, Point mouseLocation);

}  // namespace glimmet
