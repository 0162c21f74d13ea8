#pragma once

#include <array>
#include <optional>

#include "ui/view/geometry.hpp"
#include "ui/view/settings_tabs.hpp"

namespace glimmet {

// The scale slider being dragged: where its track is, so a move maps to a scale.
struct PetScaleSliderDrag {
  Rect track;
  double scrollOffset = 0;
  double scale = 1;
};

// What belongs to the settings panel alone; the preferences live in UserSettings.
struct SettingsViewState {
  SettingsTab activeSettingsTab = SettingsTab::general;
  std::array<double, kSettingsTabs.size()> settingsScrollOffsets{};
  PetPreviewMode previewMode = PetPreviewMode::bubble;
  PetPreviewStateID previewState = PetPreviewStateID::idle;
  // Seconds into the preview's motion cycle; the host advances it while motion is on.
  double previewPhase = 0;
  std::optional<PetScaleSliderDrag> sliderDrag;

  double scrollOffset() const { return settingsScrollOffsets[settingsTabIndex(activeSettingsTab)]; }
};

}  // namespace glimmet
