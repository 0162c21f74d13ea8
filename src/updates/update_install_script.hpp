#pragma once

#include <string_view>
#include <vector>

#include "integrations/embedded_scripts.hpp"

namespace glimmet {

// The updater's scripts compiled into the program, byte for byte.
const std::vector<EmbeddedScript>& embeddedUpdateScripts();

// The POSIX sh script that replaces the installed program once it has exited.
std::string_view updateInstallScript();

}  // namespace glimmet
