#include "integrations/tool_health.hpp"

namespace glimmet {

std::string_view hookStatusRawValue(HookStatus status) {
  switch (status) {
    case HookStatus::healthy:
      return "Healthy";
    case HookStatus::missing:
      return "Not installed";
    case HookStatus::repair:
      return "Needs repair";
    case HookStatus::alpha:
      return "Alpha";
  }
  return "Not installed";
}

std::optional<HookStatus> hookStatusFromRawValue(std::string_view raw) {
  for (const auto status :
       {HookStatus::healthy, HookStatus::missing, HookStatus::repair, HookStatus::alpha}) {
    if (hookStatusRawValue(status) == raw) return status;
  }
  return std::nullopt;
}

std::string_view settingsToolPrimaryActionTitle(SettingsToolPrimaryAction action) {
  switch (action) {
    case SettingsToolPrimaryAction::download:
      return "Download";
    case SettingsToolPrimaryAction::repair:
      return "Repair";
    case SettingsToolPrimaryAction::jump:
      return "Jump";
    case SettingsToolPrimaryAction::bridge:
      return "Bridge";
    case SettingsToolPrimaryAction::none:
      return "";
  }
  return "";
}

}  // namespace glimmet
