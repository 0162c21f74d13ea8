#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/environment.hpp"

namespace glimmet {

// Asks a shim which interpreter it stands for; absent when it cannot tell.
using InterpreterProbe = std::function<std::optional<std::string>(const std::string& shim)>;

// Runs `shim -c "import sys; print(sys.executable)"` with a short time limit.
std::optional<std::string> askShimForInterpreter(const std::string& shim);

// The interpreter written in front of every Python bridge in a hook command, as shell words.
// Hooks run on every tool call, and a version manager's shim (pyenv, asdf) costs hundreds of
// milliseconds per start, so it is resolved once, at install, to the interpreter it stands
// for. The `python3` found first on the search path is used as it is when it is a program; a
// script there (a shim) is asked for its interpreter; when nothing resolves, "/usr/bin/env
// python3" leaves the choice to the agent's own search path.
std::string resolvePythonInterpreter(const Environment& environment,
                                     const InterpreterProbe& probe = askShimForInterpreter);

}  // namespace glimmet
