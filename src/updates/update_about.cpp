#include "updates/update_about.hpp"

#include <algorithm>

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
  banner_ = UpdateBanner{"Checking for updates..."};
  setState(UpdateChecking{});
  return true;
}

void AboutUpdateController::finishManualCheck(const Result<UpgradeCheckResponse>& result,
                                              std::string checkedAt) {
  if (!result) {
    banner_ = UpdateBanner{result.error(), true};
    setState(UpdateError{result.error()});
    return;
  }
  const auto& response = result.value();
  if (response.updateAvailable) {
    banner_ = UpdateBanner{"Update v" + response.latest.version + " available"};
    setState(UpdateAvailable{response});
  } else {
    banner_ = UpdateBanner{"Glimmet is already up to date"};
    setState(UpdateUpToDate{response, std::move(checkedAt)});
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
    setState(UpdateUpToDate{response, std::move(checkedAt)});
    return false;
  }
  if (showReminder) banner_ = UpdateBanner{"Glimmet v" + response.latest.version + " available"};
  setState(UpdateAvailable{response});
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
  banner_ = UpdateBanner{"Downloading update v" + response.latest.version + "..."};
  setState(UpdateDownloading{response, 0});
  return response;
}

void AboutUpdateController::finishDownload(const UpgradeCheckResponse& response,
                                           const Result<std::string>& staged) {
  if (!staged) {
    setDownloadError(staged.error());
    return;
  }
  setState(UpdateVerified{response, staged.value()});
  UpdateState decided = updateStateAfterVerification(response, staged.value());
  if (const auto* error = std::get_if<UpdateError>(&decided)) {
    setDownloadError(error->message);
    return;
  }
  banner_ = UpdateBanner{"Update v" + response.latest.version +
                         " is ready to install. Restart to update."};
  setState(std::move(decided));
}

void AboutUpdateController::runDownload(const StageUpdateArtifact& stage) {
  const auto response = beginDownload();
  if (!response) return;
  const UpdateDownloadProgress progress = [this](double fraction) {
    setDownloadProgress(fraction);
  };
  finishDownload(*response, stage(*response, *response->artifact, progress));
}

bool AboutUpdateController::restartAndInstall(const InstallUpdate& install,
                                              const std::string& targetPath) {
  const auto* ready = std::get_if<UpdateReadyToRestart>(&state_);
  if (!ready) {
    setDownloadError("Restart action is not available.");
    return false;
  }
  const std::string version = ready->response.latest.version;
  const Status started = install({ready->filePath, targetPath, version, true});
  if (!started) {
    const std::string message = "Update install failed: " + started.error();
    banner_ = UpdateBanner{message, true};
    setState(UpdateError{message});
    return false;
  }
  banner_ = UpdateBanner{"Restarting to install v" + version + "..."};
  return true;
}

void AboutUpdateController::performPrimaryAction(const UpdateClient& client,
                                                 const StageUpdateArtifact& stage,
                                                 const InstallUpdate& install,
                                                 const std::string& targetPath) {
  switch (aboutUpdatePrimaryAction(state_)) {
    case AboutUpdatePrimaryAction::checkForUpdates:
      runManualCheck(client);
      return;
    case AboutUpdatePrimaryAction::download:
      runDownload(stage);
      return;
    case AboutUpdatePrimaryAction::restartAndInstall:
      restartAndInstall(install, targetPath);
      return;
    case AboutUpdatePrimaryAction::busy:
      return;
  }
}

void AboutUpdateController::setStateObserver(std::function<void(const UpdateState&)> observer) {
  observer_ = std::move(observer);
}

void AboutUpdateController::setDownloadProgress(double fraction) {
  auto* downloading = std::get_if<UpdateDownloading>(&state_);
  if (!downloading) return;
  const double clamped = std::clamp(fraction, 0.0, 1.0);
  // The transfer reports every few kilobytes; only a visible step is worth a redraw.
  if (clamped < 1.0 && clamped - downloading->progress < 0.005) return;
  if (clamped == downloading->progress) return;
  setState(UpdateDownloading{downloading->response, clamped});
}

void AboutUpdateController::setState(UpdateState state) {
  state_ = std::move(state);
  if (observer_) observer_(state_);
}

void AboutUpdateController::setDownloadError(std::string message) {
  banner_ = UpdateBanner{message, true};
  setState(UpdateError{std::move(message)});
}

}  // namespace glimmet
