#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/environment.hpp"
#include "base/result.hpp"

namespace glimmet {

// The artifact a feed offers for one version, as the downloader needs it.
struct UpdateDownloadRequest {
  std::string version;
  std::string url;         // http, https or file
  std::string sha256;      // lower-case hexadecimal; compared without regard to case
  uint64_t sizeBytes = 0;  // 0 when the feed does not say
  std::string kind;        // "dmg", "zip", or on Linux "tar.gz"
};

// Reports a transfer's progress as a fraction from 0 to 1; called only while the size is known.
using UpdateDownloadProgress = std::function<void(double fraction)>;

inline constexpr std::string_view kChecksumMismatchMessage =
    "Downloaded update failed checksum verification.";

// Letters, digits, ".", "_" and "-" kept; every run of anything else becomes one "-"; ".", "-"
// and "_" trimmed from both ends; nothing left gives `fallback`. A version from the network
// thus cannot climb out of the download folder or hide the file.
std::string sanitizedNameComponent(std::string_view text, std::string_view fallback);

// "dmg" or "zip" (and on Linux "tar.gz") trimmed and lower-cased; anything else "artifact".
std::string safeArtifactExtension(std::string_view extension);

// The extension of the last path segment of `url`, ignoring its query and fragment: "tar.gz"
// for a name ending in ".tar.gz", else what follows the last "." (empty without one).
std::string artifactURLExtension(std::string_view url);

// "Glimmet-<version>.<extension>", both parts made safe for a file name.
std::string artifactFileName(std::string_view version, std::string_view url);

// A random version-4 UUID in upper case, for names no other run can have chosen.
std::string freshUUID();

// The folder downloads and the installer's scripts and logs live in: "Updates" in the
// application-support directory.
std::string updatesDirectory(const Environment& environment);

// Copies `from` over `to` through a hidden temporary file next to it. A failed copy leaves an
// existing `to` untouched.
Status copyLocalArtifact(const std::string& from, const std::string& to);

// Copies `from` to a hidden staging file next to `to`, checks it against `expectedSha256` and
// only then moves it over `to`. A mismatch fails with kChecksumMismatchMessage and leaves both
// an earlier `to` and the folder as they were.
Status stageVerifiedLocalArtifact(const std::string& from, const std::string& to,
                                  std::string_view expectedSha256);

// Downloads `request.url` into a hidden file in `directory` and returns its path. A status
// outside 200-299 fails with "Update server returned HTTP <code>", a transport error with its
// description; a body larger than the announced size (plus some slack) is cut off and fails.
Result<std::string> downloadRemoteArtifact(const UpdateDownloadRequest& request,
                                           const std::string& directory,
                                           const UpdateDownloadProgress& progress = {});

// downloadRemoteArtifact next to `to`, then as stageVerifiedLocalArtifact.
Status stageVerifiedRemoteArtifact(const UpdateDownloadRequest& request, const std::string& to,
                                   const UpdateDownloadProgress& progress = {});

// The whole download step of an update: checks the artifact's kind and URL, fetches or copies
// it to `directory`/artifactFileName and verifies it. Returns the verified file's path, or the
// message to show: checksum mismatches as they are, other errors after "Could not copy update
// artifact: " or "Could not download update artifact: ".
Result<std::string> fetchVerifiedArtifact(const UpdateDownloadRequest& request,
                                          const std::string& directory,
                                          const UpdateDownloadProgress& progress = {});

}  // namespace glimmet
