#include "app/user_settings.hpp"

namespace glimmet {

UserSettings::UserSettings(UserDefaults& defaults)
    : defaults_(defaults), preferences_(loadUserSettings(defaults)) {}

Status UserSettings::update(const std::function<void(SettingsPreferences&)>& change) {
  const SettingsPreferences previous = preferences_;
  change(preferences_);
  preferences_.floatingPetScale = clampedFloatingPetScale(preferences_.floatingPetScale);
  if (preferences_ == previous) return {};
  Status saved = saveUserSettings(defaults_, preferences_, previous);
  announce();
  return saved;
}

Status UserSettings::setBool(std::string_view key, bool value) {
  if (!preferences_.boolPreference(key)) return Status::failure("no such preference");
  return update([&](SettingsPreferences& p) { *p.boolPreference(key) = value; });
}

Status UserSettings::setFloatingPetScale(double scale) {
  return update([&](SettingsPreferences& p) { p.floatingPetScale = scale; });
}

void UserSettings::reloadSettingsFromDefaults() {
  SettingsPreferences loaded = loadUserSettings(defaults_);
  if (loaded == preferences_) return;
  preferences_ = std::move(loaded);
  announce();
}

void UserSettings::addObserver(Observer observer) {
  observers_.push_back(std::move(observer));
}

void UserSettings::announce() {
  for (const auto& observer : observers_) observer(preferences_);
}

}  // namespace glimmet
