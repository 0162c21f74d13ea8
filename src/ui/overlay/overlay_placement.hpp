#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/environment.hpp"
#include "platform/overlay_host.hpp"
#include "ui/view/geometry.hpp"
#include "ui/view/overlay_types.hpp"

namespace glimmet {

// On which screens the overlay shows: the main one, the one under the pointer, or every one.
enum class DisplayPolicy { primary, mouse, all };

// "primary", "mouse", "all"; anything else, or nothing, is the primary screen.
DisplayPolicy displayPolicyFromRaw(const std::optional<std::string>& raw);
const char* rawValue(DisplayPolicy policy);

// One screen per id, the primary one first, empty and zero-size screens left out.
std::vector<HostScreen> uniqueLogicalScreens(const std::vector<HostScreen>& screens);

// The screens the overlay shows on under `policy`; the pointer picks the screen for `mouse` (the
// first screen when it is on none or unknown).
std::vector<HostScreen> screensForPolicy(const std::vector<HostScreen>& screens,
                                         DisplayPolicy policy,
                                         const std::optional<std::pair<int, int>>& pointer);

// Changes whenever a screen comes, goes, moves, resizes or changes its reserved top.
std::string screenSignature(const std::vector<HostScreen>& screens);

// The window of `size` points hanging from the top edge of `screen`, centred on its camera
// housing when it has one (a housing off the middle takes the window with it), else on the
// screen.
PixelRect overlayWindowFrame(const HostScreen& screen, Size size);

// The collapsed window's height on `screen`: its menu bar, and on a MacBook display the
// housing's safe-area inset as well.
double collapsedHeightOn(const HostScreen& screen, DisplayKind kind);

// GLIMMET_DISPLAY_KIND "macbook" or "external" when set; otherwise a built-in panel with a
// camera housing is a MacBook display and every other screen gets the virtual notch.
DisplayKind displayKindFor(const HostScreen& screen, const Environment& environment);

// Screen rectangle as view geometry.
Rect rectOf(const PixelRect& frame);

}  // namespace glimmet
