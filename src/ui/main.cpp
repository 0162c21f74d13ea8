#include "ui/command_line.hpp"

int main(int argc, char** argv) {
  return glimmet::runCommandLine(argc, argv);
}
