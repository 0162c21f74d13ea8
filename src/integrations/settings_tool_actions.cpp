#include "integrations/settings_tool_actions.hpp"

#include "base/text.hpp"

namespace glimmet {

namespace {

// Surfaces that have a window to bring forward.
bool isWindowedSurface(const std::string& surface) {
  return surface == "App" || surface == "IDE" || surface == "App/Web" || surface == "App/Cloud";
}

bool isWebAddress(const std::string& target) {
  const std::string lower = toLower(target);
  return startsWith(lower, "https://") || startsWith(lower, "http://");
}

}  // namespace

bool settingsToolIsDetected(const ToolHealth& health) {
  return health.detected && health.status != HookStatus::missing;
}

bool settingsToolIsJumpAction(const ToolHealth& health) {
  const std::string integration = toLower(health.integration);
  if (contains(integration, "jump")) {
    return integration == "jump only" || isWindowedSurface(health.surface);
  }
  for (const auto& capability : health.capabilities) {
    if (contains(toLower(capability), "jump")) return isWindowedSurface(health.surface);
  }
  return false;
}

SettingsToolPrimaryAction settingsToolPrimaryAction(const ToolHealth& health) {
  if (settingsToolIsDetected(health)) {
    // Repair comes before Jump so that the button does what its "Repair" label says.
    if (health.status == HookStatus::repair) return SettingsToolPrimaryAction::repair;
    if (settingsToolIsJumpAction(health)) return SettingsToolPrimaryAction::jump;
    if (health.status == HookStatus::alpha && contains(toLower(health.integration), "wrapper")) {
      return SettingsToolPrimaryAction::bridge;
    }
    return SettingsToolPrimaryAction::none;
  }
  if (health.jumpTarget && isWebAddress(*health.jumpTarget)) {
    return SettingsToolPrimaryAction::download;
  }
  return SettingsToolPrimaryAction::none;
}

std::string settingsToolActionTitle(const ToolHealth& health) {
  return std::string(settingsToolPrimaryActionTitle(settingsToolPrimaryAction(health)));
}

std::string settingsToolOpenedStatus(const ToolHealth& health) {
  if (!settingsToolIsDetected(health)) return "Opened " + health.name + " download";
  if (settingsToolIsJumpAction(health)) return "Opened " + health.name;
  return "Opened " + health.name + " setup";
}

std::string settingsToolOpenFailedStatus(const ToolHealth& health) {
  if (!settingsToolIsDetected(health)) return "Could not open " + health.name + " download";
  return "Could not open " + health.name;
}

std::vector<SettingsAIToolGroup> settingsAIToolGroups(const std::vector<ToolHealth>& tools) {
  std::vector<SettingsAIToolGroup> groups;
  for (const auto& tool : tools) {
    SettingsAIToolGroup* group = nullptr;
    for (auto& existing : groups) {
      if (existing.product == tool.product) group = &existing;
    }
    if (!group) group = &groups.emplace_back(SettingsAIToolGroup{tool.product, {}});
    group->tools.push_back(tool);
  }
  return groups;
}

}  // namespace glimmet
