#pragma once

#include <string>

#include "base/environment.hpp"
#include "base/result.hpp"

namespace glimmet {

// Whether Glimmet starts with the user's session, and the switch for it: on Linux an XDG
// autostart entry ("$XDG_CONFIG_HOME/autostart/glimmet.desktop", default "~/.config") that runs
// `program run`; on macOS the app's own login item. Turning it off when it is already off, or on
// when it is on, succeeds and changes nothing.
Status setOpenAtLogin(bool enabled, const std::string& program, const Environment& environment);
bool isOpenAtLogin(const Environment& environment);

// The autostart entry's text for `program`; the path is quoted as desktop entries want.
std::string autostartDesktopEntry(const std::string& program);

}  // namespace glimmet
