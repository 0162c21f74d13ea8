#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/environment.hpp"
#include "base/result.hpp"
#include "updates/update_feed.hpp"
#include "updates/update_host.hpp"

namespace glimmet {

// Asks one feed whether a newer Glimmet exists. Failures carry the message the user reads.
struct UpdateClient {
  // A local feed document read instead of the network.
  std::optional<std::string> fixturePath;
  std::optional<std::string> endpoint;
  std::string channel = "stable";
  UpdateHost host = currentUpdateHost();

  // The URL fetched for this check, or none without an endpoint.
  std::optional<std::string> checkURL(std::string_view currentVersion,
                                      std::string_view build) const;

  // Blocking: run it off the main thread.
  Result<UpgradeCheckResponse> check(std::string_view currentVersion, std::string_view build) const;

  // A dynamic feed's answer as it is, else a static manifest converted for `currentVersion`.
  Result<UpgradeCheckResponse> decodeResponse(std::string_view data,
                                              std::string_view currentVersion,
                                              std::string_view build) const;
};

// The client of the automatic check: the resolved endpoint, no fixture.
UpdateClient automaticUpdateClient(const Environment& environment, bool isolated);

// The client of "Check now": GLIMMET_UPDATE_RESPONSE_FILE as fixture when set, and the endpoint.
UpdateClient manualUpdateClient(const Environment& environment, bool isolated);

// A feed is served as JSON or as plain bytes; anything else (an HTML page from a captive portal
// or an error page) is not a feed.
bool isAcceptableFeedContentType(std::string_view contentType);

}  // namespace glimmet
