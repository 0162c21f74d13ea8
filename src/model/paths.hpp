#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/environment.hpp"
#include "base/path_names.hpp"

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
  std::optional<std::string> geminiTmpRoot;  // per-project folders holding Gemini CLI's chats
  std::string opencodeConfigRoot;
};

Paths resolvePaths(const Environment& environment, bool isolated);

// The most recently modified existing Trae logs directory under `homeDirectory`; an earlier
// candidate wins ties.
std::optional<std::string> defaultTraeLogsRoot(const std::string& homeDirectory);

}  // namespace glimmet
