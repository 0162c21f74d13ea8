#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/user_settings.hpp"
#include "ui/paint/canvas.hpp"
#include "ui/view/settings_content.hpp"
#include "ui/view/settings_layout.hpp"
#include "ui/view/settings_view_state.hpp"

namespace glimmet {

// What the panel hands to the rest of the application: everything beyond the preferences it
// writes itself. Unset actions are ignored.
struct SettingsPanelActions {
  std::function<void()> close;
  std::function<void()> importPet;
  std::function<void()> refreshPets;
  std::function<void()> requestCodexPetsAccess;
  std::function<void(const std::string& presetID)> playPreset;
  std::function<void(const std::string& soundID)> playImportedSound;
  // Opens or closes the row's assignment choices.
  std::function<void(const std::string& soundID)> toggleSoundAssignment;
  std::function<void(const std::string& soundID, const std::string& taskType)> assignSound;
  std::function<void(const std::string& soundID)> deleteImportedSound;
  std::function<void()> importSound;
  // Install (with the installer's preview), repair or open the tool.
  std::function<void(const std::string& toolID)> performToolAction;
  std::function<void()> performAboutPrimaryAction;
};

enum class SettingsKey { escape, nextTab, previousTab };

// The settings panel as a window shows it: a size, a drawing, and the pointer and keys. Each
// handler returns whether the panel must be drawn again.
class SettingsPanel {
 public:
  SettingsPanel(UserSettings& settings, SettingsPanelActions actions, Size size);

  Size size() const { return size_; }
  void setSize(Size size) { size_ = size; }
  void setActions(SettingsPanelActions actions) { actions_ = std::move(actions); }
  void setContent(SettingsContent content) { content_ = std::move(content); }
  const SettingsContent& content() const { return content_; }
  const SettingsViewState& state() const { return state_; }

  // activateSettingsTab: opens on `tab` (a companion click opens the Pets tab).
  void activateSettingsTab(SettingsTab tab);
  // Advances the preview's motion; false while motion is reduced (nothing moves).
  bool advancePreview(double seconds);

  SettingsFrame layout() const;
  void draw(Canvas& canvas) const;

  bool pointerDown(Point point);
  bool pointerDragged(Point point);
  bool pointerUp(Point point);
  bool scroll(double deltaY);
  bool key(SettingsKey key);

 private:
  void perform(const SettingsTarget& target);
  static void run(const std::function<void()>& action);

  UserSettings& settings_;
  SettingsPanelActions actions_;
  Size size_;
  SettingsContent content_;
  SettingsViewState state_;
  std::optional<SettingsTarget> pressed_;
};

}  // namespace glimmet
