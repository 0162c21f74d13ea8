#pragma once

namespace glimmet {

// The `glimmet` program: parses the subcommand and runs it; returns the exit status.
int runCommandLine(int argc, char** argv);

}  // namespace glimmet
