#pragma once

#include <string_view>

namespace glimmet {

// The running build's version ("0.1.0"); the update check sends it as version and build.
std::string_view glimmetVersion();

// The static manifest checked when neither GLIMMET_UPDATE_MANIFEST_URL nor
// GLIMMET_UPDATE_ENDPOINT names a feed; chosen when the program is built.
std::string_view defaultUpdateFeedURL();

}  // namespace glimmet
