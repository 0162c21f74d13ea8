#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/tool_catalog.hpp"

namespace glimmet {

// How far Glimmet's integration with one tool is in place.
enum class HookStatus {
  healthy,  // installed and Glimmet's pieces are current
  missing,  // the tool or its prerequisite is absent
  repair,   // installed, but Glimmet's hooks or plugin are missing or outdated
  alpha,    // installed; Glimmet offers only a partial adapter
};

std::string_view hookStatusRawValue(HookStatus status);
std::optional<HookStatus> hookStatusFromRawValue(std::string_view raw);

// The judgement on one catalogue row, built fresh by every health check.
struct ToolHealth {
  std::string id;
  std::string product;
  std::string name;
  std::string path;
  HookStatus status = HookStatus::missing;
  std::string detail;
  bool detected = false;
  RGBColor color;
  std::string surface;
  std::string integration;
  std::vector<std::string> capabilities;
  int priority = 0;
  // Where the primary action leads: an application bundle path or a vendor web page.
  std::optional<std::string> jumpTarget;
  // False when the product has no build for this platform: no path, no action.
  bool platformSupported = true;
};

// The one action button of a tool row in the AI Tools settings.
enum class SettingsToolPrimaryAction { download, repair, jump, bridge, none };

// The button's title; empty for `none` (no button).
std::string_view settingsToolPrimaryActionTitle(SettingsToolPrimaryAction action);

}  // namespace glimmet
