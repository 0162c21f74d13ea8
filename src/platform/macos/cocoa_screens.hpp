#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/overlay_host.hpp"

namespace glimmet {

// The height of the first NSScreen, which AppKit's global coordinates are measured from.
double primaryScreenHeight();
// NSScreen.screens as HostScreens, the first one primary.
std::vector<HostScreen> cocoaScreens();
// Ids of the screens that another application's full-screen window covers, from the window
// server's list of on-screen windows.
std::set<std::string> cocoaScreensWithFullScreenWindows();

}  // namespace glimmet
