#pragma once

namespace glimmet {

// The update check's failures as the user reads them.
inline constexpr const char* kNoRemoteUpdateFeed = "No remote update feed configured.";
inline constexpr const char* kUpdateCheckFailed = "Update check failed. Try again.";
inline constexpr const char* kUpdateFeedInvalid = "Update feed is invalid.";
inline constexpr const char* kUpdateFeedMissingChecksum = "Update feed is missing a checksum.";
inline constexpr const char* kUpdateServerInvalidResponse =
    "Update server returned an invalid response.";
// Followed by the status code.
inline constexpr const char* kUpdateServerReturnedHttp = "Update server returned HTTP ";

}  // namespace glimmet
