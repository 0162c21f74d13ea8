#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <fmt/format.h>
#include "ui/view/settings_layout_builder.hpp"
#include "ui/view/settings_pet_preview.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr int kTileColumns = 5;
constexpr double kTileHeight = 96;
constexpr double kTileGap = 10;
constexpr double kStageHeight = 132;
constexpr double kPreviewPetSize = 64;

void layoutPetGrid(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                   const SettingsContent& content) {
  const double tileWidth = (builder.width() - (kTileColumns - 1) * kTileGap) / kTileColumns;
  int column = 0;
  for (const auto& pet : content.pets) {
    const Rect rect = builder.place(builder.left() + column * (tileWidth + kTileGap), builder.y(),
                                    tileWidth, kTileHeight);
    auto& tile = builder.add(SettingsElementKind::petTile, rect, pet.name);
    tile.detail = pet.detail;
    tile.on = pet.id == preferences.selectedPetID;
    tile.petState = PetState::idle;
    tile.pet = pet.pet;
    if (pet.badge) {
      auto& badge = builder.add(SettingsElementKind::badge,
                                {rect.maxX() - 10 - 64, rect.y + 10, 64, 18}, *pet.badge);
      badge.color = ViewColors::kWorkingViolet;
    }
    builder.target(SettingsRoles::kPet, pet.id, rect);
    if (++column == kTileColumns) {
      column = 0;
      builder.advance(kTileHeight + kTileGap);
    }
  }
  if (column != 0) builder.advance(kTileHeight + kTileGap);
  if (content.pets.empty()) {
    builder.add(SettingsElementKind::caption, builder.place(builder.left(), builder.y(), 400, 16),
                "No pets found");
    builder.advance(24);
  }
}

Rect previewPetRect(const Rect& stage, PetPreviewMode mode, double scale, double phase) {
  const double size = kPreviewPetSize * clampedFloatingPetScale(scale);
  const double groundY = stage.maxY() - 18 - size;
  switch (mode) {
    case PetPreviewMode::bubble:
      return {stage.x + stage.width * 0.28 - size / 2, groundY, size, size};
    case PetPreviewMode::floating:
      return {stage.midX() - size / 2, stage.midY() - size / 2 + livePreviewFloatingY(phase), size,
              size};
    case PetPreviewMode::roaming:
      return {stage.x + stage.width * livePreviewRoamingLeftPct(phase) / 100 - size / 2, groundY,
              size, size};
    case PetPreviewMode::tucked:
      // Peeks out of the stage's right edge, as the tucked companion does from the screen's.
      return {stage.maxX() - size * 0.6, stage.maxY() - size * 0.8, size, size};
  }
  return {};
}

void layoutLivePreview(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                       const SettingsContent& content, const SettingsViewState& state) {
  builder.heading("Live preview", "Try the pet in each place and state before you use it.");
  const double pad = kSettingsCardPadding;
  const double top = builder.y();
  const size_t first = builder.elementCount();
  builder.advance(pad);
  const double scale = state.sliderDrag ? state.sliderDrag->scale : preferences.floatingPetScale;
  const Rect stage =
      builder.place(builder.left() + pad, builder.y(), builder.width() - 2 * pad, kStageHeight);
  auto& preview = builder.add(SettingsElementKind::petPreview, stage,
                              std::string(petPreviewStateTitle(state.previewState)));
  preview.detail = std::string(petPreviewModeRawValue(state.previewMode));
  preview.petState = petStateForPreview(state.previewState);
  preview.color = petPreviewColor(state.previewState);
  preview.inner = previewPetRect(stage, state.previewMode, scale,
                                 preferences.reduceMotion ? 0 : state.previewPhase);
  for (const auto& pet : content.pets) {
    if (pet.id == preferences.selectedPetID) preview.pet = pet.pet;
  }
  preview.reduceMotion = preferences.reduceMotion;
  preview.petClockMs =
      preferences.reduceMotion ? 0 : static_cast<int64_t>(state.previewPhase * 1000);
  builder.advance(kStageHeight + 12);

  const double labelX = builder.left() + pad;
  const double pillsX = labelX + 64;
  const auto label = [&](const char* text) {
    builder.add(SettingsElementKind::caption, builder.place(labelX, builder.y() + 5, 60, 16), text);
  };
  std::vector<SettingsPill> modes;
  for (PetPreviewMode mode : kPetPreviewModes) {
    std::string name(petPreviewModeRawValue(mode));
    std::string title = name;
    title[0] = static_cast<char>(title[0] - 'a' + 'A');
    modes.push_back({name, title, mode == state.previewMode});
  }
  label("Place");
  addPills(builder, pillsX, SettingsRoles::kPreviewMode, modes);
  builder.advance(8);

  std::vector<SettingsPill> states;
  states.reserve(kPetPreviewStates.size());
  for (PetPreviewStateID id : kPetPreviewStates) {
    states.push_back({std::string(petPreviewStateRawValue(id)),
                      std::string(petPreviewStateTitle(id)), id == state.previewState,
                      petPreviewColor(id)});
  }
  label("State");
  addPills(builder, pillsX, SettingsRoles::kPreviewState, states);
  builder.advance(8);

  std::vector<SettingsPill> sizes;
  for (const auto& preset : petSizePresets())
    sizes.push_back({preset.id, preset.label, std::abs(preset.scale - scale) < 0.005});
  label("Size");
  addPills(builder, pillsX, SettingsRoles::kPreviewSize, sizes);
  builder.advance(10);

  label("Scale");
  const Rect track = builder.place(pillsX, builder.y() + 4, 300, 18);
  auto& slider = builder.add(SettingsElementKind::slider, track,
                             fmt::format("{:.2f}\xc3\x97", clampedFloatingPetScale(scale)));
  slider.value = petScaleFraction(scale);
  builder.target(SettingsRoles::kScaleSlider, {}, track.insetBy(-8, -4));
  builder.advance(26 + pad);
  builder.cardBehind(top, first);
}

}  // namespace

void layoutPetsTab(SettingsLayoutBuilder& builder, const SettingsPreferences& preferences,
                   const SettingsContent& content, const SettingsViewState& state) {
  builder.heading("Pets", "The pet shown in the capsule, the panel and on the desktop.");
  const double buttonsY = builder.y() - 44;
  const Rect refresh = addButton(builder, builder.right(), buttonsY, "Refresh local pets",
                                 SettingsRoles::kRefreshPets, {});
  addButton(builder, refresh.x - 8, buttonsY, "Import pet", SettingsRoles::kImportPet, {}, true);
  layoutPetGrid(builder, preferences, content);

  // The Codex pets folder is read only once the user allowed it.
  const bool authorized = preferences.codexPetsDirectoryAuthorized;
  const double rowTop = builder.y();
  const size_t rowFirst = builder.elementCount();
  auto& text = builder.add(
      SettingsElementKind::rowText,
      builder.place(builder.left() + kSettingsCardPadding, rowTop + 8, builder.width() - 200, 36),
      authorized ? "Authorized ~/.codex/pets" : "Codex pets");
  text.detail = authorized ? "Reload compatible pets from ~/.codex/pets"
                           : "Allow Glimmet to read the pets installed for Codex";
  if (!authorized) {
    addButton(builder, builder.right() - kSettingsCardPadding, rowTop + 12, "Allow access",
              SettingsRoles::kCodexPetsAccess, {});
  }
  builder.advance(kSettingsRowHeight);
  builder.cardBehind(rowTop, rowFirst);
  builder.advance(kSettingsSectionGap);
  layoutLivePreview(builder, preferences, content, state);
}

}  // namespace glimmet
