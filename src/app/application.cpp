#include "app/application.hpp"

#include <fmt/format.h>

#include "bridge/hook_request_handler.hpp"
#include "platform/signals.hpp"
#include "ui/console_inbox.hpp"

namespace glimmet {

EventStoreOptions makeEventStoreOptions(const Paths& paths, bool isolated, UserDefaults* defaults) {
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

Application::Application(Environment environment, std::FILE* console, int commandInput)
    : environment_(std::move(environment)),
      console_(console),
      isolated_((fixIsolationFlag(isolationFlagFromEnvironment(environment_)), isIsolated())),
      paths_(resolvePaths(environment_, isolated_)),
      userDefaults_(makeStandardUserDefaults(environment_)),
      commandInput_(commandInput) {
  store_ = std::make_unique<EventStore>(
      loop_, makeEventStoreOptions(paths_, isolated_, isolated_ ? nullptr : userDefaults_.get()));
}

Application::~Application() = default;

int Application::run() {
  print(fmt::format("[Glimmet] Watching {}\n", paths_.eventFile));
  startApprovals();
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
  stopApprovals();
  return 0;
}

void Application::stop() {
  loop_.stop();
}

bool Application::socketApprovalEnabled() const {
  const auto value =
      userDefaults_ ? userDefaults_->value("useSocketApprovalEnabled") : std::nullopt;
  return !(value && value->is_boolean()) || value->get<bool>();
}

void Application::print(const std::string& text) {
  if (text.empty()) return;
  std::fputs(text.c_str(), console_);
  std::fflush(console_);
}

void Application::startApprovals() {
  pendingActions_ = std::make_unique<PendingActionStore>(loop_);
  auditWriter_ = std::make_unique<AuditWriter>(paths_.approvalAuditFile);
  DecisionFrontEnd frontEnd;
  frontEnd.showTextPanel = [this](const PendingAction& action) {
    print(fmt::format("[Glimmet] type: reply {} TEXT\n", action.requestID));
  };
  dispatcher_ = std::make_unique<DecisionDispatcher>(*pendingActions_, std::move(frontEnd));
  approvals_ = std::make_unique<ConsoleApprovals>(*pendingActions_, *dispatcher_);

  attachAuditObserver(*pendingActions_, *auditWriter_);
  pendingActions_->addObserver(
      [this](const PendingAction& action) { print(approvals_->statusLine(action)); });
  auditWriter_->reconcileOnLaunch();

  if (socketApprovalEnabled()) {
    auto log = [this](const std::string& line) { print(line + "\n"); };
    socketServer_ = std::make_unique<SocketServer>(
        loop_, paths_.socketPath,
        [this](const HookRequest& request, SocketReplyHandle handle) {
          handleHookRequest(
              *pendingActions_, request, std::move(handle),
              [this](const PendingAction& action) { print(approvals_->announce(action)); });
        },
        log);
    if (auto started = socketServer_->start(); !started) {
      print(fmt::format("[Glimmet] socket server failed to start: {}\n", started.error()));
    } else {
      print(fmt::format("[Glimmet] socket server listening at {}\n", paths_.socketPath));
    }
  } else {
    print("[Glimmet] socket-based approval disabled by user; skipping server start\n");
  }

  consoleInput_ = std::make_unique<ConsoleInput>(
      loop_, commandInput_, [this](const std::string& line) { print(approvals_->execute(line)); },
      nullptr, [this](const std::string& line) { print(line + "\n"); });
}

void Application::stopApprovals() {
  consoleInput_.reset();
  socketServer_.reset();
}

void Application::printInbox() {
  print(formatInboxBlock(store_->allMessages(), store_->approvalCount()));
}

}  // namespace glimmet
