#pragma once

#include <set>
#include <string>
#include <vector>

#include "model/pet_choice.hpp"
#include "model/sound_choice.hpp"
#include "ui/view/settings_content.hpp"

namespace glimmet {

// The pet grid: every pet with its source badge and where it came from.
std::vector<SettingsPetTile> settingsPetTiles(const std::vector<PetChoice>& pets);

// The built-in cue categories as the Sounds tab lists them.
std::vector<SettingsSoundCategory> settingsSoundCategories();

// The task types a sound can be assigned to: the events that sound at all, asking ones first.
const std::vector<std::string>& settingsSoundTaskTypes();

// The imported sounds with the task types each is assigned to (in the order of
// settingsSoundTaskTypes, then any other) and whether its choices are open.
std::vector<SettingsSoundRow> settingsSoundRows(const std::vector<ImportedSound>& sounds,
                                                const SoundAssignments& assignments,
                                                const std::set<std::string>& openAssignments);

}  // namespace glimmet
