#pragma once

#include <string_view>

#include "base/result.hpp"
#include "updates/update_feed.hpp"
#include "updates/update_host.hpp"

namespace glimmet {

// Turns a static manifest into the answer a dynamic feed would have given `currentVersion`:
// an update is available, and forced, when the current version is older than the latest, is
// blocked, or lies below the minimum supported or the force-update version. Fails with the
// client's message when the host's artifact lacks a URL or a checksum.
Result<UpgradeCheckResponse> checkResponseFromManifest(const R2UpdateManifest& manifest,
                                                       std::string_view currentVersion,
                                                       const UpdateHost& host);

}  // namespace glimmet
