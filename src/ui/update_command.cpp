#include "ui/update_command.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/environment.hpp"
#include "base/text.hpp"
#include "platform/detached_process.hpp"
#include "platform/terminal.hpp"
#include "updates/release_info.hpp"
#include "updates/update_about.hpp"
#include "updates/update_actions.hpp"
#include "updates/update_client.hpp"

namespace glimmet {

namespace {

constexpr const char* kUpdateUsage =
    "Usage: glimmet update check|download|install\n"
    "\n"
    "  check     asks the update feed whether a newer Glimmet exists and prints what the About\n"
    "            tab shows: the status line and its rows (the newer version, its artifact,\n"
    "            release date and notes, or the installed version when it is current)\n"
    "  download  checks, then downloads the newer version's artifact into the Updates folder\n"
    "            of the data directory and verifies its checksum\n"
    "  install   checks, downloads unless a verified copy is already there, then starts the\n"
    "            installer, which replaces the installed Glimmet once this command has exited\n"
    "Each exits with status 1 when its step failed.\n"
    "\n"
    "Environment:\n"
    "  GLIMMET_UPDATE_MANIFEST_URL   a static manifest (\"…/version.json\", also file://) to ask\n"
    "  GLIMMET_UPDATE_ENDPOINT       a dynamic feed, asked with platform, arch, version, build\n"
    "                                and channel\n"
    "  GLIMMET_UPDATE_CHANNEL        the channel sent to a dynamic feed (default: stable)\n"
    "  GLIMMET_UPDATE_RESPONSE_FILE  a local feed document read instead of the network\n"
    "  GLIMMET_DISABLE_DEFAULT_UPDATE_FEED=1  never ask the built-in feed\n"
    "  GLIMMET_UPDATE_TARGET         the installed program folder (holding bin/glimmet) that\n"
    "                                install replaces (default: the one this program runs from)\n"
    "  GLIMMET_UPDATE_RELAUNCH=0     install does not start the new Glimmet afterwards\n";

void printRows(const AboutUpdateController& controller) {
  for (const auto& row : controller.rows()) {
    std::printf("  %s: %s\n", row.label.c_str(), terminalSafe(row.detail).c_str());
  }
}

void printController(const AboutUpdateController& controller) {
  if (const auto& banner = controller.banner()) {
    std::printf("%s\n", terminalSafe(banner->text).c_str());
  }
  printRows(controller);
  if (const auto* available = std::get_if<UpdateAvailable>(&controller.state())) {
    const auto& policy = available->response.policy;
    if (policy && policy->forceUpdate) {
      std::printf("  Required: v%s must be updated\n", controller.currentVersion().c_str());
    }
  }
}

int runCheck() {
  const Environment environment = Environment::current();
  const bool isolated = isolationFlagFromEnvironment(environment);
  AboutUpdateController controller{std::string(glimmetVersion())};
  controller.runManualCheck(manualUpdateClient(environment, isolated));
  printController(controller);
  return std::holds_alternative<UpdateError>(controller.state()) ? 1 : 0;
}

// Narrates a download or install as it runs: each new banner on standard output, the transfer
// on standard error, as a bar redrawn in place on a terminal and as a line every quarter
// otherwise.
class UpdateNarrator {
 public:
  explicit UpdateNarrator(AboutUpdateController& controller)
      : controller_(controller), onTerminal_(standardErrorIsTerminal()) {
    controller.setStateObserver([this](const UpdateState& state) {
      if (const auto* downloading = std::get_if<UpdateDownloading>(&state)) {
        printBanner();
        showProgress(*downloading);
        return;
      }
      endProgressBar();
      printBanner();
    });
  }

  void printBanner() {
    const auto& banner = controller_.banner();
    if (!banner || banner->text == printed_) return;
    printed_ = banner->text;
    std::printf("%s\n", terminalSafe(printed_).c_str());
    std::fflush(stdout);
  }

 private:
  void showProgress(const UpdateDownloading& downloading) {
    const int percent = static_cast<int>(std::floor(downloading.progress * 100));
    const int64_t size =
        downloading.response.artifact ? downloading.response.artifact->sizeBytes : 0;
    const std::string ofSize = size > 0 ? " of " + humanReadableByteSize(size) : "";
    if (onTerminal_) {
      constexpr int kWidth = 30;
      const int filled = percent * kWidth / 100;
      std::fprintf(stderr, "\r  [%s%s] %3d%%%s", std::string(filled, '#').c_str(),
                   std::string(kWidth - filled, '-').c_str(), percent, ofSize.c_str());
      barShown_ = true;
    } else if (percent / 25 > lastQuarter_) {
      lastQuarter_ = percent / 25;
      std::fprintf(stderr, "  Downloaded %d%%%s\n", lastQuarter_ * 25, ofSize.c_str());
    }
    std::fflush(stderr);
  }

  void endProgressBar() {
    if (!barShown_) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    barShown_ = false;
  }

  AboutUpdateController& controller_;
  bool onTerminal_;
  bool barShown_ = false;
  int lastQuarter_ = 0;
  std::string printed_;
};

// Checks the feed and stages the newer version's artifact; true when it is ready to install.
// Anything else has been printed, and `exitCode` says how it ended.
bool checkAndStage(AboutUpdateController& controller, UpdateNarrator& narrator,
                   const Environment& environment, const StageUpdateArtifact& stage,
                   int& exitCode) {
  controller.runManualCheck(
      manualUpdateClient(environment, isolationFlagFromEnvironment(environment)));
  narrator.printBanner();
  if (!std::holds_alternative<UpdateAvailable>(controller.state())) {
    printRows(controller);
    exitCode = std::holds_alternative<UpdateError>(controller.state()) ? 1 : 0;
    return false;
  }
  controller.runDownload(stage);
  if (!std::holds_alternative<UpdateReadyToRestart>(controller.state())) {
    printRows(controller);
    exitCode = 1;
    return false;
  }
  exitCode = 0;
  return true;
}

int runDownload() {
  const Environment environment = Environment::current();
  AboutUpdateController controller{std::string(glimmetVersion())};
  UpdateNarrator narrator(controller);
  int exitCode = 0;
  if (!checkAndStage(controller, narrator, environment,
                     verifiedArtifactStager(updatesDirectory(environment)), exitCode)) {
    return exitCode;
  }
  printRows(controller);
  const auto& ready = std::get<UpdateReadyToRestart>(controller.state());
  std::printf("  File: %s\n", terminalSafe(ready.filePath).c_str());
  return 0;
}

// The installed program folder to replace. A program that does not run from one (a build
// tree) names its own folder, which the installer then refuses as not replaceable.
std::string updateTarget(const Environment& environment) {
  if (auto configured = environment.nonEmptyString("GLIMMET_UPDATE_TARGET")) return *configured;
  const auto executable = currentExecutablePath();
  if (!executable) return {};
  if (auto installed = installedProgramTarget(*executable)) return *installed;
  return std::filesystem::path(*executable).parent_path().string();
}

int runInstall() {
  const Environment environment = Environment::current();
  AboutUpdateController controller{std::string(glimmetVersion())};
  UpdateNarrator narrator(controller);
  int exitCode = 0;
  if (!checkAndStage(controller, narrator, environment,
                     cachedArtifactStager(updatesDirectory(environment)), exitCode)) {
    return exitCode;
  }
  const bool relaunch = environment.get("GLIMMET_UPDATE_RELAUNCH").value_or("1") != "0";
  std::string logPath;
  const InstallUpdate installer = detachedUpdateInstaller(
      currentUpdateInstallContext(environment), currentProcessId(), spawnDetached,
      [&logPath](const std::string& path) { logPath = path; });
  const InstallUpdate install = [&](const PendingUpdateInstallRequest& request) {
    PendingUpdateInstallRequest adjusted = request;
    adjusted.relaunchAfterInstall = relaunch;
    return installer(adjusted);
  };
  if (!controller.restartAndInstall(install, updateTarget(environment))) {
    printRows(controller);
    return 1;
  }
  // The installer waits for this process to exit before it replaces anything.
  narrator.printBanner();
  std::printf("  Log: %s\n", terminalSafe(logPath).c_str());
  return 0;
}

}  // namespace

int runUpdateCommand(const std::vector<std::string_view>& args) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUpdateUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string_view subcommand = args[0];
  if (args.size() > 1) {
    std::fprintf(stderr, "glimmet update %.*s: unexpected argument %.*s\n",
                 static_cast<int>(subcommand.size()), subcommand.data(),
                 static_cast<int>(args[1].size()), args[1].data());
    return 2;
  }
  if (subcommand == "check") return runCheck();
  if (subcommand == "download") return runDownload();
  if (subcommand == "install") return runInstall();
  std::fprintf(stderr, "glimmet update: unknown subcommand %.*s\n\n%s",
               static_cast<int>(subcommand.size()), subcommand.data(), kUpdateUsage);
  return 2;
}

}  // namespace glimmet
