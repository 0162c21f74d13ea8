#include "ui/console_application.hpp"

#include <cstdio>

#include <fmt/format.h>

#include "platform/signals.hpp"

namespace glimmet {

ConsoleApplication::ConsoleApplication(Environment environment, std::FILE* console,
                                       int commandInput) {
  const bool isolated = isolationFlagFromEnvironment(environment);
  log_ = [console](const std::string& line) {
    std::fputs((line + "\n").c_str(), console);
    std::fflush(console);
  };
  core_ = std::make_unique<Core>(std::move(environment), isolated, log_);
  frontEnd_ = std::make_unique<ConsoleFrontEnd>(*core_, console, commandInput);
}

ConsoleApplication::~ConsoleApplication() = default;

int ConsoleApplication::run() {
  frontEnd_->print(fmt::format("[Glimmet] Watching {}\n", core_->paths().eventFile));
  frontEnd_->subscribe();
  // Watched before the services start, so that a stop asked for during start-up is a clean stop
  // once the loop runs, not the default action of the signal.
  SignalWatcher signals(core_->loop(), [this] { stop(); });
  core_->start();
  if (const auto& refusal = core_->startRefusal()) {
    std::fprintf(stderr, "[Glimmet] %s\n", refusal->c_str());
    frontEnd_->detach();
    core_->shutDown();
    return 1;
  }
  if (!core_->isolated()) {
    banners_ = std::make_unique<NotificationBanners>(*core_, log_);
    banners_->start();
  }
  frontEnd_->startInput();
  core_->loop().run();
  frontEnd_->detach();
  banners_.reset();
  core_->shutDown();
  return 0;
}

void ConsoleApplication::stop() {
  core_->loop().stop();
}

}  // namespace glimmet
