#pragma once

// A machine for jump tests: real folders, files and executables under a temporary directory
// (its own PATH), and the applications and cmux sessions a test says are installed or open.

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "jump/jump_resolver.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {

inline JumpTarget cli(std::string command, std::optional<std::string> cwd = std::nullopt) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::cli;
  target.command = std::move(command);
  target.cwd = std::move(cwd);
  return target;
}

inline JumpTarget url(std::string text) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::url;
  target.url = std::move(text);
  return target;
}

inline JumpTarget file(std::string path) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::file;
  target.path = std::move(path);
  return target;
}

inline JumpTarget terminalCwd(std::string cwd, std::optional<std::string> terminal = std::nullopt) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::terminalCwd;
  target.cwd = std::move(cwd);
  target.terminal = std::move(terminal);
  return target;
}

inline JumpTarget terminalWindow(std::string terminal, std::optional<std::string> sessionID,
                                 std::optional<std::string> cwd = std::nullopt,
                                 std::optional<std::string> windowID = std::nullopt) {
  JumpTarget target;
  target.windowID = std::move(windowID);
  target.kind = JumpTarget::Kind::terminalWindow;
  target.terminal = std::move(terminal);
  target.sessionID = std::move(sessionID);
  target.cwd = std::move(cwd);
  return target;
}

inline JumpTarget cmux(std::optional<std::string> sessionID, std::optional<std::string> windowID,
                       std::optional<std::string> cwd) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::cmux;
  target.sessionID = std::move(sessionID);
  target.windowID = std::move(windowID);
  target.cwd = std::move(cwd);
  return target;
}

inline JumpTarget app(std::optional<std::string> bundleID, std::optional<std::string> appPath,
                      std::optional<std::string> deepLink = std::nullopt) {
  JumpTarget target;
  target.kind = JumpTarget::Kind::app;
  target.bundleID = std::move(bundleID);
  target.appPath = std::move(appPath);
  target.deepLink = std::move(deepLink);
  return target;
}

class FakeMachine {
 public:
  explicit FakeMachine(Platform platform = Platform::macOS) : platform_(platform) {
    std::filesystem::create_directories(bin());
    std::filesystem::create_directories(folder());
    writeText(file(), "notes\n");
  }

  std::string bin() const { return dir_.file("bin"); }
  std::string folder() const { return dir_.file("work"); }     // an existing folder
  std::string file() const { return dir_.file("notes.txt"); }  // an existing file
  std::string missing() const { return dir_.file("missing"); }
  std::string path(std::string_view name) const { return dir_.file(name); }

  // An executable file named `name` on this machine's PATH.
  std::string addCommand(const std::string& name) const {
    const std::string path = bin() + "/" + name;
    writeText(path, "#!/bin/sh\nexit 0\n");
    ::chmod(path.c_str(), 0755);
    return path;
  }

  std::set<std::string> apps;      // application paths that exist
  std::set<std::string> bundles;   // bundle ids the desktop knows
  std::set<std::string> sessions;  // open cmux sessions and windows
  std::set<std::string> closedTerminalSessions;

  // The default resolver of this machine (file system, PATH lookups) with the applications and
  // sessions above.
  JumpResolver resolver() const {
    JumpResolver resolver =
        JumpResolver::makeDefault(Environment({{"PATH", bin()}}), dir_.path(), platform_);
    resolver.appExists = [this](const std::string& path) { return apps.contains(path); };
    resolver.appBundleExists = [this](const std::string& id) { return bundles.contains(id); };
    resolver.cmuxSessionExists = [this](const std::string& id) { return sessions.contains(id); };
    resolver.terminalSessionExists = [this](const JumpTarget& target) {
      for (const auto& id : {target.windowID, target.tabID, target.sessionID}) {
        if (id && closedTerminalSessions.contains(*id)) return false;
      }
      return true;
    };
    return resolver;
  }

 private:
  Platform platform_;
  TempDir dir_;
};

}  // namespace glimmet::testing
