#include "jump/jump_programs.hpp"

#include "platform/file_system.hpp"

namespace glimmet {

JumpPrograms JumpPrograms::defaults(Platform platform, const Environment& environment) {
  JumpPrograms programs;
  programs.cmuxOnPath = executableInPath("cmux", environment);
  if (platform == Platform::macOS) {
    programs.osascript = "/usr/bin/osascript";
    programs.open = "/usr/bin/open";
    programs.shell = "/bin/sh";
    programs.cmuxCandidates = {"/Applications/cmux.app/Contents/Resources/bin/cmux",
                               "/opt/homebrew/bin/cmux", "/usr/local/bin/cmux"};
    return programs;
  }
  programs.shell = executableInPath("sh", environment).value_or("/bin/sh");
  programs.xdgOpen = executableInPath("xdg-open", environment);
  programs.tmux = executableInPath("tmux", environment);
  programs.kitty = executableInPath("kitty", environment);
  programs.wezterm = executableInPath("wezterm", environment);
  for (const auto& name : linuxTerminalCommands()) {
    if (auto path = executableInPath(name, environment)) programs.terminals[name] = *path;
  }
  return programs;
}

std::optional<std::string> JumpPrograms::cmux() const {
  for (const auto& candidate : cmuxCandidates) {
    if (isExecutableFile(candidate)) return candidate;
  }
  return cmuxOnPath;
}

}  // namespace glimmet
