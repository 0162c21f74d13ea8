#include "updates/update_about.hpp"

#include "base/text.hpp"
#include "updates/update_endpoint.hpp"
#include "updates/update_schedule.hpp"

namespace glimmet {

AboutUpdateController::AboutUpdateController(std::string currentVersion, UpdateHost host)
    : version_(std::move(currentVersion)), host_(std::move(host)) {}

bool AboutUpdateController::beginManualCheck(bool hasFeed) {
  if (!hasFeed) {
    banner_ = UpdateBanner{"Checked local build: v" + version_ +
                           ". No remote update feed is configured."};
    return false;
  }
  state_ = UpdateChecking{};
  banner_ = UpdateBanner{"Checking for updates..."};
  return true;
}

void AboutUpdateController::finishManualCheck(const Result<UpgradeCheckResponse>& result,
                                              std::string checkedAt) {
  if (!result) {
    state_ = UpdateError{result.error()};
    banner_ = UpdateBanner{result.error(), true};
    return;
  }
  const auto& response = result.value();
  if (response.updateAvailable) {
    state_ = UpdateAvailable{response};
    banner_ = UpdateBanner{"Update v" + response.latest.version + " available"};
  } else {
    state_ = UpdateUpToDate{response, std::move(checkedAt)};
    banner_ = UpdateBanner{"Glimmet is already up to date"};
  }
}

void AboutUpdateController::runManualCheck(const UpdateClient& client) {
  if (!beginManualCheck(client.fixturePath || client.endpoint)) return;
  finishManualCheck(client.check(version_, version_), currentUpdateTimestamp());
}

bool AboutUpdateController::applyAutomaticResult(const Result<UpgradeCheckResponse>& result,
                                                 bool showReminder, std::string checkedAt) {
  if (!result) return false;
  const auto& response = result.value();
  if (!response.updateAvailable) {
    state_ = UpdateUpToDate{response, std::move(checkedAt)};
    return false;
  }
  state_ = UpdateAvailable{response};
  if (showReminder) banner_ = UpdateBanner{"Glimmet v" + response.latest.version + " available"};
  return showReminder;
}

bool AboutUpdateController::isSupportedArtifactKind(const std::string& kind) const {
  if (host_.platform == "macos") return kind == "dmg" || kind == "zip";
  return kind == "tar.gz";
}

std::optional<UpgradeCheckResponse> AboutUpdateController::beginDownload() {
  const auto* available = std::get_if<UpdateAvailable>(&state_);
  if (!available) {
    setDownloadError("Download action is not available.");
    return std::nullopt;
  }
  const UpgradeCheckResponse response = available->response;
  const std::string prefix = "Update v" + response.latest.version;
  if (!response.artifact) {
    setDownloadError(prefix + " does not include a downloadable artifact.");
    return std::nullopt;
  }
  const auto& artifact = *response.artifact;
  if (!isSupportedArtifactKind(toLower(trim(artifact.kind)))) {
    setDownloadError(prefix + " uses an unsupported artifact type.");
    return std::nullopt;
  }
  if (!isValidURL(artifact.url)) {
    setDownloadError(prefix + " has an invalid artifact URL.");
    return std::nullopt;
  }
  const std::string scheme = toLower(artifact.url.substr(0, artifact.url.find(':')));
  if (scheme != "http" && scheme != "https" && scheme != "file") {
    setDownloadError(prefix + " has an unsupported artifact URL.");
    return std::nullopt;
  }
  state_ = UpdateDownloading{response, 0};
  banner_ = UpdateBanner{"Downloading update v" + response.latest.version + "..."};
  return response;
}

void AboutUpdateController::finishDownload(const UpgradeCheckResponse& response,
                                           const Result<std::string>& staged) {
  if (!staged) {
    setDownloadError(staged.error());
    return;
  }
  state_ = updateStateAfterVerification(response, staged.value());
  if (const auto* error = std::get_if<UpdateError>(&state_)) {
    setDownloadError(error->message);
    return;
  }
  banner_ = UpdateBanner{"Update v" + response.latest.version +
                         " is ready to install. Restart to update."};
}

void AboutUpdateController::runDownload(const StageUpdateArtifact& stage) {
  const auto response = beginDownload();
  if (!response) return;
  finishDownload(*response, stage(*response, *response->artifact));
}

bool AboutUpdateController::restartAndInstall(const InstallUpdate& install,
                                              const std::string& targetBundlePath) {
  const auto* ready = std::get_if<UpdateReadyToRestart>(&state_);
  if (!ready) {
    setDownloadError("Restart action is not available.");
    return false;
  }
  const std::string version = ready->response.latest.version;
  const Status started = install({ready->filePath, targetBundlePath, version, true});
  if (!started) {
    const std::string message = "Update install failed: " + started.error();
    state_ = UpdateError{message};
    banner_ = UpdateBanner{message, true};
    return false;
  }
  banner_ = UpdateBanner{"Restarting to install v" + version + "..."};
  return true;
}

void AboutUpdateController::performPrimaryAction(const UpdateClient& client,
                                                 const StageUpdateArtifact& stage,
                                                 const InstallUpdate& install,
                                                 const std::string& targetBundlePath) {
  switch (aboutUpdatePrimaryAction(state_)) {
    case AboutUpdatePrimaryAction::checkForUpdates:
      runManualCheck(client);
      return;
    case AboutUpdatePrimaryAction::download:
      runDownload(stage);
      return;
    case AboutUpdatePrimaryAction::restartAndInstall:
      restartAndInstall(install, targetBundlePath);
      return;
    case AboutUpdatePrimaryAction::busy:
      return;
  }
}

void AboutUpdateController::setDownloadError(std::string message) {
  banner_ = UpdateBanner{message, true};
  state_ = UpdateError{std::move(message)};
}

}  // namespace glimmet
