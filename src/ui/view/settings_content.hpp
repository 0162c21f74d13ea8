#pragma once

#include <optional>
#include <string>
#include <vector>

#include "integrations/settings_tool_actions.hpp"
#include "model/companion_status.hpp"
#include "model/pet_choice.hpp"
#include "updates/update_state.hpp"

namespace glimmet {

// What the tabs list, filled by the application from the pets, sounds, tool health and update
// models; the settings view only lays it out.

struct SettingsPetTile {
  std::string id;
  std::string name;
  std::string detail;
  std::optional<std::string> badge;  // source badge ("Built-in", "Codex", "Imported", ...)
  bool isDeletable = false;
  // The pet to draw on the tile (and in the preview when it is the chosen one); a placeholder
  // shape without it.
  std::optional<PetChoice> pet;
};

struct SettingsSoundPreset {
  std::string id;
  std::string label;
  std::string era;
  std::string detail;
};

struct SettingsSoundCategory {
  std::string id;
  std::string label;
  std::string detail;
  std::vector<SettingsSoundPreset> presets;
};

struct SettingsSoundRow {
  std::string id;
  std::string name;
  // The task types this sound is assigned to, for the row's detail line.
  std::vector<std::string> assignedTaskTypes;
  bool showAssign = false;  // the assignment choices are open
};

struct SettingsAboutContent {
  std::string version;
  // Empty when this build has no updater: the tab then shows one disabled row.
  std::vector<AboutUpdateDisplayRow> updateRows;
  bool updatesSupported = false;
  std::string primaryActionTitle;
  bool primaryActionEnabled = true;
  bool updateAvailable = false;
};

struct SettingsContent {
  std::vector<SettingsPetTile> pets;
  std::vector<SettingsSoundCategory> soundCategories;
  std::vector<SettingsSoundRow> importedSounds;
  // The task types a sound may be assigned to, in the order the choices show them.
  std::vector<std::string> soundTaskTypes;
  // The preset or imported sound playing now; its button is drawn as playing.
  std::string playingSoundID;
  std::vector<SettingsAIToolGroup> toolGroups;
  SettingsAboutContent about;
  std::optional<std::string> statusBanner;
};

}  // namespace glimmet
