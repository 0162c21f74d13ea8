#include "app/core.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "app/private_data.hpp"
#include "approvals/hook_request_handler.hpp"
#include "base/text.hpp"
#include "integrations/hook_manager.hpp"
#include "jump/jump_derivation.hpp"
#include "jump/jump_opener.hpp"
#include "model/notification_text.hpp"
#include "updates/release_info.hpp"
#include "usage/hotplug_loader.hpp"
#include "usage/local_usage_loaders.hpp"

namespace glimmet {

namespace {

constexpr RGBColor kBannerWarning{255, 159, 67};
constexpr RGBColor kBannerSuccess{52, 199, 89};
constexpr std::string_view kChooseOptionRolePrefix = "choose_option:";

std::string statusText(PendingActionStatus status) {
  return std::string(rawValue(status));
}

}  // namespace

EventStoreOptions makeEventStoreOptions(const Paths& paths, bool isolated, UserDefaults* defaults,
                                        LogSink log, const Environment& environment,
                                        BridgeEventsOf bridgeEventsOf) {
  EventStoreOptions options;
  options.eventFile = paths.eventFile;
  options.auditFile = paths.storeAuditFile;
  options.roots = {paths.codexSessionsRoot,  paths.claudeProjectsRoot, paths.traeTrajectoryRoot,
                   paths.cursorProjectsRoot, paths.traeLogsRoot,       paths.geminiTmpRoot};
  options.localUsageLoadMode =
      isolated ? LocalUsageLoadMode::synchronous : LocalUsageLoadMode::asynchronous;
  options.localUsageLoader = [](const LocalToolRoots& roots) {
    return loadLocalUsageEvents(roots);
  };
  options.clearLocalUsageCaches = clearLocalUsageCaches;
  options.localHotplugLoader = [](const LocalToolRoots& roots) {
    return loadLocalHotplugEvents(roots);
  };
  options.isolated = isolated;
  options.parseContext.homeDirectory = paths.homeDirectory;
  options.userDefaults = defaults;
  options.log = std::move(log);
  auto derivation = std::make_shared<const JumpDerivation>(
      JumpDerivation::makeDefault(environment, paths.homeDirectory));
  options.jumpFor = [derivation,
                     bridgeEventsOf = std::move(bridgeEventsOf)](const GlimmetEvent& event) {
    static const std::vector<GlimmetEvent> none;
    const std::vector<GlimmetEvent>* bridgeEvents = bridgeEventsOf ? bridgeEventsOf() : nullptr;
    return derivation->jumpTarget(event, bridgeEvents ? *bridgeEvents : none);
  };
  // Jumps run on the main loop and wait for the short programs they start (each has a time-out).
  auto opener = std::make_shared<JumpOpener>(JumpOpener::standard(paths, environment));
  options.openJump = [opener](const IslandMessage& message) {
    const auto result = opener->openMessageJump(message.jump);
    return MessageActionOutcome{result.ok, result.message};
  };
  return options;
}

Core::Core(Environment environment, bool isolated, LogSink log)
    : environment_(std::move(environment)),
      isolated_(isolated),
      log_(std::move(log)),
      paths_(resolvePaths(environment_, isolated_)),
      userDefaults_(makeStandardUserDefaults(environment_)),
      usageCarousel_([this] { return usageCarouselInputs(); }),
      snapshot_(std::make_shared<AppSnapshot>()) {
  store_ = std::make_unique<EventStore>(
      loop_,
      makeEventStoreOptions(paths_, isolated_, isolated_ ? nullptr : userDefaults_.get(), log_,
                            environment_, [this]() -> const std::vector<GlimmetEvent>* {
                              return store_ ? &store_->bridgeEvents() : nullptr;
                            }));
  store_->onChange = [this] { publish(); };
  pendingActions_ = std::make_unique<PendingActionStore>(loop_);
  pendingActions_->addObserver([this](const PendingAction& action) {
    if (action.status != PendingActionStatus::awaitingUser) {
      finishedRequests_.push_back(action);
      if (finishedRequests_.size() > kFinishedRequestsKept) {
        finishedRequests_.erase(finishedRequests_.begin());
      }
      // A decision takes its notification away as it is made; a request that ended any other
      // way (time-out, agent exit, hung-up bridge, a newer request) must not leave one behind.
      if (action.status != PendingActionStatus::answered && frontEnd_.withdrawNotification) {
        frontEnd_.withdrawNotification(action.requestID);
      }
    }
    publish();
  });
}

Core::~Core() {
  shutDown();
  // A health read still on its way back finds the core gone.
  alive_.reset();
  healthQueue_.reset();
  // The services go first, while the subscribers and snapshot they might publish to still exist.
  socketService_.reset();
  dispatcher_.reset();
  auditWriter_.reset();
  pendingActions_.reset();
  store_.reset();
}

bool Core::socketApprovalEnabled() const {
  const auto value =
      userDefaults_ ? userDefaults_->value("useSocketApprovalEnabled") : std::nullopt;
  return !(value && value->is_boolean()) || value->get<bool>();
}

void Core::start() {
  if (started_) return;
  started_ = true;
  // A one-shot command reads the health where it needs it; a running core on a worker.
  if (!healthQueue_) {
    healthQueue_ = std::make_unique<SerialQueue>("app.glimmet.tool-health", loop_);
    usageCarousel_.readAsynchronously(
        [this](std::function<void(UsageCarouselInputs)> deliver) {
          std::weak_ptr<bool> alive = alive_;
          healthQueue_->asyncThen(
              [paths = paths_, environment = environment_] {
                return toolHealthInputs(paths, environment);
              },
              [this, alive, deliver = std::move(deliver)](UsageCarouselInputs inputs) {
                if (alive.expired()) return;
                inputs.disabledToolIDs = disabledToolIDs();
                deliver(std::move(inputs));
              });
        },
        [this] { publish(); });
  }
  // The socket is claimed first: an instance that finds another one running must stop before
  // it touches what that one owns, such as the open requests in the shared audit log. Its
  // outcome is logged once the launch is through, so "listening" means ready.
  std::string socketOutcome;
  if (socketApprovalEnabled()) {
    socketService_ = std::make_unique<HookSocketService>(
        loop_, paths_.socketPath,
        [this](const HookRequest& request, SocketReplyHandle handle) {
          handleHookRequest(*pendingActions_, request, std::move(handle), nullptr);
        },
        log_);
    if (auto started = socketService_->start(); !started) {
      const SocketStartFailure failure = socketService_->startFailure();
      if (failure == SocketStartFailure::alreadyRunning ||
          failure == SocketStartFailure::pathUnusable) {
        // Running on without the socket would let every approval time out unseen, so the
        // front end stops instead.
        startRefusal_ = started.error();
        return;
      }
      socketOutcome = fmt::format("[Glimmet] socket server failed to start: {}", started.error());
    } else {
      socketOutcome = fmt::format("[Glimmet] socket server listening at {}", paths_.socketPath);
    }
  } else {
    socketOutcome = "[Glimmet] socket-based approval disabled by user; skipping server start";
  }
  // After the socket check: a folder others can write is refused there, not quietly fixed.
  const std::string madePrivate = makeDataPrivate(paths_, environment_);
  // Requests reach the handler through the loop, so none is handled before the observer is
  // attached here.
  auditWriter_ = std::make_unique<AuditWriter>(paths_.approvalAuditFile);
  dispatcher_ = std::make_unique<DecisionDispatcher>(*pendingActions_, frontEnd_);
  attachAuditObserver(*pendingActions_, *auditWriter_);
  auditWriter_->reconcileOnLaunch();
  log(socketOutcome);
  if (!madePrivate.empty()) log(madePrivate);

  // A running front end keeps its loop free for drawing: a large read of the event file (at
  // launch, or after the file was replaced) is made on a worker. The one-shot commands, which
  // never start the core, read it where they stand.
  store_->readLargeEventFileInBackground();
  store_->reload(true);
  // In isolated mode the store declines to watch; the 2-second tick still catches up.
  store_->startMonitoringBridgeEvents();
  runtimeTick_ = loop_.every(Seconds(kRuntimeTickSeconds), Seconds(0.5), [this] {
    store_->reloadIfFallbackDue();
    for (const auto& work : tickWork_) work();
  });
  scheduleAutomaticUpdateCheck();
}

void Core::scheduleAutomaticUpdateCheck() {
  AutomaticUpdateCheck::Options options;
  options.client = automaticUpdateClient(environment_, isolated_);
  // Isolated runs and builds without a feed never ask anyone.
  if (isolated_ || !options.client.endpoint) return;
  options.currentVersion = std::string(glimmetVersion());
  options.defaults = userDefaults_.get();
  options.remind = [this](const std::string& text) { setStatusBanner(text, kBannerSuccess); };
  updateCheck_ = std::make_unique<AutomaticUpdateCheck>(loop_, std::move(options));
  updateCheck_->schedule();
}

void Core::shutDown() {
  if (!started_) return;
  started_ = false;
  runtimeTick_.cancel();
  statusBannerDismissal_.cancel();
  store_->stopMonitoringBridgeEvents();
  socketService_.reset();
  updateCheck_.reset();
}

uint64_t Core::subscribe(Subscriber subscriber) {
  const uint64_t id = nextSubscription_++;
  subscribers_.emplace(id, std::move(subscriber));
  return id;
}

void Core::unsubscribe(uint64_t subscription) {
  subscribers_.erase(subscription);
}

SnapshotPtr Core::snapshot() const {
  std::lock_guard lock(snapshotMutex_);
  return snapshot_;
}

std::shared_ptr<AppSnapshot> Core::buildSnapshot() {
  auto next = std::make_shared<AppSnapshot>();
  next->waitingRequests = pendingActions_->waitingActions();
  next->finishedRequests = finishedRequests_;
  // An approval message stops waiting once its socket request ended; the store learns which
  // requests are open and which ended before anything is read from it.
  std::vector<PendingAction> socketRequests = next->waitingRequests;
  socketRequests.insert(socketRequests.end(), finishedRequests_.begin(), finishedRequests_.end());
  store_->setSocketRequests(std::move(socketRequests));
  next->storeRevision = store_->revision();
  next->messages = store_->sharedMessages();
  next->approvalCount = store_->approvalCount();
  next->companionStatus = store_->companionStatus();
  next->tickerItems = store_->companionTickerItems();
  next->petState = store_->petState(!next->waitingRequests.empty());
  next->usageCarousel = usageCarousel_.entries(*store_, systemNow());
  next->statusBanner = statusBanner_;
  return next;
}

UsageCarouselInputs Core::toolHealthInputs(const Paths& paths, const Environment& environment) {
  const HookManager manager(HookManagerLocations::fromPaths(paths), environment);
  UsageCarouselInputs inputs;
  inputs.toolHealth = manager.health();
  inputs.wrapperBridgeReady = manager.wrapperBridgeReady();
  return inputs;
}

std::vector<std::string> Core::disabledToolIDs() const {
  if (isolated_) return {};
  return userDefaults_->stringArrayValue("disabledToolIDs");
}

UsageCarouselInputs Core::usageCarouselInputs() const {
  UsageCarouselInputs inputs = toolHealthInputs(paths_, environment_);
  inputs.disabledToolIDs = disabledToolIDs();
  return inputs;
}

void Core::publish() {
  auto next = buildSnapshot();
  const SnapshotPtr previous = snapshot();
  const bool visible = !next->looksTheSameAs(*previous);
  next->revision = visible ? ++snapshotRevision_ : previous->revision;
  SnapshotPtr published = std::move(next);
  {
    // Kept even when nothing visible moved, so that the store revision it carries is current.
    std::lock_guard lock(snapshotMutex_);
    snapshot_ = published;
  }
  if (!visible) return;
  // A subscriber may unsubscribe (itself or another) while being told.
  const auto subscribers = subscribers_;
  for (const auto& [id, subscriber] : subscribers) {
    if (subscribers_.contains(id)) subscriber(published);
  }
}

void Core::send(AppCommand command, CommandDone done) {
  if (!loop_.isLoopThread()) {
    loop_.post([this, command = std::move(command), done = std::move(done)]() mutable {
      send(std::move(command), std::move(done));
    });
    return;
  }
  const CommandResult result = execute(command);
  if (done) done(result);
}

CommandResult Core::execute(const AppCommand& command) {
  if (const auto* decide = std::get_if<Command::Decide>(&command)) return this->decide(*decide);
  if (const auto* action = std::get_if<Command::PerformMessageAction>(&command)) {
    return performMessageAction(*action);
  }
  if (const auto* choice = std::get_if<Command::ChooseMessageOption>(&command)) {
    return chooseMessageOption(*choice);
  }
  if (const auto* input = std::get_if<Command::SendMessageInput>(&command)) {
    return performMessageAction({input->messageID, "send_input"}, input->text);
  }
  if (std::holds_alternative<Command::ClearAll>(command)) {
    const int cleared = store_->clearAll();
    return {true, fmt::format("Cleared {} message{}", cleared, cleared == 1 ? "" : "s")};
  }
  if (std::holds_alternative<Command::ClearHistory>(command)) {
    if (auto status = store_->clearHistory(); !status) return {false, status.error()};
    return {true, "History cleared"};
  }
  if (const auto* clearPage = std::get_if<Command::ClearPage>(&command)) {
    std::vector<IslandMessage> messages;
    for (const auto& id : clearPage->messageIDs) {
      if (const auto* message = findMessage(id)) messages.push_back(*message);
    }
    const int cleared = store_->clear(messages, MessageAuditRole::clearPage);
    return {true, fmt::format("Cleared {} message{}", cleared, cleared == 1 ? "" : "s")};
  }
  const std::string& id = std::holds_alternative<Command::MarkRead>(command)
                              ? std::get<Command::MarkRead>(command).messageID
                              : std::get<Command::Hide>(command).messageID;
  const IslandMessage* message = findMessage(id);
  if (!message) return {false, fmt::format("No message {}", id)};
  const IslandMessage copy = *message;
  if (std::holds_alternative<Command::MarkRead>(command)) {
    store_->markRead(copy);
    return {true, "Marked read"};
  }
  store_->hide(copy);
  return {true, "Ignored"};
}

const IslandMessage* Core::findMessage(const std::string& messageID) {
  for (const auto& message : store_->allMessages()) {
    if (message.event.id == messageID) return &message;
  }
  return nullptr;
}

CommandResult Core::decide(const Command::Decide& command) {
  const auto action = pendingActions_->action(command.requestID);
  if (!action) return {false, fmt::format("No request {}", command.requestID)};
  if (action->status != PendingActionStatus::awaitingUser) {
    return {false,
            fmt::format("Request {} is already {}", command.requestID, statusText(action->status))};
  }
  if (!dispatcher_ || !dispatcher_->answer(command.requestID, command.decision)) {
    return {false, fmt::format("Request {} was not answered", command.requestID)};
  }
  return {true, {}};
}

CommandResult Core::performMessageAction(const Command::PerformMessageAction& command,
                                         const std::optional<std::string>& note) {
  if (startsWith(command.role, kChooseOptionRolePrefix)) {
    return chooseMessageOption(
        {command.messageID, command.role.substr(kChooseOptionRolePrefix.size()), note});
  }
  const IslandMessage* message = findMessage(command.messageID);
  if (!message) return {false, fmt::format("No message {}", command.messageID)};
  // A copy: the action rebuilds the store's messages under the reference.
  const IslandMessage copy = *message;
  return reportMessageAction(store_->perform(command.role, copy, note), {});
}

CommandResult Core::chooseMessageOption(const Command::ChooseMessageOption& command) {
  const IslandMessage* message = findMessage(command.messageID);
  if (!message) return {false, fmt::format("No message {}", command.messageID)};
  const IslandMessage copy = *message;
  const auto option =
      std::find_if(copy.choiceOptions.begin(), copy.choiceOptions.end(),
                   [&](const MessageOption& o) { return o.id == command.optionID; });
  if (option == copy.choiceOptions.end()) {
    setStatusBanner("Response failed: option missing", kBannerWarning);
    return {false, fmt::format("The message offers no option \"{}\"", command.optionID)};
  }
  return reportMessageAction(store_->performChoice(copy, *option, command.note),
                             "Response failed: ");
}

CommandResult Core::reportMessageAction(const MessageActionOutcome& outcome,
                                        std::string_view failurePrefix) {
  if (!outcome.succeeded) {
    // The reason alone is the result; the banner says what failed.
    setStatusBanner(std::string(failurePrefix) + outcome.message, kBannerWarning);
  } else if (!outcome.message.empty()) {
    setStatusBanner(outcome.message, kBannerSuccess);
  }
  return {outcome.succeeded, outcome.message};
}

bool Core::performNotificationAction(std::string_view actionID, const std::string& requestID,
                                     std::string_view kind) {
  if (auto command = commandForNotificationAction(actionID, requestID)) {
    if (!pendingActionKind(kind)) return false;
    return execute(*command).ok;
  }
  return dispatcher_ && dispatcher_->dispatch(actionID, requestID, kind);
}

void Core::showStatusBanner(const std::string& text) {
  setStatusBanner(text, kBannerSuccess);
}

void Core::setStatusBanner(const std::string& text, RGBColor color) {
  statusBanner_ = StatusBanner{text, color};
  publish();
  // Cleared two seconds later unless another banner replaced it meanwhile.
  statusBannerDismissal_ = loop_.schedule(Seconds(kStatusBannerSeconds), [this, text] {
    if (statusBanner_ && statusBanner_->text == text) {
      statusBanner_.reset();
      publish();
    }
  });
}

}  // namespace glimmet
