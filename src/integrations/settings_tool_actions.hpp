#pragma once

#include <string>
#include <vector>

#include "integrations/tool_health.hpp"

namespace glimmet {

// Detected and not missing: the row describes a tool that is really there.
bool settingsToolIsDetected(const ToolHealth& health);
// Whether the row's action brings the tool to the front rather than setting it up.
bool settingsToolIsJumpAction(const ToolHealth& health);
SettingsToolPrimaryAction settingsToolPrimaryAction(const ToolHealth& health);
std::string settingsToolActionTitle(const ToolHealth& health);
// The status line shown after the primary action opened its target, or failed to.
std::string settingsToolOpenedStatus(const ToolHealth& health);
std::string settingsToolOpenFailedStatus(const ToolHealth& health);

// One brand with its concrete tools, in the order of the health list.
struct SettingsAIToolGroup {
  std::string product;
  std::vector<ToolHealth> tools;
};
std::vector<SettingsAIToolGroup> settingsAIToolGroups(const std::vector<ToolHealth>& tools);

}  // namespace glimmet
