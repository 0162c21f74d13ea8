#include "integrations/hook_manager.hpp"

#include <chrono>

#include "base/text.hpp"
#include "integrations/vendor_pages.hpp"

namespace glimmet {

HookManagerLocations HookManagerLocations::fromPaths(const Paths& paths) {
  HookManagerLocations locations;
  locations.homeDirectory = paths.homeDirectory;
  locations.bridgeDirectory = paths.bridgeDirectory;
  locations.bridgeConfigDirectory = paths.configDirectory;
  locations.opencodeConfigRoot = paths.opencodeConfigRoot;
  return locations;
}

HookManager::HookManager(HookManagerLocations locations, Environment environment, Clock clock)
    : locations_(std::move(locations)),
      environment_(std::move(environment)),
      clock_(std::move(clock)) {
  if (!clock_) {
    clock_ = [] {
      return std::chrono::duration_cast<std::chrono::seconds>(
                 std::chrono::system_clock::now().time_since_epoch())
          .count();
    };
  }
}

HookManager HookManager::forProcess() {
  Environment environment = Environment::current();
  const Paths paths = resolvePaths(environment, isolationFlagFromEnvironment(environment));
  return HookManager(HookManagerLocations::fromPaths(paths), std::move(environment));
}

std::string HookManager::claudeSettings() const {
  return tilde(".claude/settings.json");
}
std::string HookManager::codexConfig() const {
  return tilde(".codex/config.toml");
}
std::string HookManager::codexHooks() const {
  return tilde(".codex/hooks.json");
}
std::string HookManager::opencodePlugin() const {
  return locations_.opencodeConfigRoot + "/plugins/glimmet.js";
}
std::string HookManager::bridgePath(std::string_view name) const {
  return locations_.bridgeDirectory + "/" + std::string(name);
}
std::string HookManager::codexNotifyChain() const {
  return locations_.bridgeConfigDirectory + "/codex-notify-chain.json";
}
std::string HookManager::claudeStatusLineChain() const {
  return locations_.bridgeConfigDirectory + "/claude-statusline-chain.json";
}

std::string HookManager::resolvedPath(std::string_view path) const {
  return expandHomePath(path, locations_.homeDirectory);
}

std::string HookManager::tilde(std::string_view relative) const {
  return glimmet::tilde(locations_.homeDirectory, relative);
}

std::optional<std::string> HookManager::executableInPath(std::string_view name) const {
  return glimmet::executableInPath(name, environment_);
}

std::optional<std::string> HookManager::preferredExistingAppPath(
    const std::vector<std::string>& paths) const {
  return glimmet::preferredExistingAppPath(paths, roots());
}

std::optional<std::string> HookManager::softwareLogoAppPath(std::string_view toolID) const {
  return glimmet::softwareLogoAppPath(toolID, roots());
}

std::optional<std::string> HookManager::jumpTarget(const AIToolCatalogItem& item) const {
  if (auto target = toolJumpTarget(item.id)) return target;
  // Other application rows lead to their own bundle, where one is known.
  return preferredExistingAppPath(item.appPaths);
}

std::string installToolID(std::string_view toolID) {
  std::string id = toLower(trim(toolID));
  if (id == "claude") return "claude-code";
  if (id == "codex") return "codex-cli";
  if (id == "opencode") return "opencode-cli";
  if (id == "cursor") return "cursor-ide";
  return id;
}

}  // namespace glimmet
