#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/environment.hpp"
#include "updates/update_host.hpp"

namespace glimmet {

// The feed to ask, first match wins: GLIMMET_UPDATE_MANIFEST_URL, GLIMMET_UPDATE_ENDPOINT
// (each only when it is a URL), none when GLIMMET_DISABLE_DEFAULT_UPDATE_FEED is "1" or, in
// isolated mode, unless GLIMMET_ENABLE_DEFAULT_UPDATE_FEED_IN_TESTS is "1"; else the built-in
// default manifest.
std::optional<std::string> resolvedUpdateEndpointURL(const Environment& environment, bool isolated);

// GLIMMET_UPDATE_CHANNEL, or "stable".
std::string updateChannelFromEnvironment(const Environment& environment);

// A scheme ("https:", "file:") and no white space or control characters.
bool isValidURL(std::string_view url);

// The URL's path, trimmed and lower-cased, ends with ".json": a static manifest, fetched as is.
bool isStaticManifestURL(std::string_view url);

struct UpdateCheckQuery {
  std::string currentVersion;
  std::string build;
  std::string channel;
  UpdateHost host;
};

// A dynamic endpoint keeps its other query items (a token) in order and gets platform, arch,
// version, build and channel appended, replacing any it already had.
std::string updateCheckURL(std::string_view endpoint, const UpdateCheckQuery& query);

}  // namespace glimmet
