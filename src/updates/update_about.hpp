#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/result.hpp"
#include "updates/update_client.hpp"
#include "updates/update_download.hpp"
#include "updates/update_host.hpp"
#include "updates/update_install.hpp"
#include "updates/update_state.hpp"

namespace glimmet {

// The one-line status banner an update step leaves; errors are drawn in the error colour.
struct UpdateBanner {
  std::string text;
  bool isError = false;

  bool operator==(const UpdateBanner&) const = default;
};

// Copies or downloads the response's artifact to the update folder and verifies its checksum,
// reporting the transfer's progress as it goes; gives the staged file's path or the message
// the user reads. Blocking.
using StageUpdateArtifact = std::function<Result<std::string>(
    const UpgradeCheckResponse&, const UpgradeArtifact&, const UpdateDownloadProgress&)>;
// Starts the detached installer; a failure's message is shown after "Update install failed: ".
using InstallUpdate = std::function<Status(const PendingUpdateInstallRequest&)>;

// The About tab's update panel: its state, the banner each step leaves and the primary
// action. Every begin/finish pair is split so a front end can run the blocking middle on a
// worker thread and finish on its main thread; the run… helpers do all three in a row.
class AboutUpdateController {
 public:
  explicit AboutUpdateController(std::string currentVersion, UpdateHost host = currentUpdateHost());

  const UpdateState& state() const { return state_; }
  const std::optional<UpdateBanner>& banner() const { return banner_; }
  std::vector<AboutUpdateDisplayRow> rows() const { return aboutUpdateRows(state_, version_); }
  const std::string& currentVersion() const { return version_; }

  // "Check now". Without a feed (`hasFeed` false) only the banner changes and nothing is to be
  // fetched: false. Otherwise the state becomes checking: true.
  bool beginManualCheck(bool hasFeed);
  void finishManualCheck(const Result<UpgradeCheckResponse>& result, std::string checkedAt);
  void runManualCheck(const UpdateClient& client);

  // An automatic check's result. A failure changes nothing; an update sets the banner only
  // when `showReminder`. Returns whether the reminder was shown.
  bool applyAutomaticResult(const Result<UpgradeCheckResponse>& result, bool showReminder,
                            std::string checkedAt);

  // Called with every state the controller enters, in order, so that a front end can redraw
  // (and a command print) each step, the passing ones included.
  void setStateObserver(std::function<void(const UpdateState&)> observer);

  // "Download Update": the artifact to stage when the available update has a usable one (the
  // state is then downloading), else none with the state set to the error.
  std::optional<UpgradeCheckResponse> beginDownload();
  // The transfer's progress, 0 to 1; ignored unless a download is running.
  void setDownloadProgress(double fraction);
  // A staged file passes through verified before the signing policy decides between ready to
  // restart and the error.
  void finishDownload(const UpgradeCheckResponse& response, const Result<std::string>& staged);
  void runDownload(const StageUpdateArtifact& stage);

  // "Restart to Update": true when the installer started and the application should quit.
  bool restartAndInstall(const InstallUpdate& install, const std::string& targetPath);

  // The primary button: check, download, restart, or nothing while busy.
  void performPrimaryAction(const UpdateClient& client, const StageUpdateArtifact& stage,
                            const InstallUpdate& install, const std::string& targetPath);

  void setDownloadError(std::string message);

 private:
  bool isSupportedArtifactKind(const std::string& kind) const;
  void setState(UpdateState state);

  std::string version_;
  UpdateHost host_;
  UpdateState state_ = UpdateIdle{};
  std::optional<UpdateBanner> banner_;
  std::function<void(const UpdateState&)> observer_;
};

}  // namespace glimmet
