#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/environment.hpp"
#include "base/result.hpp"
#include "integrations/app_locations.hpp"
#include "integrations/tool_health.hpp"
#include "model/paths.hpp"
#include "model/tool_catalog.hpp"

namespace glimmet {

struct CodexTrustPlan;

// The directories the installer and the health check work in. Every one comes from the resolved
// paths of the process, so a test that sets HOME never touches the developer's real files.
struct HookManagerLocations {
  std::string homeDirectory;
  std::string bridgeDirectory;        // ~/.glimmet/bin
  std::string bridgeConfigDirectory;  // ~/.glimmet/config
  std::string opencodeConfigRoot;
  // Where the app that installs the bridges listens and reads events. Written into every
  // installed command, so an agent started without GLIMMET_HOME still finds that app; empty
  // leaves the bridges to their defaults.
  std::string glimmetHome;
  std::string eventFile;
  // Prefix for absolute application paths ("/Applications/...", "/usr/share/..."); empty is the
  // real root.
  std::string systemRoot;
  // Whose rules find the desktop applications.
  Platform platform = kBuildPlatform;
  // The interpreter in front of the Python bridges, as shell words; empty resolves it from the
  // search path on first use.
  std::string scriptInterpreter;

  static HookManagerLocations fromPaths(const Paths& paths);
};

// Puts Glimmet's bridges in place and judges, for every catalogue tool, how far the integration
// is. It holds no mutable state: every call reads the files afresh.
class HookManager {
 public:
  using Clock = std::function<int64_t()>;  // seconds since 1970

  HookManager(HookManagerLocations locations, Environment environment, Clock clock = {});
  // For the running program: the paths resolved from its own environment.
  static HookManager forProcess();

  const HookManagerLocations& locations() const { return locations_; }

  // Files the installer writes and the health check inspects.
  std::string claudeSettings() const;
  std::string codexConfig() const;
  std::string codexHooks() const;
  std::string opencodePlugin() const;
  // Gemini CLI's user settings: under GEMINI_CLI_HOME when set, else under the home directory.
  std::string geminiSettings() const;
  // What Gemini runs on each of its events.
  std::string geminiEventCommand() const;
  std::string bridgePath(std::string_view name) const;
  std::string eventCommandPath() const { return bridgePath("glimmet-event"); }
  std::string codexNotifyPath() const { return bridgePath("glimmet-codex-notify"); }
  std::string claudeStatusLinePath() const { return bridgePath("glimmet-claude-statusline"); }
  std::string claudeHookPath() const { return bridgePath("glimmet-hook-claude"); }
  std::string codexHookPath() const { return bridgePath("glimmet-hook-codex"); }
  std::string wrapPath() const { return bridgePath("glimmet-wrap"); }
  std::string codexNotifyChain() const;
  // The keys of the Codex trust entries Glimmet wrote, so that it removes only its own.
  std::string codexTrustRecord() const {
    return locations_.bridgeConfigDirectory + "/codex-trusted-hooks.json";
  }
  // The shell command an agent runs for `bridge` with `arguments` (may be empty): the app's
  // locations, the interpreter, the bridge.
  std::string bridgeCommand(std::string_view bridge, std::string_view arguments) const;
  // The interpreter the Python bridges are run with (see resolvePythonInterpreter).
  const std::string& scriptInterpreter() const;
  // Codex runs `notify` as an argument list (no shell) and appends the notification to it, so
  // the locations go in as the bridge's own options.
  std::vector<std::string> codexNotifyCommand() const;
  std::string claudeStatusLineChain() const;

  // Health (one row per catalogue tool, in catalogue order) and the detection it rests on.
  std::vector<ToolHealth> health() const;
  bool isDetected(const AIToolCatalogItem& item) const;
  std::string displayPath(const AIToolCatalogItem& item, bool includeWrapper) const;
  bool wrapperBridgeReady() const;
  bool directoryContains(std::string_view prefix, const std::string& directory) const;
  bool directoryContainsAny(const std::vector<std::string_view>& prefixes,
                            const std::string& directory) const;
  std::string resolvedPath(std::string_view path) const;
  std::string tilde(std::string_view relative) const;
  std::optional<std::string> executableInPath(std::string_view name) const;
  std::optional<std::string> preferredExistingAppPath(const std::vector<std::string>& paths) const;
  std::optional<std::string> softwareLogoAppPath(std::string_view toolID) const;
  std::optional<std::string> jumpTarget(const AIToolCatalogItem& item) const;
  // False for a row whose product has no build for this platform.
  bool platformSupported(const AIToolCatalogItem& item) const;
  // Where a desktop application row was found on Linux; absent elsewhere or when not found.
  std::optional<std::string> linuxAppLocation(const AIToolCatalogItem& item) const;

  // Installation. Each step stops at the first failure and reports it; what was written before
  // stays in place.
  Status install(std::string_view toolID) const;
  Status installBridgeScripts() const;
  Status installClaudeHooks() const;
  Status installCodexNotify() const;
  Status installOpenCodePlugin() const;
  Status installGeminiHooks() const;
  // Takes exactly Glimmet's entries out of Gemini's settings, after a backup; everything else in
  // the file stays as it was.
  Status removeGeminiHooks() const;
  // Glimmet's configuration folder and the files in it that hold the user's commands: for
  // no one but the user.
  std::vector<std::string> privateFiles() const;

  // The planned file texts, computed without writing anything.
  Result<std::string> plannedClaudeSettings() const;
  Result<std::string> plannedCodexConfig() const;
  Result<std::string> plannedCodexHooks() const;
  Result<std::string> plannedGeminiSettings() const;
  // The same from a text already read, so that what is backed up is exactly what is rewritten.
  // A file that cannot be edited safely (not valid JSON or TOML) is an error naming it.
  Result<std::string> plannedClaudeSettings(std::string_view current) const;
  Result<std::string> plannedCodexConfig(std::string_view current) const;
  Result<std::string> plannedCodexHooks(std::string_view current) const;
  Result<std::string> plannedGeminiSettings(std::string_view current) const;
  Result<std::string> plannedGeminiSettingsWithoutHooks(std::string_view current) const;
  // config.toml (`config`, as planned otherwise) trusting Glimmet's hooks in the hooks.json
  // text `hooks`, and the record of the trusted keys.
  Result<CodexTrustPlan> plannedCodexTrust(std::string_view config, std::string_view hooks) const;
  // A title and a body describing every change an install would make.
  std::pair<std::string, std::string> installationPreview(std::string_view toolID) const;

  // Copies an existing file to "<name>.glimmet-backup-<epoch seconds>" beside it. False when
  // the file exists and the copy failed.
  bool backupIfNeeded(const std::string& file) const;

 private:
  struct Readiness;
  Status backUp(const std::string& file) const;
  Status preparePrivateDirectories() const;
  Status writeConfig(const std::string& path, std::string_view current,
                     std::string_view planned) const;
  Readiness readiness() const;
  ToolHealth healthOf(const AIToolCatalogItem& item, const Readiness& ready) const;
  bool anyCommandInPath(const AIToolCatalogItem& item) const;
  bool extensionInstalled(const std::vector<std::string_view>& prefixes) const;
  bool scriptIsCurrent(std::string_view name) const;
  AppLocationRoots roots() const {
    return {locations_.homeDirectory, locations_.systemRoot, locations_.platform};
  }
  std::vector<std::string> extensionDirectories() const;

  HookManagerLocations locations_;
  Environment environment_;
  Clock clock_;
  // Resolved once: asking a shim starts a program.
  mutable std::optional<std::string> interpreter_;
};

// The tool ids `install` and the preview accept besides the catalogue ids.
std::string installToolID(std::string_view toolID);

}  // namespace glimmet
