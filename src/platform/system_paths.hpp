#pragma once

#include <string>

#include "base/environment.hpp"

namespace glimmet {

// The current user's home directory: $HOME when set, else the password database.
std::string userHomeDirectory(const Environment& environment);

// The per-user application-support directory of Glimmet: on macOS
// "~/Library/Application Support/Glimmet", on Linux "$XDG_DATA_HOME/Glimmet"
// (default "~/.local/share/Glimmet").
std::string applicationSupportDirectory(const Environment& environment);

// Where the Linux user-defaults file lives: "$XDG_CONFIG_HOME/Glimmet" (default "~/.config").
std::string userConfigDirectory(const Environment& environment);

}  // namespace glimmet
