#pragma once

// Where the programs a jump runs live. One table, so that tests put recording fakes in place of
// each; on macOS the defaults are the fixed system paths, on Linux what the PATH finds.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/environment.hpp"
#include "integrations/app_locations.hpp"

namespace glimmet {

// The terminals a folder can be opened in on Linux, by their command names.
inline const std::vector<std::string>& linuxTerminalCommands() {
  static const std::vector<std::string> commands = {
      "gnome-terminal", "konsole", "kitty", "wezterm", "alacritty", "xterm", "x-terminal-emulator"};
  return commands;
}

struct JumpPrograms {
  std::string osascript;  // macOS
  std::string open;       // macOS
  std::string shell;      // runs the detached scripts
  // Tried in order; the first that exists wins, else `cmuxOnPath`.
  std::vector<std::string> cmuxCandidates;
  std::optional<std::string> cmuxOnPath;
  std::optional<std::string> xdgOpen;  // Linux
  std::optional<std::string> tmux;
  std::optional<std::string> kitty;
  std::optional<std::string> wezterm;
  // Linux terminal command name -> its path, for those installed.
  std::map<std::string, std::string> terminals;

  static JumpPrograms defaults(Platform platform, const Environment& environment);

  // The cmux tool to run, if any is installed.
  std::optional<std::string> cmux() const;
};

}  // namespace glimmet
