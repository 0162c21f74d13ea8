#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/environment.hpp"

namespace glimmet {

// Every directory and file the other subsystems work in, resolved once at start-up.
struct Paths {
  std::string homeDirectory;        // the user's home directory
  std::string appSupportDirectory;  // events.jsonl, the store's audit file, diagnostics
  std::string eventFile;
  std::string storeAuditFile;
  std::string glimmetHome;  // ~/.glimmet: socket, approval audit, bridges, configuration
  std::string socketPath;
  std::string approvalAuditFile;
  std::string bridgeDirectory;
  std::string configDirectory;
  std::optional<std::string> codexSessionsRoot;
  std::optional<std::string> claudeProjectsRoot;
  std::optional<std::string> cursorProjectsRoot;
  std::optional<std::string> traeTrajectoryRoot;
  std::optional<std::string> traeLogsRoot;
  std::string opencodeConfigRoot;
};

Paths resolvePaths(const Environment& environment, bool isolated);

// The user's home directory plus a relative path.
std::string tilde(const std::string& homeDirectory, std::string_view relative);
// The last path component, or "Workspace" when that is empty.
std::string basename(std::string_view path);
// Pet and sound package folders are named only by such identifiers.
bool isSafePackageID(std::string_view id);

// The most recently modified existing Trae logs directory under `homeDirectory`; an earlier
// candidate wins ties.
std::optional<std::string> defaultTraeLogsRoot(const std::string& homeDirectory);

}  // namespace glimmet
