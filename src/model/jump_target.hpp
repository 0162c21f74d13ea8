#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace glimmet {

// Where an agent runs: an app, a command, a cmux session, a terminal window or folder, a URL or
// a file. One record with a kind; only the fields of that kind are meaningful.
struct JumpTarget {
  enum class Kind { app, cli, cmux, terminalWindow, terminalCwd, url, file };
  Kind kind = Kind::app;

  std::optional<std::string> bundleID;   // app
  std::optional<std::string> appPath;    // app
  std::optional<std::string> deepLink;   // app
  std::string command;                   // cli
  std::vector<std::string> args;         // cli
  std::optional<std::string> cwd;        // cli, cmux, terminalWindow, terminalCwd (required there)
  std::optional<std::string> sessionID;  // cmux, terminalWindow
  std::optional<std::string> windowID;   // cmux, terminalWindow
  std::optional<std::string> tabID;      // terminalWindow
  std::optional<std::string> terminal;   // terminalWindow (required there), terminalCwd
  std::string url;                       // url
  std::string path;                      // file
  std::optional<int64_t> line;           // file

  // terminalWindow on Linux, where windowID/tabID/sessionID keep their macOS meaning (an
  // iTerm2 or Terminal window, tab tty, session) and these name what the Linux desktop and the
  // terminal's own remote control can focus.
  std::optional<int64_t> processID;          // the agent's process, for the walk to its window
  std::optional<std::string> x11WindowID;    // the terminal's WINDOWID, decimal or 0x-hex
  std::optional<std::string> tmuxPane;       // TMUX_PANE, "%3"
  std::optional<std::string> kittyWindowID;  // KITTY_WINDOW_ID
  std::optional<std::string> kittyListenOn;  // KITTY_LISTEN_ON, the remote-control socket
  std::optional<std::string> weztermPane;    // WEZTERM_PANE

  bool operator==(const JumpTarget&) const = default;
};

// Whether a terminal-window target names a window, tab, session or pane to focus, on either
// desktop; a blank id names nothing.
inline bool hasTerminalFocusIdentifiers(const JumpTarget& target) {
  const auto named = [](const std::optional<std::string>& id) {
    return id && id->find_first_not_of(" \t\r\n") != std::string::npos;
  };
  return named(target.windowID) || named(target.tabID) || named(target.sessionID) ||
         named(target.x11WindowID) || named(target.tmuxPane) || named(target.kittyWindowID) ||
         named(target.weztermPane) || target.processID.has_value();
}

enum class JumpQuality { exactWindow, sessionLevel, workspaceLevel, appLevel, unavailable };
enum class ResolvedJumpAction {
  openApp,
  openCLI,
  openCmux,
  focusTerminalWindow,
  openTerminal,
  openURL,
  openFile,
  configure
};

const char* rawValue(JumpQuality quality);
const char* rawValue(ResolvedJumpAction action);

// A jump target checked against the machine: whether it can be used and how exact it is.
struct ResolvedJumpTarget {
  bool available = false;
  JumpTarget target;
  std::string label;
  std::optional<std::string> reason;
  JumpQuality quality = JumpQuality::unavailable;
  std::shared_ptr<const ResolvedJumpTarget> fallback;
  ResolvedJumpAction action = ResolvedJumpAction::configure;
  bool operator==(const ResolvedJumpTarget&) const = default;
};

}  // namespace glimmet
