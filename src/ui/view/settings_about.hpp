#pragma once

#include <string>

#include "ui/view/settings_content.hpp"
#include "updates/update_state.hpp"

namespace glimmet {

// The About tab while the updater reports `state`.
SettingsAboutContent settingsAboutContent(const UpdateState& state, std::string version);
// The About tab without an updater in this build: the version and one disabled row.
SettingsAboutContent settingsAboutContentWithoutUpdates(std::string version);

// A newer release is known (found, downloading or waiting for the restart).
bool aboutTabShowsUpdateMarker(const UpdateState& state);

}  // namespace glimmet
