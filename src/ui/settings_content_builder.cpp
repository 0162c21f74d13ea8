#include "ui/settings_content_builder.hpp"

#include <algorithm>

#include "model/event_kinds.hpp"
#include "model/sound_presets.hpp"

namespace glimmet {

std::vector<SettingsPetTile> settingsPetTiles(const std::vector<PetChoice>& pets) {
  std::vector<SettingsPetTile> tiles;
  tiles.reserve(pets.size());
  for (const PetChoice& pet : pets) {
    // The grid shows the pet's own description; provenance stands in when it has none.
    std::string detail = pet.detail.empty() ? petProvenanceDetail(pet) : pet.detail;
    tiles.push_back(
        {pet.id, pet.name, std::move(detail), sourceBadgeLabel(pet), pet.isDeletable, pet});
  }
  return tiles;
}

std::vector<SettingsSoundCategory> settingsSoundCategories() {
  std::vector<SettingsSoundCategory> categories;
  for (const SoundCategory& category : builtInSoundCategories()) {
    SettingsSoundCategory shown{category.id, category.label, category.detail, {}};
    for (const SoundPreset& preset : category.sounds) {
      shown.presets.push_back({preset.id, preset.label, preset.era, preset.detail});
    }
    categories.push_back(std::move(shown));
  }
  return categories;
}

const std::vector<std::string>& settingsSoundTaskTypes() {
  static const std::vector<std::string> types = {
      std::string(rawValue(EventType::permissionRequest)),
      std::string(rawValue(EventType::waitingInput)),
      std::string(rawValue(EventType::planReady)),
      std::string(rawValue(EventType::taskCompleted)),
  };
  return types;
}

std::vector<SettingsSoundRow> settingsSoundRows(const std::vector<ImportedSound>& sounds,
                                                const SoundAssignments& assignments,
                                                const std::set<std::string>& openAssignments) {
  const auto& order = settingsSoundTaskTypes();
  const auto rank = [&order](const std::string& type) {
    return std::find(order.begin(), order.end(), type) - order.begin();
  };
  std::vector<SettingsSoundRow> rows;
  for (const ImportedSound& sound : sounds) {
    SettingsSoundRow row;
    row.id = sound.id;
    row.name = sound.displayName.value_or(sound.id);
    for (const auto& [taskType, soundID] : assignments) {
      if (soundID == sound.id) row.assignedTaskTypes.push_back(taskType);
    }
    // Known types in the order the choices show them; others after, by name (the map's order).
    std::stable_sort(
        row.assignedTaskTypes.begin(), row.assignedTaskTypes.end(),
        [&rank](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
    row.showAssign = openAssignments.contains(sound.id);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace glimmet
