#include <algorithm>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "ui/view/settings_layout_builder.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr double kPresetRowHeight = 46;
constexpr double kPlaySize = 28;

void layoutCategory(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                    const SettingsContent& content, const SettingsSoundCategory& category) {
  const double pad = kSettingsCardPadding;
  const double top = builder.y();
  const size_t first = builder.elementCount();
  auto& title = builder.add(
      SettingsElementKind::rowText,
      builder.place(builder.left() + pad, top + 10, builder.width() - 2 * pad, 36), category.label);
  title.detail = category.detail;
  builder.advance(50);
  for (const auto& preset : category.presets) {
    const double y = builder.y();
    const Rect row = builder.place(builder.left(), y, builder.width(), kPresetRowHeight);
    auto& play = builder.add(SettingsElementKind::playButton,
                             builder.place(builder.left() + pad, y + 9, kPlaySize, kPlaySize));
    play.on = content.playingSoundID == preset.id;
    play.color = ViewColors::kDoneGreen;
    builder.target(SettingsRoles::kPlayPreset, preset.id, play.rect);
    auto& text = builder.add(
        SettingsElementKind::rowText,
        builder.place(builder.left() + pad + kPlaySize + 12, y + 6, builder.width() - 260, 34),
        preset.label);
    text.detail = preset.detail;
    text.on = preset.id == preferences.selectedSoundID;
    if (!preset.era.empty()) {
      auto& era =
          builder.add(SettingsElementKind::badge,
                      builder.place(builder.right() - pad - 96, y + 14, 96, 18), preset.era);
      era.color = ViewColors::kWorkingViolet;
    }
    // The rest of the row picks the preset as the attention cue.
    builder.target(
        SettingsRoles::kSelectSound, preset.id,
        {row.x + pad + kPlaySize + 6, row.y, row.width - pad - kPlaySize - 6, row.height});
    builder.advance(kPresetRowHeight);
  }
  builder.advance(8);
  builder.cardBehind(top, first);
  builder.advance(12);
}

void layoutImportedSounds(SettingsLayoutBuilder& builder, const SettingsContent& content) {
  const double pad = kSettingsCardPadding;
  const double top = builder.y();
  const size_t first = builder.elementCount();
  auto& title = builder.add(
      SettingsElementKind::rowText,
      builder.place(builder.left() + pad, top + 10, builder.width() - 200, 36), "Imported sounds");
  title.detail = "Installed sounds live in ~/.glimmet/sounds";
  addButton(builder, builder.right() - pad, top + 14, "Import sound", SettingsRoles::kImportSound,
            {}, true);
  builder.advance(52);
  if (content.importedSounds.empty()) {
    builder.add(SettingsElementKind::caption,
                builder.place(builder.left() + pad, builder.y(), 400, 16),
                "No imported sounds yet");
    builder.advance(26);
  }
  for (const auto& sound : content.importedSounds) {
    const double y = builder.y();
    auto& play = builder.add(SettingsElementKind::playButton,
                             builder.place(builder.left() + pad, y + 9, kPlaySize, kPlaySize));
    play.on = content.playingSoundID == sound.id;
    play.color = ViewColors::kDoneGreen;
    builder.target(SettingsRoles::kPlayImported, sound.id, play.rect);
    auto& text = builder.add(
        SettingsElementKind::rowText,
        builder.place(builder.left() + pad + kPlaySize + 12, y + 6, builder.width() - 300, 34),
        sound.name);
    text.detail = sound.assignedTaskTypes.empty()
                      ? "Not assigned"
                      : "Plays for " + join(sound.assignedTaskTypes, ", ");
    const Rect remove = addButton(builder, builder.right() - pad, y + 9, "Delete",
                                  SettingsRoles::kDeleteImported, sound.id);
    addButton(builder, remove.x - 8, y + 9, "Assign", SettingsRoles::kAssignImported, sound.id);
    builder.advance(kPresetRowHeight);
    if (sound.showAssign) {
      std::vector<SettingsPill> choices;
      for (const auto& task : content.soundTaskTypes) {
        const bool assigned =
            std::find(sound.assignedTaskTypes.begin(), sound.assignedTaskTypes.end(), task) !=
            sound.assignedTaskTypes.end();
        choices.push_back({sound.id + "\n" + task, task, assigned});
      }
      addPills(builder, builder.left() + pad + kPlaySize + 12, SettingsRoles::kAssignTask, choices);
      builder.advance(10);
    }
  }
  builder.advance(8);
  builder.cardBehind(top, first);
}

}  // namespace

void layoutSoundsTab(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                     const SettingsContent& content) {
  builder.heading("Sounds", "A short cue when an agent needs you or finishes.");
  const double top = builder.y();
  const size_t first = builder.elementCount();
  addSwitchRow(builder, "Mute sounds", "No sound cues for approvals and finished tasks",
               SettingsRoles::kSwitch, SettingsKeys::kMuted, preferences.muted);
  builder.cardBehind(top, first);
  builder.advance(kSettingsSectionGap);
  for (const auto& category : content.soundCategories)
    layoutCategory(builder, preferences, content, category);
  builder.advance(kSettingsSectionGap - 12);
  layoutImportedSounds(builder, content);
}

}  // namespace glimmet
