#include "updates/update_actions.hpp"

#include "platform/file_system.hpp"
#include "updates/update_verify.hpp"

namespace glimmet {

UpdateDownloadRequest updateDownloadRequest(const UpgradeCheckResponse& response,
                                            const UpgradeArtifact& artifact) {
  return {response.latest.version, artifact.url, artifact.sha256,
          artifact.sizeBytes > 0 ? static_cast<uint64_t>(artifact.sizeBytes) : 0, artifact.kind};
}

StageUpdateArtifact verifiedArtifactStager(std::string directory) {
  return [directory = std::move(directory)](const UpgradeCheckResponse& response,
                                            const UpgradeArtifact& artifact,
                                            const UpdateDownloadProgress& progress) {
    return fetchVerifiedArtifact(updateDownloadRequest(response, artifact), directory, progress);
  };
}

StageUpdateArtifact cachedArtifactStager(std::string directory) {
  return [directory = std::move(directory)](const UpgradeCheckResponse& response,
                                            const UpgradeArtifact& artifact,
                                            const UpdateDownloadProgress& progress) {
    const auto request = updateDownloadRequest(response, artifact);
    const std::string cached = directory + "/" + artifactFileName(request.version, request.url);
    if (fileExists(cached) && !isDirectory(cached) &&
        verifyArtifactChecksum(cached, request.sha256)) {
      return Result<std::string>(cached);
    }
    return fetchVerifiedArtifact(request, directory, progress);
  };
}

InstallUpdate detachedUpdateInstaller(UpdateInstallContext context, int64_t waitForPid,
                                      UpdateScriptLauncher launch,
                                      std::function<void(const std::string&)> onStarted) {
  return [context = std::move(context), waitForPid, launch = std::move(launch),
          onStarted = std::move(onStarted)](const PendingUpdateInstallRequest& request) {
    const Result<std::string> log = installAndRelaunch(request, waitForPid, launch, context);
    if (!log) return Status::failure(log.error());
    if (onStarted) onStarted(log.value());
    return Status();
  };
}

}  // namespace glimmet
