#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/json_values.hpp"
#include "base/result.hpp"
#include "platform/user_defaults.hpp"

namespace glimmet {

// Every preference the settings panel edits, with the value it has when nothing is stored.
struct SettingsPreferences {
  std::string selectedPetID = "capybara";
  bool showCapsuleMode = true;
  bool showInDockMode = false;
  bool desktopCompanionMode = false;
  std::string companionDisplayMode = "bubble";
  std::optional<std::string> desktopCompanionPetState;
  double floatingPetScale = 1.0;
  bool reduceMotion = true;
  bool highContrast = false;
  bool muted = false;
  // Glimmet starts with the user's session (an autostart entry, a login item on macOS).
  bool openAtLogin = false;
  std::string selectedSoundID = "moonlight-sonata";
  std::vector<std::string> deletedDefaultPetIDs;
  bool codexPetsDirectoryAuthorized = false;
  bool didRequestCodexPetsDirectoryAuthorization = false;
  std::vector<std::string> disabledToolIDs;
  std::map<std::string, std::string> toolModels;
  Json importedSounds = Json::array();

  SettingsPreferences();
  bool operator==(const SettingsPreferences&) const = default;

  // The Boolean preference stored under `key`; none for a key that is not a Boolean one.
  bool* boolPreference(std::string_view key);
  const bool* boolPreference(std::string_view key) const;
};

namespace SettingsKeys {
inline constexpr const char* kSelectedPetID = "selectedPetID";
inline constexpr const char* kShowCapsuleMode = "showCapsuleMode";
inline constexpr const char* kShowInDockMode = "showInDockMode";
inline constexpr const char* kDesktopCompanionMode = "desktopCompanionMode";
inline constexpr const char* kCompanionDisplayMode = "companionDisplayMode";
inline constexpr const char* kDesktopCompanionPetState = "desktopCompanionPetState";
inline constexpr const char* kFloatingPetScale = "floatingPetScale";
inline constexpr const char* kReduceMotion = "reduceMotion";
inline constexpr const char* kHighContrast = "highContrast";
inline constexpr const char* kMuted = "muted";
inline constexpr const char* kOpenAtLogin = "openAtLogin";
inline constexpr const char* kSelectedSoundID = "selectedSoundID";
inline constexpr const char* kDeletedDefaultPetIDs = "deletedDefaultPetIDs";
inline constexpr const char* kCodexPetsDirectoryAuthorized = "codexPetsDirectoryAuthorized";
inline constexpr const char* kDidRequestCodexPetsDirectoryAuthorization =
    "didRequestCodexPetsDirectoryAuthorization";
inline constexpr const char* kDisabledToolIDs = "disabledToolIDs";
inline constexpr const char* kToolModels = "toolModels";
inline constexpr const char* kImportedSounds = "importedSounds";
}  // namespace SettingsKeys

inline constexpr double kMinimumFloatingPetScale = 0.75;
inline constexpr double kMaximumFloatingPetScale = 1.6;
double clampedFloatingPetScale(double scale);

// The companion's display modes and the pet preview states, by their stored names.
const std::vector<std::string>& companionDisplayModeNames();
const std::vector<std::string>& petPreviewStateNames();

// Tools that start hidden until the user turns them on: ones whose integration is thin.
const std::vector<std::string>& defaultDisabledToolIDs();
// The model label shown per tool until the user picks another.
std::string defaultModel(std::string_view tool);
const std::map<std::string, std::string>& defaultToolModels();

// The defaults overlaid with every stored key that reads as its type; an unknown case name
// keeps the default.
SettingsPreferences loadUserSettings(const UserDefaults& defaults);
// The preferences as the user-defaults values they are stored as (an absent pet state is left
// out).
Json settingsJson(const SettingsPreferences& preferences);
// Writes the keys whose value differs from `previous` in one atomic write, and removes the
// pet state when it became absent.
Status saveUserSettings(UserDefaults& defaults, const SettingsPreferences& preferences,
                        const SettingsPreferences& previous);

}  // namespace glimmet
