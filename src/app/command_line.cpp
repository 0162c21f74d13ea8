#include "app/command_line.hpp"

#include <cstdio>

namespace glimmet {

int runCommandLine(int /*argc*/, char** /*argv*/) {
  std::puts("glimmet");
  return 0;
}

}  // namespace glimmet
