#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "app/settings_preferences.hpp"

namespace glimmet {

// The live preferences: loaded once, changed through here, written back at once and announced
// to every view that shows them, so a change takes effect without a restart.
class UserSettings {
 public:
  using Observer = std::function<void(const SettingsPreferences&)>;

  explicit UserSettings(UserDefaults& defaults);

  const SettingsPreferences& preferences() const { return preferences_; }

  // Applies `change`; when anything changed, writes it and tells each observer once. The new
  // values stay in effect even when the write fails.
  Status update(const std::function<void(SettingsPreferences&)>& change);
  // A Boolean preference by its key; unknown keys change nothing.
  Status setBool(std::string_view key, bool value);
  Status setFloatingPetScale(double scale);
  // Takes the stored values again (another process or view wrote them) and announces them when
  // they differ.
  void reloadSettingsFromDefaults();

  // settingsDidChange: called after every change with the preferences now in effect.
  void addObserver(Observer observer);

 private:
  void announce();

  UserDefaults& defaults_;
  SettingsPreferences preferences_;
  std::vector<Observer> observers_;
};

}  // namespace glimmet
