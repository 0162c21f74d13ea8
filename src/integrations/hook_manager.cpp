#include "integrations/hook_manager.hpp"

#include <chrono>

#include "base/text.hpp"
#include "integrations/app_platform_rules.hpp"
#include "integrations/hook_config_json.hpp"
#include "integrations/linux_app_locator.hpp"
#include "integrations/script_interpreter.hpp"
#include "integrations/vendor_pages.hpp"

namespace glimmet {

HookManagerLocations HookManagerLocations::fromPaths(const Paths& paths) {
  HookManagerLocations locations;
  locations.homeDirectory = paths.homeDirectory;
  locations.bridgeDirectory = paths.bridgeDirectory;
  locations.bridgeConfigDirectory = paths.configDirectory;
  locations.opencodeConfigRoot = paths.opencodeConfigRoot;
  locations.glimmetHome = paths.glimmetHome;
  locations.eventFile = paths.eventFile;
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

std::string HookManager::bridgeCommand(std::string_view bridge, std::string_view arguments) const {
  std::string prefix;
  if (!locations_.glimmetHome.empty()) {
    prefix += "GLIMMET_HOME=" + shellWord(locations_.glimmetHome) + " ";
  }
  if (!locations_.eventFile.empty()) {
    prefix += "GLIMMET_EVENT_FILE=" + shellWord(locations_.eventFile) + " ";
  }
  // -S: the bridges use the standard library only, and a site-packages start-up hook (a .pth
  // file) can cost more than the whole bridge.
  std::string command = prefix + scriptInterpreter() + " -S " + shellWord(bridge);
  if (!arguments.empty()) command += " " + std::string(arguments);
  return command;
}

const std::string& HookManager::scriptInterpreter() const {
  if (!interpreter_) {
    interpreter_ = !locations_.scriptInterpreter.empty() ? locations_.scriptInterpreter
                                                         : resolvePythonInterpreter(environment_);
  }
  return *interpreter_;
}

std::vector<std::string> HookManager::codexNotifyCommand() const {
  std::vector<std::string> command = {codexNotifyPath()};
  if (!locations_.glimmetHome.empty()) {
    command.insert(command.end(), {"--glimmet-home", locations_.glimmetHome});
  }
  if (!locations_.eventFile.empty()) {
    command.insert(command.end(), {"--event-file", locations_.eventFile});
  }
  return command;
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
  if (locations_.platform != Platform::macOS) {
    if (!platformSupported(item)) return std::nullopt;
    // Vendor pages hold everywhere; a bundle path becomes wherever the app was found here.
    auto target = toolJumpTarget(item.id);
    if (target && !startsWith(*target, "/")) return target;
    return linuxAppLocation(item);
  }
  if (auto target = toolJumpTarget(item.id)) return target;
  // Other application rows lead to their own bundle, where one is known.
  return preferredExistingAppPath(item.appPaths);
}

bool HookManager::platformSupported(const AIToolCatalogItem& item) const {
  return isAvailableOn(item.id, locations_.platform);
}

std::optional<std::string> HookManager::linuxAppLocation(const AIToolCatalogItem& item) const {
  if (locations_.platform != Platform::Linux) return std::nullopt;
  const LinuxAppRule* rule = linuxAppRule(item.id);
  if (!rule) return std::nullopt;
  return LinuxAppLocator(environment_, roots()).locate(*rule, item.commandNames);
}

std::vector<std::string> HookManager::extensionDirectories() const {
  if (locations_.platform == Platform::Linux) {
    return LinuxAppLocator(environment_, roots()).extensionDirectories();
  }
  return {tilde(".vscode/extensions"), tilde(".cursor/extensions")};
}

std::string installToolID(std::string_view toolID) {
  std::string id = toLower(trim(toolID));
  if (id == "claude") return "claude-code";
  if (id == "codex") return "codex-cli";
  if (id == "opencode") return "opencode-cli";
  if (id == "cursor") return "cursor-ide";
  if (id == "gemini") return "gemini-cli";
  return id;
}

}  // namespace glimmet
