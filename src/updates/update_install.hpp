#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/environment.hpp"
#include "base/result.hpp"

namespace glimmet {

struct PendingUpdateInstallRequest {
  std::string artifactPath;  // the verified artifact
  // The installed program: the Glimmet.app bundle on macOS, on Linux the folder whose bin/
  // holds the glimmet program.
  std::string targetPath;
  std::string version;
  bool relaunchAfterInstall = true;
};

// Starts a program detached (argv[0] an absolute path); fails with the reason it could not.
using UpdateScriptLauncher = std::function<Status(const std::vector<std::string>& argv)>;

struct UpdateInstallContext {
  std::string updatesDirectory;  // where the script and its log are written
  std::string loginName;         // the user to hand the program back to after a root install
};

// The updates folder of this user's application-support directory and this user's login name.
UpdateInstallContext currentUpdateInstallContext(const Environment& environment);

// Writes the install script to the updates folder and starts it detached, so that it waits for
// `waitForPid` to exit, replaces the installed program and (if asked) starts the new one. A
// target in a folder the user cannot write goes through osascript's administrator prompt on
// macOS and fails on Linux. Returns the log file the script writes to.
Result<std::string> installAndRelaunch(const PendingUpdateInstallRequest& request,
                                       int64_t waitForPid, const UpdateScriptLauncher& launch,
                                       const UpdateInstallContext& context);

// The AppleScript that runs the install script with administrator privileges: every argument
// shell-quoted, the command put in the background, the whole escaped as an AppleScript string.
std::string adminAppleScript(const std::vector<std::string>& scriptArguments);

// The installed program this process runs from: the enclosing ".app" bundle on macOS, on Linux
// the folder above the bin/ holding the executable. Absent when the program does not sit in
// such a layout (a build tree, say).
std::optional<std::string> installedProgramTarget(const std::string& executablePath);

}  // namespace glimmet
