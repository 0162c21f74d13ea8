#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/log.hpp"
#include "base/shared_list.hpp"
#include "model/companion_status.hpp"
#include "model/island_message.hpp"
#include "model/message_grouping.hpp"
#include "model/pending_action.hpp"
#include "model/response_channel.hpp"
#include "platform/file_watcher.hpp"
#include "platform/main_loop.hpp"
#include "platform/serial_queue.hpp"
#include "platform/user_defaults.hpp"
#include "store/bridge_event_tail.hpp"
#include "store/local_scan.hpp"
#include "store/message_action_dispatcher.hpp"

namespace glimmet {

enum class LocalUsageLoadMode { synchronous, asynchronous };

// What a line of the message audit log records: every message cleared (hidden), the visible
// page cleared (marked read), "Configure" chosen on a message, or a response sent to (or
// failing to reach) an agent, and a jump that did not open.
enum class MessageAuditRole {
  clearAll,
  clearPage,
  configure,
  authorizeFailed,
  rejectFailed,
  chooseOption,
  chooseOptionFailed,
  sendInput,
  sendInputFailed,
  jumpFailed
};

// "clear_all", "clear_page", "configure", "authorize_failed", ...: the "role" of the audit line.
std::string_view rawValue(MessageAuditRole role);
std::optional<MessageAuditRole> messageAuditRoleFromRaw(std::string_view raw);

using JumpFunction = std::function<std::optional<ResolvedJumpTarget>(const GlimmetEvent&)>;

struct EventStoreOptions {
  std::string eventFile;
  std::string auditFile;
  LocalToolRoots roots;
  LocalUsageLoadMode localUsageLoadMode = LocalUsageLoadMode::asynchronous;
  // A full read of the event file larger than 256 KiB is made on a worker thread, keeping the
  // loop free; the events it finds are published when it is done.
  bool readLargeEventFileInBackground = false;
  LocalEventsLoader localUsageLoader;
  LocalEventsLoader localHotplugLoader;
  // Called before the forced full scan that follows ten unchanged candidate checks.
  std::function<void()> clearLocalUsageCaches;
  JumpFunction jumpFor;
  bool isolated = false;
  EventParseContext parseContext;
  ClockFunction clock = systemNow;
  // Where the hidden and read marks persist; none keeps them in memory only.
  UserDefaults* userDefaults = nullptr;
  // Where the store reports what it could not do (watch the file, persist marks).
  LogSink log;
  // Opens the jump target of a message; its outcome is shown to the user. None: a jump fails.
  std::function<MessageActionOutcome(const IslandMessage&)> openJump;
};

// A message list being made a slice at a time, from the events of one store revision.
struct MessageListBuild {
  int64_t revision = 0;  // of the events grouped; a build of an older one is started again
  GroupedEvents grouped;
  std::vector<IslandMessage> messages;
  int approvalCount = 0;
  Timestamp now;
};

// The single owner of everything known about agent activity: the events of the event file and
// of the local loaders, the user's marks, and every view derived from them, each rebuilt only
// when the revision moved. Lives on the main loop.
class EventStore {
 public:
  static constexpr double kReloadDebounceSeconds = 0.05;
  static constexpr int kLongestReloadWaitMs = 250;
  static constexpr double kFallbackReloadSeconds = 10;
  static constexpr double kLocalUsageScanSeconds = 30;
  static constexpr double kHotplugScanSeconds = 3;
  static constexpr int kUnchangedCandidateSkipLimit = 10;

  EventStore(MainLoop& loop, EventStoreOptions options);
  ~EventStore();
  EventStore(const EventStore&) = delete;
  EventStore& operator=(const EventStore&) = delete;

  // Told when what the store shows changed. After a reload of many events it is told a few
  // loop turns later, once their messages are made, so that the reload never holds the loop
  // for long; the views answer at once either way.
  std::function<void()> onChange;

  // From now on a full read of the event file larger than 256 KiB is made on a worker thread
  // (what `readLargeEventFileInBackground` in the options asks for from the start).
  void readLargeEventFileInBackground();
  void reload(bool forceBridgeMetadataCheck);
  // The refresh tick's safety net for lost file-system notifications: at most every 10 s.
  void reloadIfFallbackDue();
  void startMonitoringBridgeEvents();
  void stopMonitoringBridgeEvents();
  void publishEvents();

  int64_t revision() const { return revision_; }
  const std::vector<GlimmetEvent>& events() const { return events_; }
  const std::vector<GlimmetEvent>& bridgeEvents() const { return tail_.bridgeEvents(); }
  const std::vector<GlimmetEvent>& localUsageEvents() const { return localUsage_.events; }
  const BridgeEventTail& bridgeTail() const { return tail_; }
  ResponseReceiptStore& responseReceipts() { return responseReceipts_; }

  // Views, cached by revision.
  const std::vector<IslandMessage>& allMessages();
  // The same list, to share rather than copy: it is never changed, only replaced.
  SharedList<IslandMessage> sharedMessages();
  std::optional<GlimmetEvent> latestEvent();
  int approvalCount();
  std::optional<CompanionStatusItem> companionStatus();
  const std::vector<CompanionStatusItem>& companionTickerItems();
  PetState petState(bool hasSocketLoopPending);
  std::vector<UsageSnapshot> usageSnapshots(const std::string& toolID);
  std::optional<UsageSnapshot> latestUsage();
  // The snapshots of `toolIDs` combined into one row under `displayTool` (mergeUsageSnapshots).
  std::optional<UsageSnapshot> mergedUsage(const std::vector<std::string>& toolIDs,
                                           const std::string& displayTool);

  // The approval socket's requests, open and ended, as the caller knows them. A message whose
  // question was also asked there stops waiting once every such request has ended. Moves the
  // revision when they changed, without calling onChange: the caller is the one publishing.
  void setSocketRequests(std::vector<PendingAction> requests);

  // User marks.
  const std::set<std::string>& hiddenIDs() const { return hiddenIDs_; }
  const std::set<std::string>& readIDs() const { return readIDs_; }
  void markRead(const IslandMessage& message);
  void hide(const IslandMessage& message);
  // Hides the messages for clearAll, otherwise marks them read; audits each under `role`.
  int clear(const std::vector<IslandMessage>& messages, MessageAuditRole role);
  int clearAll();
  Status clearHistory();

  void audit(MessageAuditRole role, const GlimmetEvent& event, int collapsedCount,
             const Json& extra = Json::object());

  // Message actions. A button of a message by its role: "authorize", "reject", "ignore",
  // "mark_read", "jump", "configure"; "send_input" sends `note` as the typed text.
  MessageActionOutcome perform(const std::string& role, const IslandMessage& message,
                               const std::optional<std::string>& note = std::nullopt);
  MessageActionOutcome performChoice(const IslandMessage& message, const MessageOption& option,
                                     const std::optional<std::string>& note);
  // Created on first use: command channels untrusted, a 10 s limit for commands.
  MessageActionDispatcher& messageActionDispatcher();

  // Counts for diagnostics and benchmarks.
  int localUsageScans() const { return localUsageScans_; }

 private:
  // One local loader with its own queue: scanned at most every `intervalSeconds` while one of
  // its roots exists, never twice at once, keeping the events of the last scan.
  struct LocalScan {
    LocalEventsLoader loader;
    std::vector<std::optional<std::string> LocalToolRoots::*> roots;
    const char* queueLabel = "";
    std::unique_ptr<SerialQueue> queue;  // created on the first background scan
    double intervalSeconds = 0;
    bool inFlight = false;
    Timestamp lastScanAt = kDistantPast;
    std::string lastFingerprint;
    std::vector<GlimmetEvent> events;
  };

  // Runs `scan` when it is due and `beforeLoad` (if any) agrees. Synchronous: loads here and
  // returns whether the events changed. Otherwise loads on the scan's queue, returns false, and
  // publishes from the main loop if the result changed.
  bool runLocalScan(LocalScan& scan, Timestamp now, bool synchronous,
                    const std::function<bool()>& beforeLoad = {});
  // Starts the full read the tail left for a worker, unless one is already running.
  void startBackgroundBridgeRead();
  bool reloadLocalUsage(Timestamp now, bool synchronous);
  bool reloadLocalHotplug(Timestamp now, bool synchronous);
  bool shouldSkipUnchangedLocalUsageCandidates();
  void scheduleBridgeReload(bool reinstallFileWatcher);
  void installDirectoryWatcher();
  void installFileWatcher();
  void persistMarks();
  void bumpRevision();
  MessageActionOutcome submitDecision(const IslandMessage& message, MessageActionRole role);
  MessageActionOutcome sendInput(const IslandMessage& message,
                                 const std::optional<std::string>& text);
  MessageActionOutcome jump(const IslandMessage& message);
  void ensureMessageCache();
  void startMessageBuild();
  // Makes the next `groups` messages of the build, and installs the list once it is complete.
  void continueMessageBuild(size_t groups);
  void scheduleMessageTurn();
  void takeMessageTurn();
  void ensureCompanionCache();
  // An event waiting for the user that was answered (or dropped) on the approval socket.
  bool answeredOnSocket(const GlimmetEvent& event) const;
  void ensureUsageCache();

  MainLoop& loop_;
  EventStoreOptions options_;
  BridgeEventTail tail_;
  std::vector<GlimmetEvent> events_;
  int64_t revision_ = 0;
  std::set<std::string> hiddenIDs_;
  std::set<std::string> readIDs_;
  ResponseReceiptStore responseReceipts_;
  std::unique_ptr<MessageActionDispatcher> messageActionDispatcher_;
  std::vector<PendingAction> socketRequests_;

  int64_t messageCacheRevision_ = -1;
  // Each task's newest visible event, in `events_`: the cache is rebuilt whenever the list
  // changes, as that moves the revision.
  std::vector<const GlimmetEvent*> cachedTaskRepresentatives_;
  SharedList<IslandMessage> cachedAllMessages_;
  std::optional<GlimmetEvent> cachedLatestEvent_;
  int cachedApprovalCount_ = 0;

  // A publish of many events builds its messages a slice per loop turn and tells `onChange`
  // once they are all made, so that it never holds the loop for the whole list at once; a
  // reader who needs the list sooner finishes it there and then.
  static constexpr size_t kFewestEventsForMessagesOverTurns = 128;
  static constexpr size_t kMessagesPerLoopTurn = 48;
  std::optional<MessageListBuild> messageBuild_;
  bool messageTurnScheduled_ = false;
  bool changeAwaitsMessages_ = false;

  int64_t companionCacheRevision_ = -1;
  std::vector<GlimmetEvent> cachedCompanionCandidateEvents_;
  std::optional<CompanionStatusItem> cachedCompanionStatus_;
  std::vector<CompanionStatusItem> cachedCompanionTickerItems_;

  int64_t usageCacheRevision_ = -1;
  std::map<std::string, std::vector<UsageSnapshot>> cachedUsageSnapshotsByToolID_;
  std::optional<UsageSnapshot> cachedLatestUsage_;
  std::map<std::string, std::optional<UsageSnapshot>> cachedMergedUsageByKey_;

  std::unique_ptr<SerialQueue> bridgeReadQueue_;  // created on the first large read
  bool bridgeReadInFlight_ = false;
  // Counts the times the tail was emptied: a read started before one is not applied.
  uint64_t bridgeTailResets_ = 0;

  LocalScan localUsage_;
  LocalScan localHotplug_;
  bool didAttemptInitialLocalHotplugLoad_ = false;
  std::optional<std::string> lastLocalUsageCandidateFingerprint_;
  int unchangedLocalUsageCandidateSkips_ = 0;
  int localUsageScans_ = 0;
  Timestamp lastFallbackReloadAt_ = kDistantPast;

  bool bridgeEventMonitoringStarted_ = false;
  std::unique_ptr<FileWatcher> bridgeEventFileSource_;
  std::unique_ptr<FileWatcher> bridgeEventDirectorySource_;
  WorkItem pendingBridgeReloadWorkItem_;
  bool pendingReloadReinstallsWatcher_ = false;
  // The directory watch ended (its directory was deleted), or watches an ancestor meanwhile.
  bool directoryWatchLost_ = false;
  bool watchingDirectoryAncestor_ = false;
  std::chrono::steady_clock::time_point firstPendingReloadAt_;

  // Scans finishing after the store is gone must not touch it.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace glimmet
