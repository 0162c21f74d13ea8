#include "app/application.hpp"

#include "platform/signals.hpp"
#include "ui/console_inbox.hpp"

namespace glimmet {

EventStoreOptions makeEventStoreOptions(const Paths& paths, bool isolated,
                                        UserDefaults* defaults) {
  EventStoreOptions options;
  options.eventFile = paths.eventFile;
  options.auditFile = paths.storeAuditFile;
  options.roots = {paths.codexSessionsRoot, paths.claudeProjectsRoot, paths.traeTrajectoryRoot,
                   paths.cursorProjectsRoot, paths.traeLogsRoot};
  options.localUsageLoadMode =
      isolated ? LocalUsageLoadMode::synchronous : LocalUsageLoadMode::asynchronous;
  options.isolated = isolated;
  options.parseContext.homeDirectory = paths.homeDirectory;
  options.userDefaults = defaults;
  return options;
}

Application::Application(Environment environment, std::FILE* console)
    : environment_(std::move(environment)),
      console_(console),
      isolated_((fixIsolationFlag(isolationFlagFromEnvironment(environment_)), isIsolated())),
      paths_(resolvePaths(environment_, isolated_)),
      userDefaults_(makeStandardUserDefaults(environment_)) {
  store_ = std::make_unique<EventStore>(
      loop_, makeEventStoreOptions(paths_, isolated_, isolated_ ? nullptr : userDefaults_.get()));
}

Application::~Application() = default;

int Application::run() {
  std::fprintf(console_, "[Glimmet] Watching %s\n", paths_.eventFile.c_str());
  store_->onChange = [this] { printInbox(); };
  store_->reload(true);
  // In isolated mode the store declines to watch; the 2-second tick still catches up.
  store_->startMonitoringBridgeEvents();
  runtimeTick_ = loop_.every(Seconds(kRuntimeTickSeconds), Seconds(0.5),
                             [this] { store_->reloadIfFallbackDue(); });
  SignalWatcher signals(loop_, [this] { stop(); });
  printInbox();
  loop_.run();
  runtimeTick_.cancel();
  store_->stopMonitoringBridgeEvents();
  return 0;
}

void Application::stop() { loop_.stop(); }

void Application::printInbox() {
  const std::string block = formatInboxBlock(store_->allMessages(), store_->approvalCount());
  std::fputs(block.c_str(), console_);
  std::fflush(console_);
}

}  // namespace glimmet
