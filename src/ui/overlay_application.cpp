#include "ui/overlay_application.hpp"

#include <fmt/format.h>

#include "platform/signals.hpp"

namespace glimmet {

OverlayApplication::OverlayApplication(const Environment& environment, std::FILE* console,
                                       bool withConsole, int commandInput)
    : console_(console), environment_(environment) {
  const bool isolated = isolationFlagFromEnvironment(environment);
  LogSink log = [console](const std::string& line) {
    std::fputs((line + "\n").c_str(), console);
    std::fflush(console);
  };
  log_ = log;
  core_ = std::make_unique<Core>(environment, isolated, log);
  overlay_ = std::make_unique<OverlayController>(*core_, environment, log);
  overlay_->setOnStop([this](const std::string& reason) {
    if (reason.rfind("quit", 0) != 0) failure_ = reason;
    stop();
  });
  soundAlerts_ = std::make_unique<SoundAlerts>(*core_, makeSystemSoundPlayer(),
                                               soundResourceDirectory(environment), log);
  if (withConsole)
    consoleFrontEnd_ = std::make_unique<ConsoleFrontEnd>(*core_, console, commandInput);
  // After the console's: with a window system, a typed answer is asked for in the text panel.
  DecisionFrontEnd frontEnd;
  frontEnd.showTextPanel = [this](const PendingAction& action) { overlay_->showTextPanel(action); };
  core_->setDecisionFrontEnd(std::move(frontEnd));
}

OverlayApplication::~OverlayApplication() = default;

bool OverlayApplication::connect(std::string* error) {
  return overlay_->connect(error);
}

int OverlayApplication::run() {
  if (const auto refused = launch()) return *refused;
  core_->loop().run();
  return finish();
}

std::optional<int> OverlayApplication::launch() {
  std::fprintf(console_, "[Glimmet] Watching %s\n", core_->paths().eventFile.c_str());
  std::fflush(console_);
  if (consoleFrontEnd_) consoleFrontEnd_->subscribe();
  signals_ = std::make_unique<SignalWatcher>(core_->loop(), [this] { stop(); });
  core_->start();
  if (const auto& refusal = core_->startRefusal()) {
    std::fprintf(stderr, "[Glimmet] %s\n", refusal->c_str());
    if (consoleFrontEnd_) consoleFrontEnd_->detach();
    core_->shutDown();
    signals_.reset();
    return 1;
  }
  if (!core_->isolated()) {
    banners_ = std::make_unique<NotificationBanners>(*core_, log_);
    banners_->start();
  }
  soundAlerts_->start();
  overlay_->start(startMode(environment_));
  if (consoleFrontEnd_) consoleFrontEnd_->startInput();
  return std::nullopt;
}

int OverlayApplication::finish() {
  if (consoleFrontEnd_) consoleFrontEnd_->detach();
  banners_.reset();
  overlay_->shutDown();
  soundAlerts_.reset();
  core_->shutDown();
  signals_.reset();
  if (!failure_.empty()) {
    std::fprintf(stderr, "[Glimmet] stopped: %s\n", failure_.c_str());
    return 1;
  }
  return 0;
}

void OverlayApplication::stop() {
  if (stopLoop_) {
    core_->loop().post(stopLoop_);
  } else {
    core_->loop().stop();
  }
}

OverlayMode startMode(const Environment& environment) {
  if (environment.nonEmptyString("GLIMMET_START_SETTINGS") == "1") return OverlayMode::settings;
  if (environment.nonEmptyString("GLIMMET_START_EXPANDED") == "1") return OverlayMode::expanded;
  return OverlayMode::collapsed;
}

}  // namespace glimmet
