#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace glimmet {

// Runs `argv` (argv[0] a path to an executable) with this process's environment and standard
// input from /dev/null, and returns what it printed when it exits with status 0 within
// `timeout`; a program that takes longer is killed. For short questions asked once (which
// interpreter a shim stands for), never on a path that runs per event.
std::optional<std::string> commandOutput(const std::vector<std::string>& argv,
                                         std::chrono::milliseconds timeout);

}  // namespace glimmet
