#pragma once

#include <string>
#include <vector>

#include "base/environment.hpp"
#include "model/paths.hpp"

namespace glimmet {

// Every folder and file in which Glimmet keeps what agents did: prompts, commands, paths,
// approvals. Only the user may read them.
std::vector<std::string> privateDataPaths(const Paths& paths, const Environment& environment);

// Takes group and other access off those that earlier versions left open, once at start-up.
// The one line to log when something was changed, else empty.
std::string makeDataPrivate(const Paths& paths, const Environment& environment);

}  // namespace glimmet
