#include "ui/console_front_end.hpp"

#include <fmt/format.h>

#include "base/text.hpp"
#include "ui/console_inbox.hpp"

namespace glimmet {

ConsoleFrontEnd::ConsoleFrontEnd(Core& core, std::FILE* console, int commandInput)
    : core_(core),
      console_(console),
      commandInput_(commandInput),
      approvals_([this](AppCommand command, CommandDone done) {
        core_.send(std::move(command), std::move(done));
      }),
      messages_([this](AppCommand command, CommandDone done) {
        core_.send(std::move(command), std::move(done));
      }) {
  approvals_.setHomeDirectory(core_.paths().homeDirectory);
  DecisionFrontEnd frontEnd;
  frontEnd.showTextPanel = [this](const PendingAction& action) {
    print(fmt::format("[Glimmet] type: reply {} TEXT\n", terminalSafe(action.requestID)));
  };
  core_.setDecisionFrontEnd(std::move(frontEnd));
}

ConsoleFrontEnd::~ConsoleFrontEnd() {
  detach();
}

void ConsoleFrontEnd::subscribe() {
  subscription_ = core_.subscribe([this](const SnapshotPtr& snapshot) { show(snapshot); });
}

void ConsoleFrontEnd::startInput() {
  consoleInput_ = std::make_unique<ConsoleInput>(
      core_.loop(), commandInput_, [this](const std::string& line) { print(execute(line)); },
      nullptr, [this](const std::string& line) { print(line + "\n"); });
  printInbox(*core_.snapshot());
}

void ConsoleFrontEnd::detach() {
  consoleInput_.reset();
  if (subscription_) core_.unsubscribe(subscription_);
  subscription_ = 0;
}

void ConsoleFrontEnd::show(const SnapshotPtr& snapshot) {
  if (snapshot->storeRevision != printedStoreRevision_) printInbox(*snapshot);
  print(approvals_.update(snapshot));
}

std::string ConsoleFrontEnd::execute(const std::string& line) {
  const std::string trimmed = trim(line);
  if (trimmed == "help") {
    return std::string(ConsoleApprovals::kCommandHelp) + ConsoleMessages::kCommandHelp;
  }
  return messages_.handles(line) ? messages_.execute(line) : approvals_.execute(line);
}

void ConsoleFrontEnd::printInbox(const AppSnapshot& snapshot) {
  printedStoreRevision_ = snapshot.storeRevision;
  messages_.number(snapshot.messages);
  print(formatInboxBlock(snapshot.messages, snapshot.approvalCount, true));
}

void ConsoleFrontEnd::print(const std::string& text) {
  if (text.empty()) return;
  std::fputs(text.c_str(), console_);
  std::fflush(console_);
}

}  // namespace glimmet
