#include "model/paths.hpp"

#include "base/path_names.hpp"
#include "platform/file_system.hpp"
#include "platform/system_paths.hpp"

namespace glimmet {

namespace {

constexpr std::string_view kTraeLogCandidates[] = {
    "Library/Application Support/TRAE SOLO CN/logs",
    "Library/Application Support/Trae SOLO/logs",
    "Library/Application Support/Trae CN/logs",
    "Library/Application Support/Trae/logs",
};

std::optional<std::string> toolRoot(const Environment& environment, std::string_view variable,
                                    bool isolated, const std::string& fallback) {
  if (auto overridden = environment.nonEmptyString(variable)) return overridden;
  if (isolated) return std::nullopt;
  return fallback;
}

}  // namespace

std::optional<std::string> defaultTraeLogsRoot(const std::string& homeDirectory) {
  std::optional<std::string> chosen;
  Timestamp chosenDate = kDistantPast;
  for (const auto candidate : kTraeLogCandidates) {
    const std::string path = tilde(homeDirectory, candidate);
    const auto metadata = fileMetadata(path);
    if (!metadata || !metadata->isDirectory) continue;
    if (!chosen || metadata->modified > chosenDate) {
      chosen = path;
      chosenDate = metadata->modified;
    }
  }
  return chosen;
}

Paths resolvePaths(const Environment& environment, bool isolated) {
  Paths paths;
  paths.homeDirectory = userHomeDirectory(environment);
  const std::string& home = paths.homeDirectory;
  paths.appSupportDirectory = applicationSupportDirectory(environment);
  paths.eventFile = environment.nonEmptyString("GLIMMET_EVENT_FILE")
                        .value_or(paths.appSupportDirectory + "/events.jsonl");
  paths.storeAuditFile = paths.appSupportDirectory + "/audit.jsonl";
  paths.glimmetHome = environment.nonEmptyString("GLIMMET_HOME").value_or(tilde(home, ".glimmet"));
  paths.socketPath = paths.glimmetHome + "/glimmet.sock";
  // The approval trail stays in the real ~/.glimmet whatever the overrides say.
  paths.approvalAuditFile = tilde(home, ".glimmet/audit.jsonl");
  // The bridges find each other next to themselves, so moving them all is safe.
  paths.bridgeDirectory =
      environment.nonEmptyString("GLIMMET_BIN").value_or(paths.glimmetHome + "/bin");
  paths.configDirectory = paths.glimmetHome + "/config";

  paths.codexSessionsRoot =
      toolRoot(environment, "GLIMMET_CODEX_SESSIONS_DIR", isolated, tilde(home, ".codex/sessions"));
  paths.claudeProjectsRoot = toolRoot(environment, "GLIMMET_CLAUDE_PROJECTS_DIR", isolated,
                                      tilde(home, ".claude/projects"));
  paths.cursorProjectsRoot = toolRoot(environment, "GLIMMET_CURSOR_PROJECTS_DIR", isolated,
                                      tilde(home, ".cursor/projects"));
  paths.traeTrajectoryRoot = toolRoot(environment, "GLIMMET_TRAE_TRAJECTORY_DIR", isolated,
                                      paths.glimmetHome + "/usage/trae-agent");
  // Gemini CLI keeps everything under the home that GEMINI_CLI_HOME can move.
  const std::string geminiHome = environment.nonEmptyString("GEMINI_CLI_HOME").value_or(home);
  paths.geminiTmpRoot =
      toolRoot(environment, "GLIMMET_GEMINI_TMP_DIR", isolated, tilde(geminiHome, ".gemini/tmp"));
  if (auto overridden = environment.nonEmptyString("GLIMMET_TRAE_LOGS_DIR")) {
    paths.traeLogsRoot = overridden;
  } else if (!isolated) {
    paths.traeLogsRoot = defaultTraeLogsRoot(home);
  }

  if (auto configured = environment.nonEmptyString("OPENCODE_CONFIG_DIR")) {
    paths.opencodeConfigRoot = *configured;
  } else if (auto xdg = environment.nonEmptyString("XDG_CONFIG_HOME")) {
    paths.opencodeConfigRoot = *xdg + "/opencode";
  } else {
    paths.opencodeConfigRoot = tilde(home, ".config/opencode");
  }
  return paths;
}

}  // namespace glimmet
