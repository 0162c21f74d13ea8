#pragma once

// Bringing another program's window to the front, where the desktop allows it: on X11 through
// the window manager's _NET_ACTIVE_WINDOW request. macOS offers no such thing to a program that
// knows only a process or window number, so there every call fails with the reason.

#include <cstdint>
#include <string>

#include "base/result.hpp"

namespace glimmet {

// Asks the window manager on `display` (":0") to activate the top-level window that holds
// `windowID` (a terminal's WINDOWID may name an inner widget window); the top-level window.
Result<uint64_t> activateWindow(const std::string& display, uint64_t windowID);

// The top-level window that `processID` or the nearest of its ancestors owns (_NET_WM_PID): a
// shell's or an agent's terminal window.
Result<uint64_t> windowOwnedByProcessTree(const std::string& display, int64_t processID);

}  // namespace glimmet
