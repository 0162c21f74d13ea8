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

  bool operator==(const JumpTarget&) const = default;
};

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
