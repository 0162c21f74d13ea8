#include "ui/view/settings_tabs.hpp"

namespace glimmet {

namespace {

struct TabNames {
  SettingsTab tab;
  std::string_view raw;
  std::string_view title;
};

constexpr TabNames kTabNames[] = {{SettingsTab::general, "general", "General"},
                                  {SettingsTab::pets, "pets", "Pets"},
                                  {SettingsTab::sound, "sound", "Sounds"},
                                  {SettingsTab::aiTools, "aiTools", "AI Tools"},
                                  {SettingsTab::about, "about", "About"}};

struct ModeNames {
  PetPreviewMode mode;
  std::string_view raw;
};
constexpr ModeNames kModeNames[] = {{PetPreviewMode::bubble, "bubble"},
                                    {PetPreviewMode::floating, "floating"},
                                    {PetPreviewMode::roaming, "roaming"},
                                    {PetPreviewMode::tucked, "tucked"}};

struct StateNames {
  PetPreviewStateID state;
  std::string_view raw;
  std::string_view title;
};
constexpr StateNames kStateNames[] = {
    {PetPreviewStateID::idle, "idle", "Idle"},
    {PetPreviewStateID::running, "running", "Running"},
    {PetPreviewStateID::waitingInput, "waitingInput", "Waiting input"},
    {PetPreviewStateID::review, "review", "Review"},
    {PetPreviewStateID::approval, "approval", "Approval"},
    {PetPreviewStateID::error, "error", "Error"},
    {PetPreviewStateID::rateLimit, "rateLimit", "Rate limit"},
    {PetPreviewStateID::sleeping, "sleeping", "Sleeping"}};

}  // namespace

std::string_view settingsTabTitle(SettingsTab tab) {
  return kTabNames[settingsTabIndex(tab)].title;
}

std::string_view settingsTabRawValue(SettingsTab tab) {
  return kTabNames[settingsTabIndex(tab)].raw;
}

std::optional<SettingsTab> settingsTabFromRawValue(std::string_view raw) {
  for (const auto& names : kTabNames) {
    if (names.raw == raw) return names.tab;
  }
  return std::nullopt;
}

size_t settingsTabIndex(SettingsTab tab) {
  return static_cast<size_t>(tab);
}

std::string_view petPreviewModeRawValue(PetPreviewMode mode) {
  return kModeNames[static_cast<size_t>(mode)].raw;
}

std::optional<PetPreviewMode> petPreviewModeFromRawValue(std::string_view raw) {
  for (const auto& names : kModeNames) {
    if (names.raw == raw) return names.mode;
  }
  return std::nullopt;
}

std::string_view petPreviewStateRawValue(PetPreviewStateID state) {
  return kStateNames[static_cast<size_t>(state)].raw;
}

std::optional<PetPreviewStateID> petPreviewStateFromRawValue(std::string_view raw) {
  for (const auto& names : kStateNames) {
    if (names.raw == raw) return names.state;
  }
  return std::nullopt;
}

std::string_view petPreviewStateTitle(PetPreviewStateID state) {
  return kStateNames[static_cast<size_t>(state)].title;
}

}  // namespace glimmet
