#include "ui/console_application.hpp"

#include <cstdio>

#include <fmt/format.h>

#include "base/text.hpp"
#include "platform/signals.hpp"
#include "ui/console_inbox.hpp"

namespace glimmet {

ConsoleApplication::ConsoleApplication(Environment environment, std::FILE* console,
                                       int commandInput)
    : console_(console),
      commandInput_(commandInput),
      approvals_([this](AppCommand command, CommandDone done) {
        core_->send(std::move(command), std::move(done));
      }) {
  const bool isolated = isolationFlagFromEnvironment(environment);
  core_ = std::make_unique<Core>(std::move(environment), isolated,
                                 [this](const std::string& line) { print(line + "\n"); });
  approvals_.setHomeDirectory(core_->paths().homeDirectory);
  DecisionFrontEnd frontEnd;
  frontEnd.showTextPanel = [this](const PendingAction& action) {
    print(fmt::format("[Glimmet] type: reply {} TEXT\n", terminalSafe(action.requestID)));
  };
  core_->setDecisionFrontEnd(std::move(frontEnd));
}

ConsoleApplication::~ConsoleApplication() = default;

int ConsoleApplication::run() {
  print(fmt::format("[Glimmet] Watching {}\n", core_->paths().eventFile));
  const uint64_t subscription =
      core_->subscribe([this](const SnapshotPtr& snapshot) { show(snapshot); });
  // Watched before the services start, so that a stop asked for during start-up is a clean stop
  // once the loop runs, not the default action of the signal.
  SignalWatcher signals(core_->loop(), [this] { stop(); });
  core_->start();
  if (const auto& refusal = core_->startRefusal()) {
    std::fprintf(stderr, "[Glimmet] %s\n", refusal->c_str());
    core_->unsubscribe(subscription);
    core_->shutDown();
    return 1;
  }
  consoleInput_ = std::make_unique<ConsoleInput>(
      core_->loop(), commandInput_,
      [this](const std::string& line) { print(approvals_.execute(line)); }, nullptr,
      [this](const std::string& line) { print(line + "\n"); });
  printInbox(*core_->snapshot());
  core_->loop().run();
  consoleInput_.reset();
  core_->unsubscribe(subscription);
  core_->shutDown();
  return 0;
}

void ConsoleApplication::stop() {
  core_->loop().stop();
}

void ConsoleApplication::show(const SnapshotPtr& snapshot) {
  if (snapshot->storeRevision != printedStoreRevision_) printInbox(*snapshot);
  print(approvals_.update(snapshot));
}

void ConsoleApplication::printInbox(const AppSnapshot& snapshot) {
  printedStoreRevision_ = snapshot.storeRevision;
  print(formatInboxBlock(snapshot.messages, snapshot.approvalCount));
}

void ConsoleApplication::print(const std::string& text) {
  if (text.empty()) return;
  std::fputs(text.c_str(), console_);
  std::fflush(console_);
}

}  // namespace glimmet
