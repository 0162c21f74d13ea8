#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/environment.hpp"

namespace glimmet {

// The command that opens an application found on Linux at `location`: a desktop entry through
// `gio launch` (GLib's launcher, which honours the entry's Exec, Terminal and DBusActivatable
// keys), else through `gtk-launch` with the entry's id; a launcher or an AppImage directly.
// Absent when nothing on PATH can open a desktop entry, or the location is neither.
std::optional<std::vector<std::string>> linuxAppLaunchCommand(const std::string& location,
                                                              const Environment& environment);

}  // namespace glimmet
