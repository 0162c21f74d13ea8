#include "ui/settings_panel.hpp"

#include <algorithm>
#include <utility>

#include "ui/paint/settings_painter.hpp"
#include "ui/view/settings_events.hpp"

namespace glimmet {

namespace {

using namespace SettingsRoles;

template <typename Function, typename... Args>
void call(const Function& function, Args&&... args) {
  if (function) function(std::forward<Args>(args)...);
}

}  // namespace

SettingsPanel::SettingsPanel(UserSettings& settings, SettingsPanelActions actions, Size size)
    : settings_(settings), actions_(std::move(actions)), size_(size) {
  const SettingsPreferences& preferences = settings_.preferences();
  if (auto mode = petPreviewModeFromRawValue(preferences.companionDisplayMode))
    state_.previewMode = *mode;
  if (preferences.desktopCompanionPetState) {
    if (auto id = petPreviewStateFromRawValue(*preferences.desktopCompanionPetState))
      state_.previewState = *id;
  }
}

void SettingsPanel::activateSettingsTab(SettingsTab tab) {
  selectSettingsTab(state_, tab);
}

bool SettingsPanel::advancePreview(double seconds) {
  if (settings_.preferences().reduceMotion || state_.activeSettingsTab != SettingsTab::pets)
    return false;
  state_.previewPhase += seconds;
  return true;
}

SettingsFrame SettingsPanel::layout() const {
  return layoutSettings(settings_.preferences(), content_, state_, size_);
}

void SettingsPanel::draw(Canvas& canvas) const {
  paintSettings(canvas, layout());
}

bool SettingsPanel::pointerDown(Point point) {
  const SettingsFrame frame = layout();
  pressed_.reset();
  if (beginSettingsPointer(state_, frame, point)) return true;
  if (const SettingsTarget* target = settingsClickTarget(frame, point)) pressed_ = *target;
  return false;
}

bool SettingsPanel::pointerDragged(Point point) {
  if (!state_.sliderDrag) return false;
  dragSettingsPointer(state_, point);
  return true;
}

bool SettingsPanel::pointerUp(Point point) {
  if (auto scale = endSettingsPointer(state_)) {
    (void)settings_.setFloatingPetScale(*scale);
    return true;
  }
  // A click counts only when the pointer is released on the target it was pressed on.
  const std::optional<SettingsTarget> pressed = std::exchange(pressed_, std::nullopt);
  const SettingsFrame frame = layout();
  const SettingsTarget* released = settingsClickTarget(frame, point);
  if (!pressed || !released || !(*released == *pressed)) return false;
  const PetPreviewStateID previewBefore = state_.previewState;
  const auto target = handleSettingsClick(state_, frame, point);
  if (state_.previewState != previewBefore) {
    const std::string name(petPreviewStateRawValue(state_.previewState));
    (void)settings_.update([&](SettingsPreferences& p) { p.desktopCompanionPetState = name; });
  }
  if (target) perform(*target);
  return true;
}

bool SettingsPanel::scroll(double deltaY) {
  const double before = state_.scrollOffset();
  scrollSettings(state_, layout(), deltaY);
  return state_.scrollOffset() != before;
}

bool SettingsPanel::key(SettingsKey key) {
  const size_t count = kSettingsTabs.size();
  const size_t index = settingsTabIndex(state_.activeSettingsTab);
  switch (key) {
    case SettingsKey::escape:
      run(actions_.close);
      return false;
    case SettingsKey::nextTab:
      selectSettingsTab(state_, kSettingsTabs[(index + 1) % count]);
      return true;
    case SettingsKey::previousTab:
      selectSettingsTab(state_, kSettingsTabs[(index + count - 1) % count]);
      return true;
  }
  return false;
}

void SettingsPanel::run(const std::function<void()>& action) {
  if (action) action();
}

void SettingsPanel::perform(const SettingsTarget& target) {
  const std::string& role = target.role;
  const std::string& id = target.id;
  const SettingsPreferences& current = settings_.preferences();
  if (role == kSwitch) {
    if (const bool* value = current.boolPreference(id)) (void)settings_.setBool(id, !*value);
  } else if (role == kCompanionMode) {
    (void)settings_.update([&](SettingsPreferences& p) { p.companionDisplayMode = id; });
    if (auto mode = petPreviewModeFromRawValue(id)) state_.previewMode = *mode;
  } else if (role == kPet) {
    (void)settings_.update([&](SettingsPreferences& p) { p.selectedPetID = id; });
  } else if (role == kPreviewSize) {
    for (const auto& preset : petSizePresets()) {
      if (id == preset.id) (void)settings_.setFloatingPetScale(preset.scale);
    }
  } else if (role == kSelectSound) {
    (void)settings_.update([&](SettingsPreferences& p) { p.selectedSoundID = id; });
  } else if (role == kToolEnabled) {
    (void)settings_.update([&](SettingsPreferences& p) {
      auto& ids = p.disabledToolIDs;
      const auto found = std::find(ids.begin(), ids.end(), id);
      if (found == ids.end()) {
        ids.push_back(id);
      } else {
        ids.erase(found);
      }
    });
  } else if (role == kClose) {
    run(actions_.close);
  } else if (role == kImportPet) {
    run(actions_.importPet);
  } else if (role == kRefreshPets) {
    run(actions_.refreshPets);
  } else if (role == kCodexPetsAccess) {
    run(actions_.requestCodexPetsAccess);
  } else if (role == kPlayPreset) {
    call(actions_.playPreset, id);
  } else if (role == kPlayImported) {
    call(actions_.playImportedSound, id);
  } else if (role == kAssignImported) {
    call(actions_.toggleSoundAssignment, id);
  } else if (role == kAssignTask) {
    const size_t split = id.find('\n');
    if (split != std::string::npos)
      call(actions_.assignSound, id.substr(0, split), id.substr(split + 1));
  } else if (role == kDeleteImported) {
    call(actions_.deleteImportedSound, id);
  } else if (role == kImportSound) {
    run(actions_.importSound);
  } else if (role == kToolAction) {
    call(actions_.performToolAction, id);
  } else if (role == kAboutPrimary) {
    run(actions_.performAboutPrimaryAction);
  }
}

}  // namespace glimmet
