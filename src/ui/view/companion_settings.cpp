#include "ui/view/companion_settings.hpp"

namespace glimmet {

namespace {

std::optional<double> numberValue(const UserDefaults& defaults, std::string_view key) {
  const auto value = defaults.value(key);
  if (!value) return std::nullopt;
  return doubleValue(*value);
}

}  // namespace

CompanionSettings loadCompanionSettings(const UserDefaults& defaults) {
  CompanionSettings settings;
  settings.enabled = defaults.boolValue("desktopCompanionMode", false);
  if (const auto raw = defaults.stringValue("companionDisplayMode")) {
    if (const auto mode = companionDisplayModeFromRaw(*raw)) settings.mode = *mode;
  }
  if (const auto scale = numberValue(defaults, "floatingPetScale"))
    settings.scale = clampCompanionScale(*scale);
  settings.reduceMotion = defaults.boolValue("reduceMotion", true);
  const auto x = numberValue(defaults, "companionOriginX");
  const auto y = numberValue(defaults, "companionOriginY");
  if (x && y) settings.origin = Point{*x, *y};
  return settings;
}

Status storeCompanionOrigin(UserDefaults& defaults, CompanionDisplayMode mode, Point origin) {
  if (mode == CompanionDisplayMode::roaming) return {};
  return defaults.setValues(Json{{"companionOriginX", origin.x}, {"companionOriginY", origin.y}});
}

Status applyCompanionDragOutDefaults(UserDefaults& defaults) {
  return defaults.setValues(
      Json{{"desktopCompanionMode", true},
           {"companionDisplayMode", rawValue(CompanionDisplayMode::floating)}});
}

}  // namespace glimmet
