#include "ui/view/settings_about.hpp"

namespace glimmet {

SettingsAboutContent settingsAboutContent(const UpdateState& state, std::string version) {
  SettingsAboutContent about;
  about.updateRows = aboutUpdateRows(state, version);
  about.version = std::move(version);
  about.updatesSupported = true;
  about.primaryActionTitle = std::string(aboutUpdatePrimaryActionTitle(state));
  about.primaryActionEnabled = aboutUpdatePrimaryAction(state) != AboutUpdatePrimaryAction::busy;
  about.updateAvailable = aboutTabShowsUpdateMarker(state);
  return about;
}

SettingsAboutContent settingsAboutContentWithoutUpdates(std::string version) {
  SettingsAboutContent about;
  about.version = std::move(version);
  return about;
}

bool aboutTabShowsUpdateMarker(const UpdateState& state) {
  return std::holds_alternative<UpdateAvailable>(state) ||
         std::holds_alternative<UpdateDownloading>(state) ||
         std::holds_alternative<UpdateVerified>(state) ||
         std::holds_alternative<UpdateReadyToRestart>(state);
}

}  // namespace glimmet
