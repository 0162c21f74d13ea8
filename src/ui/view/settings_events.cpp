#include "ui/view/settings_events.hpp"

#include <algorithm>

namespace glimmet {

void selectSettingsTab(SettingsViewState& state, SettingsTab tab) {
  state.activeSettingsTab = tab;
  state.sliderDrag.reset();
}

std::optional<SettingsTarget> handleSettingsClick(SettingsViewState& state,
                                                  const SettingsFrame& frame, Point point) {
  const SettingsTarget* target = settingsClickTarget(frame, point);
  if (!target) return std::nullopt;
  if (target->role == SettingsRoles::kTab) {
    if (auto tab = settingsTabFromRawValue(target->id)) selectSettingsTab(state, *tab);
    return std::nullopt;
  }
  if (target->role == SettingsRoles::kPreviewMode) {
    if (auto mode = petPreviewModeFromRawValue(target->id)) state.previewMode = *mode;
    return std::nullopt;
  }
  if (target->role == SettingsRoles::kPreviewState) {
    if (auto id = petPreviewStateFromRawValue(target->id)) state.previewState = *id;
    return std::nullopt;
  }
  return *target;
}

void scrollSettings(SettingsViewState& state, const SettingsFrame& frame, double deltaY) {
  double& offset = state.settingsScrollOffsets[settingsTabIndex(state.activeSettingsTab)];
  const double limit = std::max(0.0, frame.contentHeight - frame.viewport.height);
  offset = std::clamp(offset + deltaY, 0.0, limit);
}

bool beginSettingsPointer(SettingsViewState& state, const SettingsFrame& frame, Point point) {
  const SettingsTarget* target = settingsClickTarget(frame, point);
  if (!target || target->role != SettingsRoles::kScaleSlider) return false;
  // The target is the track grown for an easier grip; the scale maps onto the track itself.
  const Rect track = target->rect.insetBy(8, 4);
  state.sliderDrag = PetScaleSliderDrag{track, state.scrollOffset(), petScaleAt(track, point.x)};
  return true;
}

void dragSettingsPointer(SettingsViewState& state, Point point) {
  if (!state.sliderDrag) return;
  state.sliderDrag->scale = petScaleAt(state.sliderDrag->track, point.x);
}

std::optional<double> endSettingsPointer(SettingsViewState& state) {
  if (!state.sliderDrag) return std::nullopt;
  const double scale = state.sliderDrag->scale;
  state.sliderDrag.reset();
  return scale;
}

}  // namespace glimmet
