// The entry point of the Glimmet app bundle; the glimmet binary's is ui/main.cpp.

#include <string>
#include <vector>

#include "base/leak_suppressions.hpp"
#include "ui/bundle_arguments.hpp"
#include "ui/command_line.hpp"
#include "ui/macos/mac_application.hpp"

GLIMMET_LEAK_SUPPRESSIONS

int main(int argc, char** argv) {
  const std::vector<std::string> command =
      glimmet::bundleCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  // Opened from the Finder or the login items: the app itself, in AppKit's run loop.
  if (command == std::vector<std::string>{"run"})
    return glimmet::runMacApplication(glimmet::Environment::current());
  std::vector<char*> arguments = {argv[0]};
  for (const auto& argument : command) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  return glimmet::runCommandLine(static_cast<int>(command.size()) + 1, arguments.data());
}
