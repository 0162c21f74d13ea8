#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/result.hpp"

namespace glimmet {

// Starts `argv` (argv[0] an absolute path) in a session of its own, with standard input and
// output on /dev/null, so that it keeps running after this process exits and never becomes
// this process's zombie. Fails with the system's reason when the program cannot be started.
Status spawnDetached(const std::vector<std::string>& argv);

// The path of the running program, symbolic links resolved; absent when the system does not
// tell.
std::optional<std::string> currentExecutablePath();

// This process's identifier, for a helper that waits for it to exit.
int64_t currentProcessId();

// The login name of the user this process runs for; empty when it cannot be found.
std::string currentLoginName();

}  // namespace glimmet
