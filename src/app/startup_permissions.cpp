#include "app/startup_permissions.hpp"

#include <algorithm>

#include "app/settings_preferences.hpp"
#include "integrations/hook_manager.hpp"

namespace glimmet {

namespace {

constexpr const char* kAccessText =
    "Glimmet uses folder access to scan installed Codex pets and macOS Automation to focus the "
    "current agent terminal or app when you use Jump.";
constexpr const char* kHooksText =
    "Glimmet will also install or repair local Claude/Codex hook files so approval and "
    "completion events can reach the notch.";

bool needsHookRepair(const std::vector<ToolHealth>& health, const std::string& toolID) {
  return std::any_of(health.begin(), health.end(), [&toolID](const ToolHealth& row) {
    return row.id == toolID && row.detected && row.status == HookStatus::repair;
  });
}

}  // namespace

const std::vector<std::string>& startupHookToolIDs() {
  static const std::vector<std::string> ids = {"claude-code", "codex-cli"};
  return ids;
}

StartupPermissionNeeds startupPermissionNeeds(const UserDefaults& defaults,
                                              const std::vector<ToolHealth>& health,
                                              bool automationPreflightNeeded) {
  StartupPermissionNeeds needs;
  needs.codexPetsDirectory =
      !defaults.boolValue(SettingsKeys::kCodexPetsDirectoryAuthorized, false) &&
      !defaults.boolValue(SettingsKeys::kDidRequestCodexPetsDirectoryAuthorization, false);
  needs.automationPreflight = automationPreflightNeeded;
  for (const auto& id : startupHookToolIDs()) {
    if (needsHookRepair(health, id)) needs.hookToolIDs.push_back(id);
  }
  needs.aiToolHooks = !needs.hookToolIDs.empty();
  return needs;
}

bool startupPermissionFlowAllowed(bool isolated, bool alreadyRan, bool hasSurface) {
  return !isolated && !alreadyRan && hasSurface;
}

std::string startupPermissionInformativeText(const StartupPermissionNeeds& needs) {
  std::string text = kAccessText;
  if (needs.aiToolHooks) text += std::string("\n\n") + kHooksText;
  return text;
}

StartupPermissionPrompt startupPermissionPrompt(const StartupPermissionNeeds& needs) {
  StartupPermissionPrompt prompt;
  prompt.message = kStartupPermissionMessage;
  prompt.informativeText = startupPermissionInformativeText(needs);
  prompt.buttons = {kStartupPermissionContinue, kStartupPermissionLater};
  prompt.continueButton = 0;
  prompt.laterButton = 1;
  return prompt;
}

Status authorizeCodexPetsDirectory(UserDefaults& defaults) {
  return defaults.setValues(Json{{SettingsKeys::kCodexPetsDirectoryAuthorized, true},
                                 {SettingsKeys::kDidRequestCodexPetsDirectoryAuthorization, true}});
}

std::vector<std::string> installStartupHooks(const HookManager& hooks,
                                             const std::vector<std::string>& toolIDs) {
  std::vector<std::string> failures;
  for (const auto& id : toolIDs) {
    if (auto status = hooks.install(id); !status) failures.push_back(id + ": " + status.error());
  }
  return failures;
}

}  // namespace glimmet
