#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "updates/update_about.hpp"
#include "updates/update_download.hpp"
#include "updates/update_install.hpp"

namespace glimmet {

// What the downloader needs of a feed's artifact.
UpdateDownloadRequest updateDownloadRequest(const UpgradeCheckResponse& response,
                                            const UpgradeArtifact& artifact);

// The About tab's download step: fetches or copies the artifact into `directory` as
// "Glimmet-<version>.<extension>" and verifies it there.
StageUpdateArtifact verifiedArtifactStager(std::string directory);

// As verifiedArtifactStager, except that an artifact already in `directory` whose checksum
// still matches is used as it is: installing right after a download does not fetch it again.
StageUpdateArtifact cachedArtifactStager(std::string directory);

// The installer the restart action runs: the detached install script, waiting for
// `waitForPid` to exit. `onStarted` receives the log file the script writes to.
InstallUpdate detachedUpdateInstaller(
    UpdateInstallContext context, int64_t waitForPid, UpdateScriptLauncher launch,
    std::function<void(const std::string& logPath)> onStarted = {});

}  // namespace glimmet
