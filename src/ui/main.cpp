#include "base/leak_suppressions.hpp"
#include "ui/command_line.hpp"

GLIMMET_LEAK_SUPPRESSIONS

int main(int argc, char** argv) {
  return glimmet::runCommandLine(argc, argv);
}
