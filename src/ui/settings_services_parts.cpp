#include <filesystem>

#include "app/sound_alerts.hpp"
#include "jump/jump_opener.hpp"
#include "platform/detached_process.hpp"
#include "ui/settings_services.hpp"
#include "updates/release_info.hpp"
#include "updates/update_actions.hpp"
#include "updates/update_install.hpp"

namespace glimmet {

namespace {

bool isWebAddress(const std::string& target) {
  return target.starts_with("https://") || target.starts_with("http://");
}

// The tool's primary target as a jump: its web page, else its application.
ResolvedJumpTarget toolJump(const ToolHealth& tool) {
  ResolvedJumpTarget resolved;
  resolved.available = tool.jumpTarget.has_value();
  resolved.label = tool.name;
  resolved.quality = JumpQuality::appLevel;
  if (!tool.jumpTarget) return resolved;
  if (isWebAddress(*tool.jumpTarget)) {
    resolved.action = ResolvedJumpAction::openURL;
    resolved.target.kind = JumpTarget::Kind::url;
    resolved.target.url = *tool.jumpTarget;
  } else {
    resolved.action = ResolvedJumpAction::openApp;
    resolved.target.kind = JumpTarget::Kind::app;
    resolved.target.appPath = *tool.jumpTarget;
  }
  return resolved;
}

// The installed program folder an update replaces: GLIMMET_UPDATE_TARGET, else the one this
// program runs from (a build tree names its own folder, which the installer refuses).
std::string updateTargetPath(const Environment& environment) {
  if (auto configured = environment.nonEmptyString("GLIMMET_UPDATE_TARGET")) return *configured;
  const auto executable = currentExecutablePath();
  if (!executable) return {};
  if (auto installed = installedProgramTarget(*executable)) return *installed;
  return std::filesystem::path(*executable).parent_path().string();
}

}  // namespace

SettingsServicesParts standardSettingsServicesParts(const Core& core,
                                                    const Environment& environment) {
  SettingsServicesParts parts;
  const Paths& paths = core.paths();
  parts.hookManager =
      std::make_shared<const HookManager>(HookManagerLocations::fromPaths(paths), environment);
  parts.openTool = [paths, environment](const ToolHealth& tool) {
    JumpOpener opener = JumpOpener::standard(paths, environment);
    return opener.open(toolJump(tool));
  };
  UpdateClient client = manualUpdateClient(environment, core.isolated());
  if (client.fixturePath || client.endpoint) parts.updateClient = std::move(client);
  parts.stageUpdate = cachedArtifactStager(updatesDirectory(environment));
  parts.installUpdate = detachedUpdateInstaller(currentUpdateInstallContext(environment),
                                                currentProcessId(), spawnDetached);
  parts.updateTargetPath = updateTargetPath(environment);
  parts.soundRoot = paths.glimmetHome + "/sounds";
  parts.soundResourceDirectory = soundResourceDirectory(environment);
  parts.version = std::string(glimmetVersion());
  return parts;
}

}  // namespace glimmet
