#include "app/settings_preferences.hpp"

#include <algorithm>

namespace glimmet {

namespace {

using namespace SettingsKeys;

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void readBool(const UserDefaults& defaults, const char* key, bool& target) {
  target = defaults.boolValue(key, target);
}

void readText(const UserDefaults& defaults, const char* key, std::string& target) {
  if (auto stored = defaults.stringValue(key); stored && !stored->empty()) target = *stored;
}

std::optional<std::string> validName(const UserDefaults& defaults, const char* key,
                                     const std::vector<std::string>& names) {
  auto stored = defaults.stringValue(key);
  if (!stored || !contains(names, *stored)) return std::nullopt;
  return stored;
}

}  // namespace

SettingsPreferences::SettingsPreferences()
    : disabledToolIDs(defaultDisabledToolIDs()), toolModels(defaultToolModels()) {}

bool* SettingsPreferences::boolPreference(std::string_view key) {
  const auto& self = *this;
  return const_cast<bool*>(self.boolPreference(key));
}

const bool* SettingsPreferences::boolPreference(std::string_view key) const {
  if (key == kShowCapsuleMode) return &showCapsuleMode;
  if (key == kShowInDockMode) return &showInDockMode;
  if (key == kDesktopCompanionMode) return &desktopCompanionMode;
  if (key == kReduceMotion) return &reduceMotion;
  if (key == kHighContrast) return &highContrast;
  if (key == kMuted) return &muted;
  if (key == kOpenAtLogin) return &openAtLogin;
  if (key == kCodexPetsDirectoryAuthorized) return &codexPetsDirectoryAuthorized;
  if (key == kDidRequestCodexPetsDirectoryAuthorization)
    return &didRequestCodexPetsDirectoryAuthorization;
  return nullptr;
}

double clampedFloatingPetScale(double scale) {
  return std::clamp(scale, kMinimumFloatingPetScale, kMaximumFloatingPetScale);
}

const std::vector<std::string>& companionDisplayModeNames() {
  static const std::vector<std::string> names = {"bubble", "floating", "roaming", "tucked"};
  return names;
}

const std::vector<std::string>& petPreviewStateNames() {
  static const std::vector<std::string> names = {"idle",     "running", "waitingInput", "review",
                                                 "approval", "error",   "rateLimit",    "sleeping"};
  return names;
}

const std::vector<std::string>& defaultDisabledToolIDs() {
  static const std::vector<std::string> ids = {"factory-droid", "warp", "windsurf",
                                               "copilot-coding-agent"};
  return ids;
}

std::string defaultModel(std::string_view tool) {
  if (tool == "claude") return "Claude Sonnet";
  if (tool == "codex") return "GPT-5 Codex";
  if (tool == "cursor") return "Auto";
  if (tool == "kimi") return "Kimi K2";
  return {};
}

const std::map<std::string, std::string>& defaultToolModels() {
  static const std::map<std::string, std::string> models = [] {
    std::map<std::string, std::string> result;
    for (const char* tool : {"claude", "codex", "cursor", "kimi"})
      result[tool] = defaultModel(tool);
    return result;
  }();
  return models;
}

SettingsPreferences loadUserSettings(const UserDefaults& defaults) {
  SettingsPreferences result;
  readText(defaults, kSelectedPetID, result.selectedPetID);
  readBool(defaults, kShowCapsuleMode, result.showCapsuleMode);
  readBool(defaults, kShowInDockMode, result.showInDockMode);
  readBool(defaults, kDesktopCompanionMode, result.desktopCompanionMode);
  if (auto mode = validName(defaults, kCompanionDisplayMode, companionDisplayModeNames()))
    result.companionDisplayMode = *mode;
  result.desktopCompanionPetState =
      validName(defaults, kDesktopCompanionPetState, petPreviewStateNames());
  if (auto stored = defaults.value(kFloatingPetScale)) {
    if (auto scale = doubleValue(*stored))
      result.floatingPetScale = clampedFloatingPetScale(*scale);
  }
  readBool(defaults, kReduceMotion, result.reduceMotion);
  readBool(defaults, kHighContrast, result.highContrast);
  readBool(defaults, kMuted, result.muted);
  readBool(defaults, kOpenAtLogin, result.openAtLogin);
  readText(defaults, kSelectedSoundID, result.selectedSoundID);
  if (defaults.value(kDeletedDefaultPetIDs))
    result.deletedDefaultPetIDs = defaults.stringArrayValue(kDeletedDefaultPetIDs);
  readBool(defaults, kCodexPetsDirectoryAuthorized, result.codexPetsDirectoryAuthorized);
  readBool(defaults, kDidRequestCodexPetsDirectoryAuthorization,
           result.didRequestCodexPetsDirectoryAuthorization);
  // A stored list, even an empty one, is the user's own choice.
  if (auto stored = defaults.value(kDisabledToolIDs); stored && stored->is_array())
    result.disabledToolIDs = stringArray(*stored);
  if (auto stored = defaults.value(kToolModels); stored && stored->is_object()) {
    for (const auto& [tool, model] : stored->items()) {
      if (model.is_string() && !model.get<std::string>().empty())
        result.toolModels[tool] = model.get<std::string>();
    }
  }
  if (auto stored = defaults.value(kImportedSounds); stored && stored->is_array())
    result.importedSounds = *stored;
  return result;
}

Json settingsJson(const SettingsPreferences& p) {
  Json json{
      {kSelectedPetID, p.selectedPetID},
      {kShowCapsuleMode, p.showCapsuleMode},
      {kShowInDockMode, p.showInDockMode},
      {kDesktopCompanionMode, p.desktopCompanionMode},
      {kCompanionDisplayMode, p.companionDisplayMode},
      {kFloatingPetScale, clampedFloatingPetScale(p.floatingPetScale)},
      {kReduceMotion, p.reduceMotion},
      {kHighContrast, p.highContrast},
      {kMuted, p.muted},
      {kOpenAtLogin, p.openAtLogin},
      {kSelectedSoundID, p.selectedSoundID},
      {kDeletedDefaultPetIDs, p.deletedDefaultPetIDs},
      {kCodexPetsDirectoryAuthorized, p.codexPetsDirectoryAuthorized},
      {kDidRequestCodexPetsDirectoryAuthorization, p.didRequestCodexPetsDirectoryAuthorization},
      {kDisabledToolIDs, p.disabledToolIDs},
      {kToolModels, p.toolModels},
      {kImportedSounds, p.importedSounds}};
  if (p.desktopCompanionPetState) json[kDesktopCompanionPetState] = *p.desktopCompanionPetState;
  return json;
}

Status saveUserSettings(UserDefaults& defaults, const SettingsPreferences& preferences,
                        const SettingsPreferences& previous) {
  const Json now = settingsJson(preferences);
  const Json before = settingsJson(previous);
  Json changed = Json::object();
  for (const auto& [key, value] : now.items()) {
    if (!before.contains(key) || before[key] != value) changed[key] = value;
  }
  if (!changed.empty()) {
    if (auto status = defaults.setValues(changed); !status) return status;
  }
  if (!preferences.desktopCompanionPetState && previous.desktopCompanionPetState)
    return defaults.removeValue(kDesktopCompanionPetState);
  return {};
}

}  // namespace glimmet
