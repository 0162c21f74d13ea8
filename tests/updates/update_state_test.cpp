// The About tab's update panel: rows, sizes, the primary action, the signing policy and the
// steps from check to restart.

#include <gtest/gtest.h>

#include <cmath>

#include "updates/update_about.hpp"
#include "updates/update_state.hpp"

namespace glimmet {
namespace {

using Rows = std::vector<AboutUpdateDisplayRow>;

UpgradeCheckResponse update(const std::string& version, const std::string& kind = "tar.gz",
                            int64_t size = 786432) {
  UpgradeCheckResponse response;
  response.updateAvailable = true;
  response.latest.version = version;
  response.latest.build = version;
  response.artifact = UpgradeArtifact{kind, "https://example.com/g." + kind, "ab12", size};
  response.security = UpgradeSecurity{};
  response.policy = UpgradePolicy{"stable", false, true, true};
  return response;
}

TEST(UpdateStateTest, ByteSizesAndTheAvailableDetail) {
  EXPECT_EQ(humanReadableByteSize(0), "0 B");
  EXPECT_EQ(humanReadableByteSize(1023), "1023 B");
  EXPECT_EQ(humanReadableByteSize(1024), "1 KB");
  EXPECT_EQ(humanReadableByteSize(1536), "1.5 KB");
  EXPECT_EQ(humanReadableByteSize(786432), "768 KB");
  EXPECT_EQ(humanReadableByteSize(1024 * 1024 - 1), "1024.0 KB") << "just under a MB";
  EXPECT_EQ(humanReadableByteSize(1024 * 1024), "1 MB");
  EXPECT_EQ(humanReadableByteSize(int64_t{5} << 40), "5 TB");
  EXPECT_EQ(humanReadableByteSize(int64_t{3} << 50), "3072 TB") << "TB is the largest unit";

  EXPECT_EQ(aboutUpdateAvailableDetail(update("0.1.1", " DMG ")), "v0.1.1 · dmg · 768 KB");
  auto bare = update("0.2.0");
  bare.artifact.reset();
  EXPECT_EQ(aboutUpdateAvailableDetail(bare), "v0.2.0 · artifact · 0 B");
}

TEST(UpdateStateTest, RowsAndPrimaryActionFollowTheState) {
  auto available = update("0.2.0");
  available.latest.releaseNotes = {"Faster start", "Fixes"};
  EXPECT_EQ(aboutUpdateRows(UpdateAvailable{available}, "0.1.0"),
            (Rows{{"Available", "v0.2.0 · tar.gz · 768 KB", false},
                  {"Released", "Unknown", false},
                  {"Changelog", "Faster start", true},
                  {"Changelog", "Fixes", true}}));
  available.latest.releaseDate = "2026-05-14";
  EXPECT_EQ(aboutUpdateRows(UpdateAvailable{available}, "0.1.0")[1].detail, "2026-05-14");

  EXPECT_EQ(aboutUpdateRows(UpdateIdle{}, "0.1.0"),
            (Rows{{"Current", "0.1.0"}, {"Status", "No remote update feed configured"}}));
  EXPECT_EQ(aboutUpdateRows(UpdateUpToDate{available, "2026-05-14 09:30"}, "0.1.0"),
            (Rows{{"Current", "0.1.0"},
                  {"Status", "Glimmet is up to date"},
                  {"Checked", "2026-05-14 09:30"}}));
  EXPECT_EQ(aboutUpdateRows(UpdateReadyToRestart{available, "/u/g.tar.gz"}, "0.1.0"),
            (Rows{{"Ready", "Restart to install v0.2.0"}}));
  EXPECT_EQ(aboutUpdateRows(UpdateError{"Boom."}, "0.1.0"), (Rows{{"Error", "Boom."}}));
  EXPECT_EQ(aboutUpdateRows(UpdateDownloading{available, 0}, "0.1.0")[0].label, "Downloading");
  EXPECT_EQ(aboutUpdateRows(UpdateVerified{available, "/u/g"}, "0.1.0"),
            (Rows{{"Verified", "v0.2.0 is ready"}}));

  const std::vector<std::pair<UpdateState, std::string_view>> titles = {
      {UpdateIdle{}, "Check now"},
      {UpdateUpToDate{available, ""}, "Check now"},
      {UpdateError{"x"}, "Check now"},
      {UpdateAvailable{available}, "Download Update"},
      {UpdateDownloading{available, 0.5}, "Working..."},
      {UpdateVerified{available, "/f"}, "Working..."},
      {UpdateChecking{}, "Working..."},
      {UpdateReadyToRestart{available, "/f"}, "Restart to Update"},
  };
  for (const auto& [state, title] : titles) {
    EXPECT_EQ(aboutUpdatePrimaryActionTitle(state), title) << state.index();
  }
}

TEST(UpdateStateTest, ProductionPolicyBlocksUnsignedStableInstalls) {
  auto response = update("0.2.0");
  response.policy->allowTestInstall = false;
  const auto blocked = updateStateAfterVerification(response, "/u/g.tar.gz");
  ASSERT_TRUE(std::holds_alternative<UpdateError>(blocked));
  EXPECT_EQ(std::get<UpdateError>(blocked).message,
            "This update is not signed for production install.");

  response.security = UpgradeSecurity{true, false};
  EXPECT_TRUE(std::holds_alternative<UpdateError>(updateStateAfterVerification(response, "/f")))
      << "signed but not notarized is not enough";
  response.security = UpgradeSecurity{true, true};
  EXPECT_TRUE(
      std::holds_alternative<UpdateReadyToRestart>(updateStateAfterVerification(response, "/f")));

  response.security.reset();
  response.policy->channel = " Stable ";
  EXPECT_TRUE(std::holds_alternative<UpdateError>(updateStateAfterVerification(response, "/f")))
      << "the channel is compared trimmed and lower-cased";
  response.policy->allowTestInstall = true;
  const auto test = updateStateAfterVerification(response, "/u/g.tar.gz");
  ASSERT_TRUE(std::holds_alternative<UpdateReadyToRestart>(test));
  EXPECT_EQ(std::get<UpdateReadyToRestart>(test).filePath, "/u/g.tar.gz");
  response.policy = UpgradePolicy{"beta", false, false, false};
  EXPECT_TRUE(
      std::holds_alternative<UpdateReadyToRestart>(updateStateAfterVerification(response, "/f")))
      << "any other channel installs";
  response.policy.reset();
  EXPECT_TRUE(std::holds_alternative<UpdateError>(updateStateAfterVerification(response, "/f")))
      << "no policy is the stable channel";
}

TEST(UpdateStateTest, CheckDownloadAndRestartMoveTheStateAndBanner) {
  AboutUpdateController about("0.1.0", UpdateHost{"linux", "x86_64"});
  EXPECT_FALSE(about.beginManualCheck(false));
  EXPECT_TRUE(std::holds_alternative<UpdateIdle>(about.state()));
  EXPECT_EQ(about.banner()->text,
            "Checked local build: v0.1.0. No remote update feed is configured.");

  int staged = 0;
  const StageUpdateArtifact stageOk = [&](const UpgradeCheckResponse& response,
                                          const UpgradeArtifact& artifact,
                                          const UpdateDownloadProgress&) -> Result<std::string> {
    ++staged;
    EXPECT_EQ(response.latest.version, "0.2.0");
    EXPECT_EQ(artifact.sha256, "ab12");
    return std::string("/updates/Glimmet-0.2.0.tar.gz");
  };
  // Download before anything is available.
  about.runDownload(stageOk);
  EXPECT_EQ(about.banner(), (UpdateBanner{"Download action is not available.", true}));
  EXPECT_EQ(staged, 0);

  ASSERT_TRUE(about.beginManualCheck(true));
  EXPECT_TRUE(std::holds_alternative<UpdateChecking>(about.state()));
  EXPECT_EQ(about.banner()->text, "Checking for updates...");
  about.finishManualCheck(update("0.2.0"), "2026-05-14 10:00");
  EXPECT_EQ(about.banner()->text, "Update v0.2.0 available");

  // A failing stage: its message is the error.
  about.runDownload(
      [](const UpgradeCheckResponse&, const UpgradeArtifact&, const UpdateDownloadProgress&) {
        return Result<std::string>::failure("Downloaded update failed checksum verification.");
      });
  EXPECT_EQ(about.banner(),
            (UpdateBanner{"Downloaded update failed checksum verification.", true}));
  EXPECT_EQ(aboutUpdatePrimaryActionTitle(about.state()), "Check now");

  about.finishManualCheck(update("0.2.0"), "");
  const auto response = about.beginDownload();
  ASSERT_TRUE(response);
  EXPECT_TRUE(std::holds_alternative<UpdateDownloading>(about.state()));
  EXPECT_EQ(about.banner()->text, "Downloading update v0.2.0...");
  about.finishDownload(*response, stageOk(*response, *response->artifact, {}));
  ASSERT_TRUE(std::holds_alternative<UpdateReadyToRestart>(about.state()));
  EXPECT_EQ(about.banner()->text, "Update v0.2.0 is ready to install. Restart to update.");

  std::vector<PendingUpdateInstallRequest> requests;
  EXPECT_FALSE(about.restartAndInstall(
      [&](const PendingUpdateInstallRequest&) { return Status::failure("no shell"); }, "/opt/g"));
  EXPECT_EQ(about.banner(), (UpdateBanner{"Update install failed: no shell", true}));
  EXPECT_FALSE(about.restartAndInstall(
      [&](const PendingUpdateInstallRequest& request) {
        requests.push_back(request);
        return Status();
      },
      "/opt/g"));
  EXPECT_EQ(about.banner()->text, "Restart action is not available.");
  EXPECT_TRUE(requests.empty()) << "an error state never starts the installer";

  about.finishManualCheck(update("0.2.0"), "");
  about.runDownload(stageOk);
  ASSERT_TRUE(about.restartAndInstall(
      [&](const PendingUpdateInstallRequest& request) {
        requests.push_back(request);
        return Status();
      },
      "/opt/glimmet"));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].artifactPath, "/updates/Glimmet-0.2.0.tar.gz");
  EXPECT_EQ(requests[0].targetPath, "/opt/glimmet");
  EXPECT_EQ(requests[0].version, "0.2.0");
  EXPECT_TRUE(requests[0].relaunchAfterInstall);
  EXPECT_EQ(about.banner()->text, "Restarting to install v0.2.0...");
}

TEST(UpdateStateTest, DownloadReportsProgressThenVerifiedBeforeThePolicyDecides) {
  static std::vector<std::string> seen;
  const auto run = [](UpgradeCheckResponse response, const std::vector<double>& fractions) {
    AboutUpdateController about("0.1.0", UpdateHost{"linux", "x86_64"});
    about.finishManualCheck(response, "");
    seen.clear();
    about.setStateObserver([](const UpdateState& state) {
      if (const auto* downloading = std::get_if<UpdateDownloading>(&state)) {
        seen.push_back("downloading " + std::to_string(std::lround(downloading->progress * 100)));
      } else if (const auto* verified = std::get_if<UpdateVerified>(&state)) {
        seen.push_back("verified " + verified->filePath);
      } else if (const auto* ready = std::get_if<UpdateReadyToRestart>(&state)) {
        seen.push_back("ready " + ready->filePath);
      } else if (const auto* error = std::get_if<UpdateError>(&state)) {
        seen.push_back("error " + error->message);
      } else {
        seen.push_back("other");
      }
    });
    about.runDownload([&](const UpgradeCheckResponse&, const UpgradeArtifact&,
                          const UpdateDownloadProgress& progress) {
      for (const double fraction : fractions) progress(fraction);
      return Result<std::string>(std::string("/u/Glimmet-0.2.0.tar.gz"));
    });
    // Progress reported after the transfer ended changes nothing.
    about.setDownloadProgress(0.3);
    return about.state();
  };

  const auto ready = run(update("0.2.0"), {0.25, 0.251, 0.5, 2.0, 1.0});
  EXPECT_TRUE(std::holds_alternative<UpdateReadyToRestart>(ready));
  EXPECT_EQ(seen, (std::vector<std::string>{"downloading 0", "downloading 25", "downloading 50",
                                            "downloading 100", "verified /u/Glimmet-0.2.0.tar.gz",
                                            "ready /u/Glimmet-0.2.0.tar.gz"}))
      << "a step too small to see is skipped, an overshoot is clamped, a repeat is dropped";

  auto unsigned_ = update("0.2.0");
  unsigned_.policy->allowTestInstall = false;
  run(unsigned_, {});
  EXPECT_EQ(seen, (std::vector<std::string>{"downloading 0", "verified /u/Glimmet-0.2.0.tar.gz",
                                            std::string("error ") + kNotSignedForProduction}))
      << "the production policy refuses only after the checksum was verified";
}

TEST(UpdateStateTest, DownloadRefusesUnusableArtifactsWithoutStaging) {
  int staged = 0;
  const StageUpdateArtifact stage = [&](const UpgradeCheckResponse&, const UpgradeArtifact&,
                                        const UpdateDownloadProgress&) {
    ++staged;
    return Result<std::string>(std::string("/f"));
  };
  const auto tryDownload = [&](const UpgradeCheckResponse& response, const UpdateHost& host) {
    AboutUpdateController about("0.1.0", host);
    about.finishManualCheck(response, "");
    about.runDownload(stage);
    return about.banner()->text;
  };
  const UpdateHost linuxHost{"linux", "x86_64"};
  const UpdateHost macHost{"macos", "arm64"};

  auto bare = update("0.2.0");
  bare.artifact.reset();
  EXPECT_EQ(tryDownload(bare, linuxHost),
            "Update v0.2.0 does not include a downloadable artifact.");
  EXPECT_EQ(tryDownload(update("0.2.0", "dmg"), linuxHost),
            "Update v0.2.0 uses an unsupported artifact type.");
  EXPECT_EQ(tryDownload(update("0.2.0", "tar.gz"), macHost),
            "Update v0.2.0 uses an unsupported artifact type.");
  auto badURL = update("0.2.0");
  badURL.artifact->url = "no url at all";
  EXPECT_EQ(tryDownload(badURL, linuxHost), "Update v0.2.0 has an invalid artifact URL.");
  badURL.artifact->url = "ftp://example.com/g.tar.gz";
  EXPECT_EQ(tryDownload(badURL, linuxHost), "Update v0.2.0 has an unsupported artifact URL.");
  EXPECT_EQ(staged, 0);

  auto local = update("0.2.0", " ZIP ");
  local.artifact->url = "file:///tmp/g.zip";
  EXPECT_EQ(tryDownload(local, macHost), "Update v0.2.0 is ready to install. Restart to update.");
  EXPECT_EQ(staged, 1);
}

TEST(UpdateStateTest, AutomaticResultsAnnounceOnlyWhenAllowed) {
  AboutUpdateController about("0.1.0");
  EXPECT_FALSE(
      about.applyAutomaticResult(Result<UpgradeCheckResponse>::failure("offline"), true, "t"));
  EXPECT_TRUE(std::holds_alternative<UpdateIdle>(about.state()));
  EXPECT_FALSE(about.banner()) << "a failed automatic check shows nothing";

  EXPECT_FALSE(about.applyAutomaticResult(update("0.2.0"), false, "t"));
  EXPECT_TRUE(std::holds_alternative<UpdateAvailable>(about.state()));
  EXPECT_FALSE(about.banner());
  EXPECT_TRUE(about.applyAutomaticResult(update("0.2.0"), true, "t"));
  EXPECT_EQ(about.banner()->text, "Glimmet v0.2.0 available");

  auto current = update("0.1.0");
  current.updateAvailable = false;
  EXPECT_FALSE(about.applyAutomaticResult(current, true, "2026-05-14 10:00"));
  ASSERT_TRUE(std::holds_alternative<UpdateUpToDate>(about.state()));
  EXPECT_EQ(std::get<UpdateUpToDate>(about.state()).checkedAt, "2026-05-14 10:00");
}

}  // namespace
}  // namespace glimmet
