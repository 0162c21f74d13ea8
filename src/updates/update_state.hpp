#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "updates/update_feed.hpp"

namespace glimmet {

// The About tab's update state; a view starts `idle`.
struct UpdateUpToDate {
  UpgradeCheckResponse response;
  std::string checkedAt;  // "yyyy-MM-dd HH:mm"
};
struct UpdateAvailable {
  UpgradeCheckResponse response;
};
struct UpdateDownloading {
  UpgradeCheckResponse response;
  double progress = 0;
};
struct UpdateVerified {
  UpgradeCheckResponse response;
  std::string filePath;
};
struct UpdateReadyToRestart {
  UpgradeCheckResponse response;
  std::string filePath;
};
struct UpdateError {
  std::string message;
};
struct UpdateIdle {};
struct UpdateChecking {};

using UpdateState = std::variant<UpdateUpToDate, UpdateAvailable, UpdateDownloading, UpdateVerified,
                                 UpdateReadyToRestart, UpdateError, UpdateIdle, UpdateChecking>;

struct AboutUpdateDisplayRow {
  std::string label;
  std::string detail;
  bool isChangelog = false;  // a release note, drawn in the changelog block

  bool operator==(const AboutUpdateDisplayRow&) const = default;
};

std::vector<AboutUpdateDisplayRow> aboutUpdateRows(const UpdateState& state,
                                                   std::string_view currentVersion);

// "v0.1.1 · dmg · 768 KB".
std::string aboutUpdateAvailableDetail(const UpgradeCheckResponse& response);

// 1023 → "1023 B", 1536 → "1.5 KB", 786432 → "768 KB"; the largest unit is TB.
std::string humanReadableByteSize(int64_t bytes);

enum class AboutUpdatePrimaryAction { checkForUpdates, download, busy, restartAndInstall };

AboutUpdatePrimaryAction aboutUpdatePrimaryAction(const UpdateState& state);
std::string_view aboutUpdatePrimaryActionTitle(const UpdateState& state);

// The production signing policy, applied once the artifact's checksum matched: on the stable
// channel an artifact that is not both signed and notarized is refused unless the feed allows
// test installs; any other channel installs.
UpdateState updateStateAfterVerification(const UpgradeCheckResponse& response,
                                         const std::string& filePath);

inline constexpr const char* kNotSignedForProduction =
    "This update is not signed for production install.";

}  // namespace glimmet
