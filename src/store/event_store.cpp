#include "store/event_store.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/name_table.hpp"
#include "model/message_grouping.hpp"
#include "model/receipt_notices.hpp"
#include "model/reminder_policy.hpp"
#include "model/socket_requests.hpp"
#include "model/usage_date.hpp"
#include "model/usage_merge.hpp"
#include "platform/file_system.hpp"
#include "platform/json_lines.hpp"
#include "platform/private_files.hpp"

namespace glimmet {

namespace {

// A read this large takes milliseconds even at full speed: the loop must not wait for it.
constexpr uint64_t kLargestEventFileReadOnLoop = uint64_t{256} * 1024;
constexpr const char* kHiddenEventIDsKey = "hiddenEventIDs";
constexpr const char* kReadEventIDsKey = "readEventIDs";

constexpr auto kMessageAuditRoleNames = std::to_array<EnumName<MessageAuditRole>>({
    {MessageAuditRole::clearAll, "clear_all"},
    {MessageAuditRole::clearPage, "clear_page"},
    {MessageAuditRole::configure, "configure"},
    {MessageAuditRole::authorizeFailed, "authorize_failed"},
    {MessageAuditRole::rejectFailed, "reject_failed"},
    {MessageAuditRole::chooseOption, "choose_option"},
    {MessageAuditRole::chooseOptionFailed, "choose_option_failed"},
    {MessageAuditRole::sendInput, "send_input"},
    {MessageAuditRole::sendInputFailed, "send_input_failed"},
    {MessageAuditRole::jumpFailed, "jump_failed"},
});
static_assert(isCompleteNameTable(kMessageAuditRoleNames) &&
              kMessageAuditRoleNames.back().value == MessageAuditRole::jumpFailed);

std::set<std::string> loadIDs(const UserDefaults* defaults, const char* key) {
  if (!defaults) return {};
  const auto ids = defaults->stringArrayValue(key);
  return {ids.begin(), ids.end()};
}

bool anyRootExists(const LocalToolRoots& roots,
                   const std::vector<std::optional<std::string> LocalToolRoots::*>& fields) {
  return std::any_of(fields.begin(), fields.end(), [&roots](auto field) {
    const auto& root = roots.*field;
    return root && isDirectory(*root);
  });
}

}  // namespace

std::string_view rawValue(MessageAuditRole role) {
  return rawName(kMessageAuditRoleNames, role);
}

std::optional<MessageAuditRole> messageAuditRoleFromRaw(std::string_view raw) {
  return valueNamed(kMessageAuditRoleNames, raw);
}

EventStore::EventStore(MainLoop& loop, EventStoreOptions options)
    : loop_(loop),
      options_(std::move(options)),
      tail_(options_.eventFile, options_.parseContext, options_.log) {
  if (options_.readLargeEventFileInBackground) readLargeEventFileInBackground();
  localUsage_.loader = options_.localUsageLoader;
  localUsage_.roots = {&LocalToolRoots::codexSessionsRoot, &LocalToolRoots::claudeProjectsRoot,
                       &LocalToolRoots::traeTrajectoryRoot, &LocalToolRoots::geminiTmpRoot};
  localUsage_.queueLabel = "app.glimmet.local-usage";
  localUsage_.intervalSeconds = options_.isolated ? 0 : kLocalUsageScanSeconds;
  localHotplug_.loader = options_.localHotplugLoader;
  localHotplug_.roots = {&LocalToolRoots::codexSessionsRoot, &LocalToolRoots::cursorProjectsRoot,
                         &LocalToolRoots::traeLogsRoot};
  localHotplug_.queueLabel = "app.glimmet.local-hotplug";
  localHotplug_.intervalSeconds = options_.isolated ? 0 : kHotplugScanSeconds;
  if (!options_.isolated) {
    hiddenIDs_ = loadIDs(options_.userDefaults, kHiddenEventIDsKey);
    readIDs_ = loadIDs(options_.userDefaults, kReadEventIDsKey);
  }
}

EventStore::~EventStore() {
  *alive_ = false;
  stopMonitoringBridgeEvents();
  // The queues join their threads here; results they post find the store gone.
  bridgeReadQueue_.reset();
  localUsage_.queue.reset();
  localHotplug_.queue.reset();
}

void EventStore::readLargeEventFileInBackground() {
  tail_.deferFullReadsLargerThan(kLargestEventFileReadOnLoop);
}

void EventStore::reload(bool forceBridgeMetadataCheck) {
  const Timestamp now = options_.clock();
  const bool bridgeChanged = tail_.reload(now, forceBridgeMetadataCheck);
  if (tail_.deferredFullRead()) startBackgroundBridgeRead();
  const bool synchronous = options_.localUsageLoadMode == LocalUsageLoadMode::synchronous;
  const bool usageChanged = reloadLocalUsage(now, synchronous);
  bool hotplugChanged = false;
  if (synchronous || !didAttemptInitialLocalHotplugLoad_) {
    didAttemptInitialLocalHotplugLoad_ = true;
    hotplugChanged = reloadLocalHotplug(now, true);
  } else {
    hotplugChanged = reloadLocalHotplug(now, false);
  }
  if (bridgeChanged || usageChanged || hotplugChanged) publishEvents();
}

void EventStore::reloadIfFallbackDue() {
  const Timestamp now = options_.clock();
  if (secondsBetween(lastFallbackReloadAt_, now) < kFallbackReloadSeconds) return;
  lastFallbackReloadAt_ = now;
  reload(false);
}

void EventStore::startBackgroundBridgeRead() {
  if (bridgeReadInFlight_) return;
  bridgeReadInFlight_ = true;
  if (!bridgeReadQueue_) {
    bridgeReadQueue_ = std::make_unique<SerialQueue>("app.glimmet.event-file", loop_);
  }
  std::weak_ptr<bool> alive = alive_;
  bridgeReadQueue_->asyncThen(
      [path = options_.eventFile, size = *tail_.deferredFullRead(),
       context = options_.parseContext] {
        // On two cores a second reading thread would take the loop's.
        return BridgeEventTail::readNewestWindow(path, size, context,
                                                 std::thread::hardware_concurrency() > 2);
      },
      [this, alive, resets = bridgeTailResets_](BridgeEventTail::FullRead read) {
        if (alive.expired() || !*alive.lock()) return;
        bridgeReadInFlight_ = false;
        if (resets != bridgeTailResets_) {
          reload(true);
          return;
        }
        tail_.applyFullRead(std::move(read));
        // Lines appended while the read ran come next; the tail changed either way.
        tail_.reload(options_.clock(), true);
        if (tail_.deferredFullRead()) startBackgroundBridgeRead();
        publishEvents();
      });
}

bool EventStore::shouldSkipUnchangedLocalUsageCandidates() {
  const std::string fingerprint = localUsageCandidateFingerprint(options_.roots);
  if (fingerprint != lastLocalUsageCandidateFingerprint_) {
    lastLocalUsageCandidateFingerprint_ = fingerprint;
    unchangedLocalUsageCandidateSkips_ = 0;
    return false;
  }
  ++unchangedLocalUsageCandidateSkips_;
  if (unchangedLocalUsageCandidateSkips_ < kUnchangedCandidateSkipLimit) return true;
  unchangedLocalUsageCandidateSkips_ = 0;
  if (options_.clearLocalUsageCaches) options_.clearLocalUsageCaches();
  return false;
}

bool EventStore::runLocalScan(LocalScan& scan, Timestamp now, bool synchronous,
                              const std::function<bool()>& beforeLoad) {
  const auto& roots = options_.roots;
  if (!scan.loader || !anyRootExists(roots, scan.roots)) {
    const bool had = !scan.events.empty();
    scan.events.clear();
    scan.lastFingerprint.clear();
    return had;
  }
  if (scan.inFlight || secondsBetween(scan.lastScanAt, now) < scan.intervalSeconds) return false;
  scan.lastScanAt = now;
  if (beforeLoad && !beforeLoad()) return false;

  if (synchronous) {
    auto events = scan.loader(roots);
    std::string fingerprint = loaderResultFingerprint(events);
    if (fingerprint == scan.lastFingerprint) return false;
    scan.events = std::move(events);
    scan.lastFingerprint = std::move(fingerprint);
    return true;
  }
  scan.inFlight = true;
  // The worker thread exists only once a scan is really needed.
  if (!scan.queue) scan.queue = std::make_unique<SerialQueue>(scan.queueLabel, loop_);
  std::weak_ptr<bool> alive = alive_;
  scan.queue->asyncThen(
      [loader = scan.loader, roots] {
        auto events = loader(roots);
        auto fingerprint = loaderResultFingerprint(events);
        return std::make_pair(std::move(events), std::move(fingerprint));
      },
      // `scan` is a member of this store, so the liveness check covers it too.
      [this, alive, &scan](std::pair<std::vector<GlimmetEvent>, std::string> result) {
        if (alive.expired() || !*alive.lock()) return;
        scan.inFlight = false;
        if (result.second == scan.lastFingerprint) return;
        scan.events = std::move(result.first);
        scan.lastFingerprint = std::move(result.second);
        publishEvents();
      });
  return false;
}

bool EventStore::reloadLocalUsage(Timestamp now, bool synchronous) {
  // Usage alone has a cheap check first: unchanged candidate files make the read unnecessary.
  return runLocalScan(localUsage_, now, synchronous, [this] {
    if (shouldSkipUnchangedLocalUsageCandidates()) return false;
    ++localUsageScans_;
    return true;
  });
}

bool EventStore::reloadLocalHotplug(Timestamp now, bool synchronous) {
  return runLocalScan(localHotplug_, now, synchronous);
}

void EventStore::publishEvents() {
  const auto& bridge = tail_.bridgeEvents();
  auto hotplug = dedupedLocalHotplugEvents(localHotplug_.events, bridge);
  // Refilled rather than replaced: the list keeps its memory from one publish to the next, as
  // fresh pages for hundreds of events cost the loop milliseconds.
  events_.clear();
  events_.reserve(bridge.size() + localUsage_.events.size() + hotplug.size());
  events_.insert(events_.end(), bridge.begin(), bridge.end());
  events_.insert(events_.end(), localUsage_.events.begin(), localUsage_.events.end());
  for (auto& event : hotplug) events_.push_back(std::move(event));
  auto notices =
      ingestResponseReceipts(events_, responseReceipts_, options_.clock(), options_.parseContext);
  for (auto& notice : notices) events_.push_back(std::move(notice));
  ++revision_;
  if (events_.size() >= kFewestEventsForMessagesOverTurns) {
    changeAwaitsMessages_ = true;
    scheduleMessageTurn();
    return;
  }
  changeAwaitsMessages_ = false;
  if (onChange) onChange();
}

// Event-file monitoring. Watch callbacks arrive on the main loop; the reload they trigger is
// debounced so that a burst of appends costs one read.

void EventStore::startMonitoringBridgeEvents() {
  if (options_.isolated || bridgeEventMonitoringStarted_) return;
  bridgeEventMonitoringStarted_ = true;
  const std::string directory = std::filesystem::path(options_.eventFile).parent_path().string();
  (void)createPrivateDirectories(directory);
  installDirectoryWatcher();
  installFileWatcher();
}

// Watches the event file's directory or, while it is missing, its nearest existing ancestor, so
// that the directory made again after a deletion is noticed and watched at once.
void EventStore::installDirectoryWatcher() {
  bridgeEventDirectorySource_.reset();
  directoryWatchLost_ = false;
  std::filesystem::path watched = std::filesystem::path(options_.eventFile).parent_path();
  if (watched.empty()) watched = ".";
  const std::string directory = watched.string();
  while (!isDirectory(watched.string())) {
    std::filesystem::path parent = watched.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == watched) break;
    watched = std::move(parent);
  }
  watchingDirectoryAncestor_ = watched.string() != directory;
  auto watcher = FileWatcher::watch(loop_, watched.string(), [this](FileEventKind kind) {
    if (kind == FileEventKind::removed) directoryWatchLost_ = true;
    scheduleBridgeReload(true);
  });
  if (watcher) {
    bridgeEventDirectorySource_ = std::move(watcher.value());
  } else if (!watchingDirectoryAncestor_) {
    writeLog(options_.log, "[Glimmet] " + watcher.error());
  }
}

void EventStore::stopMonitoringBridgeEvents() {
  bridgeEventMonitoringStarted_ = false;
  pendingBridgeReloadWorkItem_.cancel();
  bridgeEventFileSource_.reset();
  bridgeEventDirectorySource_.reset();
}

void EventStore::installFileWatcher() {
  bridgeEventFileSource_.reset();
  auto watcher = FileWatcher::watch(loop_, options_.eventFile, [this](FileEventKind kind) {
    scheduleBridgeReload(kind == FileEventKind::removed);
  });
  // A missing file has no watcher until the directory watcher sees it appear.
  if (watcher) bridgeEventFileSource_ = std::move(watcher.value());
}

void EventStore::scheduleBridgeReload(bool reinstallFileWatcher) {
  pendingReloadReinstallsWatcher_ = pendingReloadReinstallsWatcher_ || reinstallFileWatcher;
  // Each change postpones the reload, but a writer that never pauses must not starve it.
  const auto now = std::chrono::steady_clock::now();
  if (!pendingBridgeReloadWorkItem_.isPending()) {
    firstPendingReloadAt_ = now;
  } else if (now - firstPendingReloadAt_ >= std::chrono::milliseconds(kLongestReloadWaitMs)) {
    return;
  }
  pendingBridgeReloadWorkItem_ = loop_.schedule(Seconds(kReloadDebounceSeconds), [this] {
    const bool reinstall = pendingReloadReinstallsWatcher_;
    pendingReloadReinstallsWatcher_ = false;
    if (bridgeEventMonitoringStarted_ && (directoryWatchLost_ || watchingDirectoryAncestor_)) {
      installDirectoryWatcher();
    }
    if (reinstall && bridgeEventMonitoringStarted_) installFileWatcher();
    reload(true);
  });
}

// Views.

void EventStore::ensureMessageCache() {
  if (messageCacheRevision_ == revision_) return;
  if (!messageBuild_ || messageBuild_->revision != revision_) startMessageBuild();
  continueMessageBuild(SIZE_MAX);
}

void EventStore::startMessageBuild() {
  MessageListBuild& build = messageBuild_.emplace();
  build.revision = revision_;
  // Points into `events_`, which only changes with the revision: a build of an older revision
  // is dropped before it is used again.
  build.grouped = groupVisibleEvents(events_, hiddenIDs_);
  build.now = options_.clock();
  build.messages.reserve(build.grouped.groups.size());
}

void EventStore::continueMessageBuild(size_t groups) {
  MessageListBuild& build = *messageBuild_;
  const auto& all = build.grouped.groups;
  const size_t done = build.messages.size();
  const size_t end = all.size() - done <= groups ? all.size() : done + groups;
  for (size_t i = done; i < end; ++i) {
    const GlimmetEvent& newest = build.grouped.newestOf(all[i]);
    build.messages.push_back(makeIslandMessage(newest, build.grouped.idsOf(all[i]), readIDs_,
                                               options_.jumpFor, build.now));
    // A request stays listed after its task moved on or its socket request ended, so the user
    // sees what was asked; it only stops waiting.
    if (eventWaitsForUser(newest) && build.grouped.representativeIDs.count(newest.id) &&
        !answeredOnSocket(newest)) {
      ++build.approvalCount;
    }
  }
  if (end < all.size()) return;
  messageCacheRevision_ = build.revision;
  cachedApprovalCount_ = build.approvalCount;
  cachedAllMessages_ = std::move(build.messages);
  cachedTaskRepresentatives_ = std::move(build.grouped.representatives);
  cachedLatestEvent_.reset();
  if (!build.grouped.sortedVisible.empty()) {
    cachedLatestEvent_ = *build.grouped.sortedVisible.front();
  }
  messageBuild_.reset();
}

void EventStore::scheduleMessageTurn() {
  if (messageTurnScheduled_) return;
  messageTurnScheduled_ = true;
  std::weak_ptr<bool> alive = alive_;
  // Posted work runs on the loop's next turn, after the timers and input that came meanwhile.
  loop_.post([this, alive] {
    if (alive.expired() || !*alive.lock()) return;
    messageTurnScheduled_ = false;
    takeMessageTurn();
  });
}

// One step of a publish per turn: the grouping, a slice of the messages, the companion's
// view, and then the change is told.
void EventStore::takeMessageTurn() {
  if (!changeAwaitsMessages_) return;
  if (messageCacheRevision_ != revision_) {
    if (!messageBuild_ || messageBuild_->revision != revision_) {
      startMessageBuild();
    } else {
      continueMessageBuild(kMessagesPerLoopTurn);
    }
    scheduleMessageTurn();
    return;
  }
  if (companionCacheRevision_ != revision_) {
    ensureCompanionCache();
    scheduleMessageTurn();
    return;
  }
  changeAwaitsMessages_ = false;
  if (onChange) onChange();
}

const std::vector<IslandMessage>& EventStore::allMessages() {
  ensureMessageCache();
  return cachedAllMessages_;
}

SharedList<IslandMessage> EventStore::sharedMessages() {
  ensureMessageCache();
  return cachedAllMessages_;
}

std::optional<GlimmetEvent> EventStore::latestEvent() {
  ensureMessageCache();
  return cachedLatestEvent_;
}

int EventStore::approvalCount() {
  ensureMessageCache();
  return cachedApprovalCount_;
}

void EventStore::ensureCompanionCache() {
  if (companionCacheRevision_ == revision_) return;
  ensureMessageCache();
  companionCacheRevision_ = revision_;
  // Only what each task is doing now counts: an approval followed by the task's completion is
  // a finished task, not a waiting one.
  // The candidates are the newest of them (companionCandidateEvents), taken as they are found.
  cachedCompanionCandidateEvents_.clear();
  for (const GlimmetEvent* event : cachedTaskRepresentatives_) {
    if (cachedCompanionCandidateEvents_.size() == kCompanionCandidateLimit) break;
    if (eventWaitsForUser(*event) && answeredOnSocket(*event)) continue;
    cachedCompanionCandidateEvents_.push_back(*event);
  }
  // The status is the first of the ticker's items (companionStatusItem).
  cachedCompanionTickerItems_ = glimmet::companionTickerItems(cachedCompanionCandidateEvents_);
  cachedCompanionStatus_.reset();
  if (!cachedCompanionTickerItems_.empty()) {
    cachedCompanionStatus_ = cachedCompanionTickerItems_.front();
  }
}

bool EventStore::answeredOnSocket(const GlimmetEvent& event) const {
  return socketRequestEnded(event, socketRequests_);
}

void EventStore::setSocketRequests(std::vector<PendingAction> requests) {
  if (requests == socketRequests_) return;
  socketRequests_ = std::move(requests);
  ++revision_;
}

std::optional<CompanionStatusItem> EventStore::companionStatus() {
  ensureCompanionCache();
  return cachedCompanionStatus_;
}

const std::vector<CompanionStatusItem>& EventStore::companionTickerItems() {
  ensureCompanionCache();
  return cachedCompanionTickerItems_;
}

PetState EventStore::petState(bool hasSocketLoopPending) {
  ensureCompanionCache();
  const auto usage = latestUsage();
  return PetStateResolver::resolve(cachedCompanionCandidateEvents_, usage && usage->reportsError(),
                                   hasSocketLoopPending);
}

void EventStore::ensureUsageCache() {
  if (usageCacheRevision_ == revision_) return;
  usageCacheRevision_ = revision_;
  cachedUsageSnapshotsByToolID_.clear();
  cachedLatestUsage_.reset();
  cachedMergedUsageByKey_.clear();
  Timestamp latest = kDistantPast;
  for (const auto& event : events_) {
    if (!event.usage) continue;
    cachedUsageSnapshotsByToolID_[event.usage->toolID].push_back(*event.usage);
    const Timestamp observed = parseUsageDate(event.usage->observedAt).value_or(kDistantPast);
    if (!cachedLatestUsage_ || observed >= latest) {
      cachedLatestUsage_ = *event.usage;
      latest = observed;
    }
  }
}

std::vector<UsageSnapshot> EventStore::usageSnapshots(const std::string& toolID) {
  ensureUsageCache();
  const auto found = cachedUsageSnapshotsByToolID_.find(toolID);
  if (found == cachedUsageSnapshotsByToolID_.end()) return {};
  return found->second;
}

std::optional<UsageSnapshot> EventStore::latestUsage() {
  ensureUsageCache();
  return cachedLatestUsage_;
}

std::optional<UsageSnapshot> EventStore::mergedUsage(const std::vector<std::string>& toolIDs,
                                                     const std::string& displayTool) {
  ensureUsageCache();
  // A unit separator cannot occur in a tool id or name, so no two requests share a key.
  std::string key = displayTool;
  for (const auto& id : toolIDs) key += "\x1f" + id;
  if (const auto found = cachedMergedUsageByKey_.find(key);
      found != cachedMergedUsageByKey_.end()) {
    return found->second;
  }
  std::vector<UsageSnapshot> snapshots;
  for (const auto& id : toolIDs) {
    const auto found = cachedUsageSnapshotsByToolID_.find(id);
    if (found == cachedUsageSnapshotsByToolID_.end()) continue;
    snapshots.insert(snapshots.end(), found->second.begin(), found->second.end());
  }
  return cachedMergedUsageByKey_[key] = mergeUsageSnapshots(snapshots, displayTool);
}

// User marks.

void EventStore::persistMarks() {
  if (options_.isolated || !options_.userDefaults) return;
  // Both sets in one write: a click costs one synchronous file replacement, not two.
  const Json marks = {
      {kHiddenEventIDsKey, std::vector<std::string>(hiddenIDs_.begin(), hiddenIDs_.end())},
      {kReadEventIDsKey, std::vector<std::string>(readIDs_.begin(), readIDs_.end())},
  };
  if (auto status = options_.userDefaults->setValues(marks); !status) {
    writeLog(options_.log, "[Glimmet] " + status.error());
  }
}

void EventStore::bumpRevision() {
  ++revision_;
  // Marks and clears change what the user sees as much as new events do.
  if (onChange) onChange();
}

void EventStore::markRead(const IslandMessage& message) {
  readIDs_.insert(message.eventIDs.begin(), message.eventIDs.end());
  persistMarks();
  bumpRevision();
}

void EventStore::hide(const IslandMessage& message) {
  hiddenIDs_.insert(message.eventIDs.begin(), message.eventIDs.end());
  persistMarks();
  bumpRevision();
}

int EventStore::clear(const std::vector<IslandMessage>& messages, MessageAuditRole role) {
  auto& target = role == MessageAuditRole::clearAll ? hiddenIDs_ : readIDs_;
  for (const auto& message : messages) {
    target.insert(message.eventIDs.begin(), message.eventIDs.end());
    audit(role, message.event, static_cast<int>(message.eventIDs.size()));
  }
  persistMarks();
  bumpRevision();
  return static_cast<int>(messages.size());
}

int EventStore::clearAll() {
  const std::vector<IslandMessage> messages = allMessages();
  return clear(messages, MessageAuditRole::clearAll);
}

Status EventStore::clearHistory() {
  for (const auto* path : {&options_.eventFile, &options_.auditFile}) {
    if (auto status = removeFile(*path); !status) return status;
  }
  // Events of the local loaders outlive the history: their marks stay, or a cleared rollout
  // approval would come back. Everything from the deleted file is forgotten with its marks.
  std::set<std::string> surviving;
  for (const auto* scan : {&localUsage_, &localHotplug_}) {
    for (const auto& event : scan->events) surviving.insert(event.id);
  }
  std::erase_if(hiddenIDs_, [&](const std::string& id) { return !surviving.contains(id); });
  std::erase_if(readIDs_, [&](const std::string& id) { return !surviving.contains(id); });
  persistMarks();
  tail_.reset();
  ++bridgeTailResets_;
  responseReceipts_ = ResponseReceiptStore();
  // Rebuilds the published events without the file's, bumps the revision and tells onChange.
  publishEvents();
  return {};
}

void EventStore::audit(MessageAuditRole role, const GlimmetEvent& event, int collapsedCount,
                       const Json& extra) {
  Json entry = {
      {"timestamp", formatIso8601(options_.clock())},
      {"role", rawValue(role)},
      {"event_id", event.id},
      {"source", event.source},
      {"event_type", event.eventType.raw()},
      {"title", event.title},
      {"project", event.project},
  };
  if (collapsedCount >= 2) entry["collapsed_count"] = collapsedCount;
  if (extra.is_object()) {
    for (const auto& [key, value] : extra.items()) entry[key] = value;
  }
  // Every error is ignored: auditing must never fail a user's action.
  (void)appendJsonLine(options_.auditFile, entry);
}

}  // namespace glimmet
