#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace glimmet {

enum class SettingsTab { general, pets, sound, aiTools, about };

inline constexpr std::array<SettingsTab, 5> kSettingsTabs = {
    SettingsTab::general, SettingsTab::pets, SettingsTab::sound, SettingsTab::aiTools,
    SettingsTab::about};

std::string_view settingsTabTitle(SettingsTab tab);
std::string_view settingsTabRawValue(SettingsTab tab);
std::optional<SettingsTab> settingsTabFromRawValue(std::string_view raw);
size_t settingsTabIndex(SettingsTab tab);

// The live preview's pet placement and state, as the Pets tab offers them.
enum class PetPreviewMode { bubble, floating, roaming, tucked };
enum class PetPreviewStateID {
  idle,
  running,
  waitingInput,
  review,
  approval,
  error,
  rateLimit,
  sleeping
};

inline constexpr std::array<PetPreviewMode, 4> kPetPreviewModes = {
    PetPreviewMode::bubble, PetPreviewMode::floating, PetPreviewMode::roaming,
    PetPreviewMode::tucked};
inline constexpr std::array<PetPreviewStateID, 8> kPetPreviewStates = {
    PetPreviewStateID::idle,      PetPreviewStateID::running,  PetPreviewStateID::waitingInput,
    PetPreviewStateID::review,    PetPreviewStateID::approval, PetPreviewStateID::error,
    PetPreviewStateID::rateLimit, PetPreviewStateID::sleeping};

std::string_view petPreviewModeRawValue(PetPreviewMode mode);
std::optional<PetPreviewMode> petPreviewModeFromRawValue(std::string_view raw);
std::string_view petPreviewStateRawValue(PetPreviewStateID state);
std::optional<PetPreviewStateID> petPreviewStateFromRawValue(std::string_view raw);
// The pill's label: "Waiting input" for waitingInput.
std::string_view petPreviewStateTitle(PetPreviewStateID state);

}  // namespace glimmet
