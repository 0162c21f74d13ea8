#include "store/event_store.hpp"
#include "store/local_scan.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <fmt/format.h>

#include "base/text.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::appendText;
using testing::readText;
using testing::TempDir;
using testing::writeText;

std::string line(const std::string& id, const std::string& fields = "") {
  return fmt::format(R"({{"event_id":"{}","source":"codex","session_id":"{}","title":"T {}",)"
                     R"("timestamp":"2026-05-11T12:00:00Z"{}}})",
                     id, id, id, fields) +
         "\n";
}

class EventStoreTest : public ::testing::Test {
 protected:
  TempDir dir;
  MainLoop loop;
  Timestamp now = *parseInternetDateTime("2026-05-11T12:05:00Z", false);
  JsonFileUserDefaults defaults{dir.file("defaults.json")};
  int publishes = 0;

  EventStoreOptions options() {
    EventStoreOptions options;
    options.eventFile = dir.file("events/events.jsonl");
    options.auditFile = dir.file("support/audit.jsonl");
    options.parseContext.homeDirectory = "/home/dev";
    options.clock = [this] { return now; };
    options.userDefaults = &defaults;
    options.localUsageLoadMode = LocalUsageLoadMode::synchronous;
    return options;
  }

  std::unique_ptr<EventStore> makeStore(EventStoreOptions storeOptions) {
    auto store = std::make_unique<EventStore>(loop, std::move(storeOptions));
    store->onChange = [this] { ++publishes; };
    return store;
  }

  std::vector<std::string> messageTitles(EventStore& store) {
    std::vector<std::string> titles;
    for (const auto& message : store.allMessages()) titles.push_back(message.title);
    return titles;
  }
};

TEST_F(EventStoreTest, IsolatedStoreNeitherWatchesNorPersistsMarks) {
  auto storeOptions = options();
  storeOptions.isolated = true;
  writeText(dir.file("defaults.json"), R"({"readEventIDs":["a"],"hiddenEventIDs":["b"]})");
  JsonFileUserDefaults preset(dir.file("defaults.json"));
  storeOptions.userDefaults = &preset;
  auto store = makeStore(storeOptions);
  EXPECT_TRUE(store->readIDs().empty());
  store->startMonitoringBridgeEvents();
  std::filesystem::create_directories(dir.file("events"));
  writeText(dir.file("events/events.jsonl"), line("a"));
  loop.runUntil([] { return false; }, Seconds(0.3));
  EXPECT_EQ(publishes, 0);
  store->reload(true);
  ASSERT_EQ(store->allMessages().size(), 1u);
  store->markRead(store->allMessages()[0]);
  EXPECT_EQ(readText(dir.file("defaults.json")).find("\"a\","), std::string::npos);
  EXPECT_EQ(JsonFileUserDefaults(dir.file("defaults.json")).stringArrayValue("readEventIDs"),
            std::vector<std::string>{"a"});  // untouched
}

// Snapshots share the message list instead of copying it; a list already handed out never
// changes, even when the store rebuilds its own.
TEST_F(EventStoreTest, SharedMessageListsAreReplacedNeverChanged) {
  std::filesystem::create_directories(dir.file("events"));
  writeText(dir.file("events/events.jsonl"), line("a") + line("b"));
  auto store = makeStore(options());
  store->reload(true);
  const SharedList<IslandMessage> first = store->sharedMessages();
  ASSERT_EQ(first.size(), 2u);
  // Unchanged: the very same list, equal at once.
  const SharedList<IslandMessage> again = store->sharedMessages();
  EXPECT_EQ(&again.items(), &first.items());
  EXPECT_EQ(again, first);
  EXPECT_EQ(&store->allMessages(), &first.items());

  store->hide(store->allMessages()[0]);
  const SharedList<IslandMessage> after = store->sharedMessages();
  EXPECT_NE(&after.items(), &first.items());
  ASSERT_EQ(after.size(), 1u);
  EXPECT_NE(after, first);
  // The list handed out before still shows both messages.
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].event.id, "b");
  EXPECT_EQ(first[1].event.id, "a");
  EXPECT_EQ(after[0].event.id, "a");
  // Separate lists with equal messages are equal; an empty list equals no list.
  EXPECT_EQ(SharedList<IslandMessage>(after.items()), after);
  EXPECT_EQ(SharedList<IslandMessage>(std::vector<IslandMessage>{}), SharedList<IslandMessage>());
}

TEST_F(EventStoreTest, MarksPersistAndClearAuditsEachMessage) {
  std::filesystem::create_directories(dir.file("events"));
  writeText(dir.file("events/events.jsonl"),
            line("a") + line("b") + line("c", R"(,"event_type":"task_completed")"));
  {
    auto store = makeStore(options());
    store->reload(true);
    ASSERT_EQ(store->allMessages().size(), 3u);
    const int64_t revision = store->revision();
    store->markRead(store->allMessages()[0]);
    EXPECT_GT(store->revision(), revision);
    EXPECT_EQ(store->allMessages()[0].normalized->readState, MessageReadState::read);
    EXPECT_EQ(store->clearAll(), 3);
    EXPECT_TRUE(store->allMessages().empty());
  }
  // A new store (a restart) keeps the marks.
  auto store = makeStore(options());
  store->reload(true);
  EXPECT_TRUE(store->allMessages().empty());
  EXPECT_EQ(store->hiddenIDs().size(), 3u);

  const auto audit = readText(dir.file("support/audit.jsonl"));
  std::vector<Json> lines;
  for (const auto& text : split(audit, '\n')) {
    if (!text.empty()) lines.push_back(Json::parse(text));
  }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["role"], "clear_all");
  // All three share one time, so the last line is the newest message and is cleared first.
  EXPECT_EQ(lines[0]["event_type"], "task_completed");
  EXPECT_EQ(lines[0]["timestamp"], "2026-05-11T12:05:00Z");
  EXPECT_FALSE(lines[0].contains("collapsed_count"));

  // Clearing history deletes the files and forgets the marks.
  ASSERT_TRUE(store->clearHistory().ok());
  EXPECT_FALSE(std::filesystem::exists(dir.file("events/events.jsonl")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("support/audit.jsonl")));
  EXPECT_TRUE(store->hiddenIDs().empty());
  EXPECT_TRUE(store->bridgeEvents().empty());
}

TEST_F(EventStoreTest, ClearedMessagesStayClearedAfterClearingHistory) {
  std::filesystem::create_directories(dir.file("events"));
  std::filesystem::create_directories(dir.file("codex"));
  writeText(dir.file("events/events.jsonl"),
            line("a") + line("b", R"(,"event_type":"task_completed")"));
  auto storeOptions = options();
  storeOptions.roots.codexSessionsRoot = dir.file("codex");
  storeOptions.isolated = true;  // scans run at every reload
  // A permission found in a local rollout: it survives the history, and so must its mark.
  storeOptions.localHotplugLoader = [](const LocalToolRoots&) {
    Json object = {{"event_id", "rollout-1"},
                   {"event_type", "permission_request"},
                   {"source", "codex"},
                   {"session_id", "rollout"},
                   {"timestamp", "2026-05-11T11:00:00Z"},
                   {"action", {{"kind", "exec"}}},
                   {"source_type", "local_hotplug"}};
    return std::vector<GlimmetEvent>{*parseGlimmetEvent(object, EventParseContext{"/h"})};
  };
  auto store = makeStore(storeOptions);
  store->reload(true);
  ASSERT_EQ(store->allMessages().size(), 3u);
  EXPECT_EQ(store->clearAll(), 3);
  ASSERT_TRUE(store->allMessages().empty());

  const int publishesBefore = publishes;
  const int64_t revisionBefore = store->revision();
  ASSERT_TRUE(store->clearHistory().ok());
  EXPECT_GT(publishes, publishesBefore);
  EXPECT_GT(store->revision(), revisionBefore);
  EXPECT_TRUE(store->allMessages().empty());
  EXPECT_EQ(store->approvalCount(), 0);
  EXPECT_TRUE(store->companionTickerItems().empty());
  store->reload(true);
  EXPECT_TRUE(store->allMessages().empty());

  // New activity after the clear is shown, and only that.
  writeText(dir.file("events/events.jsonl"), line("c"));
  store->reload(true);
  EXPECT_EQ(messageTitles(*store), std::vector<std::string>{"T c"});
}

// The bridge's line for Claude Code's Notification hook (the real payload in
// tests/fixtures/agents/claude-code-2.1.328-interactive/Notification.json): the agent waits in
// its own terminal, and nothing here can answer it.
const std::string kClaudeNotification =
    R"({"source":"claude_code","source_type":"cli_agent","project":"project",)"
    R"("cwd":"/home/dev/project","event_type":"waiting_input","severity":"warning",)"
    R"("title":"Claude Code needs attention","message":"Lifecycle event captured locally.",)"
    R"("status":"waiting_input","session_id":"905ba1cd-b495-4216-b798-971ab74d8163",)"
    R"("raw_event_name":"Notification","event_id":"note-1",)"
    R"("timestamp":"2026-05-11T12:00:02Z"})"
    "\n";

TEST_F(EventStoreTest, QuestionsNothingCanAnswerAreStatusNotAttention) {
  std::filesystem::create_directories(dir.file("events"));
  // A choice with options but no response channel, and the bare notification.
  writeText(dir.file("events/events.jsonl"),
            line("q", R"(,"event_type":"plan_ready","options":[{"id":"go","label":"Go"}])") +
                kClaudeNotification);
  auto store = makeStore(options());
  store->reload(true);
  ASSERT_EQ(store->allMessages().size(), 2u);
  for (const auto& message : store->allMessages()) {
    std::vector<std::string> roles;
    for (const auto& button : message.buttons) roles.push_back(button.role);
    EXPECT_EQ(roles, (std::vector<std::string>{"ignore", "jump"})) << message.event.id;
    ASSERT_TRUE(message.normalized.has_value());
    EXPECT_EQ(message.normalized->intent, MessageIntent::taskStatus) << message.event.id;
  }
  EXPECT_EQ(store->allMessages()[0].title, "Claude Code needs attention");
  EXPECT_EQ(store->approvalCount(), 0);
  EXPECT_NE(store->petState(false), PetState::approval);
  for (const auto& item : store->companionTickerItems()) {
    EXPECT_NE(item.kind, CompanionStatusKind::approval) << item.event.id;
  }
  ASSERT_TRUE(store->companionStatus().has_value());
  EXPECT_EQ(store->companionStatus()->kind, CompanionStatusKind::working);
}

// A Claude Code approval (the bridge's line for the real PermissionRequest payload), then the
// same session's turn ending.
const std::string kClaudePermission =
    R"({"source":"claude_code","cwd":"/home/dev/project","event_type":"permission_request",)"
    R"("severity":"warning","title":"Run: echo hello > out.txt","message":"Bash",)"
    R"("tool_name":"Bash","status":"waiting_approval","raw_event_name":"PermissionRequest",)"
    R"("session_id":"905ba1cd","action":{"kind":"shell","command":"echo hello > out.txt",)"
    R"("risk":"medium"},"event_id":"perm-1","timestamp":"2026-05-11T12:00:00Z"})"
    "\n";
const std::string kClaudeStop =
    R"({"source":"claude_code","cwd":"/home/dev/project","event_type":"task_completed",)"
    R"("title":"Claude Code finished","message":"done","raw_event_name":"Stop",)"
    R"("session_id":"905ba1cd","completion_snippet":"Wrote hello to out.txt",)"
    R"("event_id":"stop-1","timestamp":"2026-05-11T12:00:05Z"})"
    "\n";

TEST_F(EventStoreTest, OnlyEachTasksNewestEventCountsAndAllViewsAgree) {
  std::filesystem::create_directories(dir.file("events"));
  writeText(dir.file("events/events.jsonl"), kClaudePermission);
  auto store = makeStore(options());
  store->reload(true);
  EXPECT_EQ(store->approvalCount(), 1);
  ASSERT_TRUE(store->companionStatus().has_value());
  EXPECT_EQ(store->companionStatus()->kind, CompanionStatusKind::approval);
  ASSERT_EQ(store->companionTickerItems().size(), 1u);
  EXPECT_EQ(store->companionTickerItems()[0].kind, CompanionStatusKind::approval);
  EXPECT_EQ(store->petState(false), PetState::approval);

  appendText(dir.file("events/events.jsonl"), kClaudeStop);
  store->reload(true);
  // The approval stays listed, but the task has moved on: nothing waits any more.
  EXPECT_EQ(store->allMessages().size(), 2u);
  EXPECT_EQ(store->approvalCount(), 0);
  ASSERT_TRUE(store->companionStatus().has_value());
  EXPECT_EQ(store->companionStatus()->kind, CompanionStatusKind::finished);
  EXPECT_EQ(store->companionStatus()->event.id, "stop-1");
  ASSERT_EQ(store->companionTickerItems().size(), 1u);
  EXPECT_EQ(store->companionTickerItems()[0].kind, CompanionStatusKind::finished);
  EXPECT_EQ(store->petState(false), PetState::done);
}

TEST_F(EventStoreTest, EqualTimesLetTheLaterLineRepresentTheTask) {
  std::filesystem::create_directories(dir.file("events"));
  // Both lines carry the same second, and a second task has no times at all.
  std::string stop = kClaudeStop;
  stop.replace(stop.find("12:00:05"), 8, "12:00:00");
  writeText(dir.file("events/events.jsonl"),
            kClaudePermission + stop +
                R"({"event_id":"x1","source":"codex","session_id":"x","event_type":"task_started"})"
                "\n"
                R"({"event_id":"x2","source":"codex","session_id":"x","event_type":"task_failed"})"
                "\n");
  auto store = makeStore(options());
  store->reload(true);
  EXPECT_EQ(store->approvalCount(), 0);
  EXPECT_EQ(store->petState(false), PetState::error);
  ASSERT_TRUE(store->companionStatus().has_value());
  EXPECT_EQ(store->companionStatus()->event.id, "stop-1");
  const auto& messages = store->allMessages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2].event.id, "x2");
  EXPECT_EQ(messages[2].badge, "Failed");
}

TEST_F(EventStoreTest, FailedChoiceReceiptGivesExactlyOneNotice) {
  std::filesystem::create_directories(dir.file("events"));
  const std::string receipt =
      R"({"event_id":"r1","event_type":"response_receipt","timestamp":"2026-05-11T12:01:00Z",)"
      R"("receipt":{"target_event_id":"c1","action":"choose_option","status":"failed","error":"gone"}})"
      "\n";
  const std::string approveReceipt =
      R"({"event_id":"r2","event_type":"response_receipt",)"
      R"("receipt":{"target_event_id":"p1","action":"approve","status":"failed"}})"
      "\n";
  writeText(dir.file("events/events.jsonl"), receipt + approveReceipt);
  auto store = makeStore(options());
  store->reload(true);
  const auto& messages = store->allMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].title, "Response failed");
  EXPECT_EQ(messages[0].detail, "gone");
  EXPECT_EQ(messages[0].event.id, "receipt-failed-c1-r1");
  EXPECT_EQ(store->responseReceipts().latestReceipt("p1")->status, ResponseReceiptStatus::failed);
  // Publishing again does not add a second notice.
  store->publishEvents();
  EXPECT_EQ(store->allMessages().size(), 1u);
}

TEST_F(EventStoreTest, HotplugDuplicatesOfBridgeEventsAreDropped) {
  std::filesystem::create_directories(dir.file("events"));
  std::filesystem::create_directories(dir.file("codex"));
  writeText(
      dir.file("events/events.jsonl"),
      R"({"event_id":"b1","event_type":"permission_request","session_id":"s","tool_name":"Bash",)"
      R"("message":"ls","timestamp":"2026-05-11T12:00:00Z","action":{"kind":"bash"}})"
      "\n");
  std::string hotplugTime = "2026-05-11T12:05:00Z";
  auto storeOptions = options();
  storeOptions.roots.codexSessionsRoot = dir.file("codex");
  storeOptions.isolated = true;  // scans run at every reload
  storeOptions.localHotplugLoader = [&](const LocalToolRoots&) {
    Json object = {{"event_id", "h-" + hotplugTime},
                   {"event_type", "permission_request"},
                   {"session_id", "s"},
                   {"tool_name", "Bash"},
                   {"message", "ls"},
                   {"timestamp", hotplugTime},
                   {"source_type", "local_hotplug"}};
    return std::vector<GlimmetEvent>{*parseGlimmetEvent(object, EventParseContext{"/h"})};
  };
  auto store = makeStore(storeOptions);
  store->reload(true);
  EXPECT_EQ(store->events().size(), 1u);  // five minutes apart: the same request
  hotplugTime = "2026-05-11T12:11:00Z";
  store->reload(true);
  EXPECT_EQ(store->events().size(), 2u);  // eleven minutes apart: a new one
}

// The event bridge names the tool before the command and shortens at its own length; the
// rollout detector shows the bare command. The same request must not become two cards.
TEST_F(EventStoreTest, BridgeToolPrefixAndShorteningStillMatchTheDetectorsCommand) {
  EXPECT_TRUE(hotplugMessageMatches("Bash - npm  test", "npm test", "Bash"));
  EXPECT_TRUE(hotplugMessageMatches("ls", "ls", "Bash"));
  EXPECT_FALSE(hotplugMessageMatches("Bash - npm test", "npm test --watch", "Bash"));
  EXPECT_FALSE(hotplugMessageMatches("Edit - npm test", "npm test", "Bash"));
  const std::string longCommand = "cargo test --workspace --all-features -- --nocapture";
  EXPECT_TRUE(hotplugMessageMatches("Bash - " + longCommand.substr(0, 30) + "...",
                                    longCommand.substr(0, 40) + "\xE2\x80\xA6", "Bash"));
  EXPECT_TRUE(hotplugMessageMatches("Bash - " + longCommand,
                                    longCommand.substr(0, 20) + "\xE2\x80\xA6", "Bash"));
  // A shortened text too short to tell commands apart matches nothing but itself.
  EXPECT_FALSE(hotplugMessageMatches("Bash - rm -rf build", "rm\xE2\x80\xA6", "Bash"));
  EXPECT_FALSE(hotplugMessageMatches("Bash - ", "", "Bash"));

  std::filesystem::create_directories(dir.file("events"));
  std::filesystem::create_directories(dir.file("codex"));
  writeText(
      dir.file("events/events.jsonl"),
      R"({"event_id":"b1","event_type":"permission_request","session_id":"s","tool_name":"Bash",)"
      R"("message":"Bash - npm test","timestamp":"2026-05-11T12:00:00Z","action":{"kind":"bash"}})"
      "\n");
  auto storeOptions = options();
  storeOptions.roots.codexSessionsRoot = dir.file("codex");
  storeOptions.isolated = true;
  std::string command = "npm test";
  storeOptions.localHotplugLoader = [&](const LocalToolRoots&) {
    Json object = {{"event_id", "h-" + command},
                   {"event_type", "permission_request"},
                   {"session_id", "s"},
                   {"tool_name", "Bash"},
                   {"message", command},
                   {"timestamp", "2026-05-11T12:00:02Z"},
                   {"source_type", "local_hotplug"}};
    return std::vector<GlimmetEvent>{*parseGlimmetEvent(object, EventParseContext{"/h"})};
  };
  auto store = makeStore(storeOptions);
  store->reload(true);
  EXPECT_EQ(store->events().size(), 1u);
  command = "npm run build";
  store->reload(true);
  EXPECT_EQ(store->events().size(), 2u);  // another command is another request
}

TEST_F(EventStoreTest, UnchangedUsageCandidatesSkipNineScansThenForceOne) {
  std::filesystem::create_directories(dir.file("claude/p"));
  writeText(dir.file("claude/p/session.jsonl"), "{}\n");
  int loads = 0;
  int cacheClears = 0;
  auto storeOptions = options();
  storeOptions.isolated = true;
  storeOptions.roots.claudeProjectsRoot = dir.file("claude");
  storeOptions.clearLocalUsageCaches = [&] { ++cacheClears; };
  storeOptions.localUsageLoader = [&](const LocalToolRoots&) {
    ++loads;
    Json object = {{"event_id", "usage-1"},
                   {"source", "claude-code"},
                   {"source_type", "local_loader"},
                   {"notify_policy", "usage_only"},
                   {"usage", {{"data_source", "transcript"}, {"input_tokens", 1000 + loads}}}};
    return std::vector<GlimmetEvent>{*parseGlimmetEvent(object, EventParseContext{"/h"})};
  };
  auto store = makeStore(storeOptions);
  store->reload(true);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(publishes, 1);
  for (int i = 0; i < 9; ++i) store->reload(true);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(cacheClears, 0);
  store->reload(true);  // the tenth unchanged check forces a scan with cleared caches
  EXPECT_EQ(loads, 2);
  EXPECT_EQ(cacheClears, 1);
  // Only the token count changed, yet it is published.
  EXPECT_EQ(publishes, 2);
  EXPECT_EQ(store->usageSnapshots("claude-code").size(), 1u);
  EXPECT_TRUE(store->allMessages().empty());  // usage never becomes a message

  // A changed candidate file is scanned at once.
  appendText(dir.file("claude/p/session.jsonl"), "{}\n");
  store->reload(true);
  EXPECT_EQ(loads, 3);
}

TEST_F(EventStoreTest, BackgroundUsageScanPublishesOnTheLoopAndOnlyOnce) {
  std::filesystem::create_directories(dir.file("claude/p"));
  writeText(dir.file("claude/p/session.jsonl"), "{}\n");
  std::atomic<int> loads{0};
  std::thread::id loaderThread;
  auto storeOptions = options();
  storeOptions.localUsageLoadMode = LocalUsageLoadMode::asynchronous;
  storeOptions.roots.claudeProjectsRoot = dir.file("claude");
  storeOptions.localUsageLoader = [&](const LocalToolRoots&) {
    ++loads;
    loaderThread = std::this_thread::get_id();
    Json object = {{"event_id", "usage-1"},
                   {"source", "claude-code"},
                   {"notify_policy", "usage_only"},
                   {"usage", {{"data_source", "transcript"}, {"input_tokens", 1000}}}};
    return std::vector<GlimmetEvent>{*parseGlimmetEvent(object, EventParseContext{"/h"})};
  };
  auto store = makeStore(storeOptions);
  store->reload(true);
  EXPECT_EQ(publishes, 0);  // the scan runs off the loop; its result arrives later
  ASSERT_TRUE(loop.runUntil([&] { return publishes == 1; }, Seconds(10)));
  EXPECT_NE(loaderThread, std::this_thread::get_id());
  EXPECT_EQ(store->usageSnapshots("claude-code").size(), 1u);
  store->reload(true);  // within the 30-second interval: no second scan
  loop.runUntil([] { return false; }, Seconds(0.2));
  EXPECT_EQ(loads.load(), 1);
  EXPECT_EQ(publishes, 1);
}

TEST_F(EventStoreTest, ViewsAreRebuiltOnlyWhenTheRevisionMoves) {
  std::filesystem::create_directories(dir.file("events"));
  writeText(dir.file("events/events.jsonl"),
            line("a", R"(,"event_type":"permission_request","action":{"decision_file":"/tmp/d"})") +
                line("b"));
  int jumps = 0;
  auto storeOptions = options();
  storeOptions.jumpFor = [&](const GlimmetEvent&) -> std::optional<ResolvedJumpTarget> {
    ++jumps;
    return std::nullopt;
  };
  auto store = makeStore(storeOptions);
  store->reload(true);
  EXPECT_EQ(store->approvalCount(), 1);
  const int afterFirstBuild = jumps;
  store->allMessages();
  store->approvalCount();
  EXPECT_EQ(jumps, afterFirstBuild);
  store->reload(false);  // within the throttle, nothing is read and nothing rebuilt
  store->allMessages();
  EXPECT_EQ(jumps, afterFirstBuild);
  EXPECT_EQ(store->petState(false), PetState::approval);
  ASSERT_EQ(store->companionTickerItems().size(), 2u);
  EXPECT_EQ(store->companionTickerItems()[0].kind, CompanionStatusKind::approval);
}

TEST_F(EventStoreTest, LargePublishBuildsMessagesBetweenOtherWorkAndTellsTheChangeOnce) {
  std::filesystem::create_directories(dir.file("events"));
  // 300 tasks, every 60th waiting for approval: several slices of messages.
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += line(
        fmt::format("task-{}", i),
        i % 60 == 0 ? R"(,"event_type":"permission_request","action":{"decision_file":"/d"})" : "");
  }
  writeText(dir.file("events/events.jsonl"), text);
  auto store = makeStore(options());
  int publishesSeenByOtherWork = -1;
  loop.post([&] {
    store->reload(true);
    EXPECT_EQ(publishes, 0);  // told once the messages are made, not before
    // Posted after the reload: it runs while the messages are still being made.
    loop.post([&] { publishesSeenByOtherWork = publishes; });
  });
  ASSERT_TRUE(loop.runUntil([&] { return publishes > 0; }, Seconds(10)));
  EXPECT_EQ(publishesSeenByOtherWork, 0);
  loop.runUntil([] { return false; }, Seconds(0.02));
  EXPECT_EQ(publishes, 1);
  ASSERT_EQ(store->allMessages().size(), 300u);
  EXPECT_EQ(store->allMessages().front().event.id, "task-299");
  EXPECT_EQ(store->allMessages().back().event.id, "task-0");
  EXPECT_EQ(store->approvalCount(), 5);

  // A reader who needs the list before it is done gets all of it, and the change is still told
  // exactly once.
  appendText(dir.file("events/events.jsonl"), line("task-300") + line("task-301"));
  store->reload(true);
  EXPECT_EQ(publishes, 1);
  ASSERT_EQ(store->allMessages().size(), 302u);
  EXPECT_EQ(store->allMessages().front().event.id, "task-301");
  loop.runUntil([] { return false; }, Seconds(0.02));
  EXPECT_EQ(publishes, 2);

  // Marks made while a build runs are in the list it ends with.
  appendText(dir.file("events/events.jsonl"), line("task-302"));
  store->reload(true);
  bool marked = false;
  loop.post([&] {
    store->markRead(store->allMessages().back());
    marked = true;
  });
  ASSERT_TRUE(loop.runUntil([&] { return marked; }, Seconds(10)));
  loop.runUntil([] { return false; }, Seconds(0.02));
  ASSERT_EQ(store->allMessages().size(), 303u);
  EXPECT_EQ(store->allMessages().back().normalized->readState, MessageReadState::read);
  EXPECT_EQ(store->allMessages().front().normalized->readState, MessageReadState::unread);
}

TEST_F(EventStoreTest, LargeFullReadLeavesTheLoopFreeAndAppendsFollowIt) {
  std::filesystem::create_directories(dir.file("events"));
  // Lines the SIMD reader leaves to the tree parser (a number beyond 64 bits), each naming
  // usage_only so that every one of them is parsed: the full read takes far longer than 50 ms.
  std::string text;
  int count = 0;
  while (text.size() < BridgeEventTail::kTailReadWindow) {
    text += line(fmt::format("old-{}", count++),
                 R"(,"notify_policy":"usage_only","big":123456789012345678901234567890)");
  }
  auto storeOptions = options();
  storeOptions.readLargeEventFileInBackground = true;
  auto store = makeStore(storeOptions);
  writeText(dir.file("events/events.jsonl"), text);

  using Clock = std::chrono::steady_clock;
  Clock::time_point lastTick = Clock::now();
  Clock::duration largestGap{};
  WorkItem ticker = loop.every(Seconds(0.001), Seconds(0), [&] {
    const auto tick = Clock::now();
    largestGap = std::max(largestGap, tick - lastTick);
    lastTick = tick;
  });
  loop.post([&] {
    lastTick = Clock::now();
    store->reload(true);
    // Written while the read runs: read after it, not lost and not read twice.
    appendText(dir.file("events/events.jsonl"), line("new"));
    store->reload(true);
  });
  const auto hasNewest = [&] {
    const auto& events = store->bridgeEvents();
    return !events.empty() && events.back().id == "new";
  };
  ASSERT_TRUE(loop.runUntil(hasNewest, Seconds(30)));
  // A few more ticks, so that a reload that held the loop shows as a gap.
  loop.runUntil([] { return false; }, Seconds(0.02));
  ticker.cancel();

  const auto& tail = store->bridgeTail().activeTail();
  ASSERT_EQ(tail.size(), BridgeEventTail::kActiveTailLength);
  EXPECT_EQ(tail[tail.size() - 2].id, fmt::format("old-{}", count - 1));
  EXPECT_EQ(tail.front().id, fmt::format("old-{}", count - 499));
  EXPECT_EQ(std::count_if(tail.begin(), tail.end(), [](auto& e) { return e.id == "new"; }), 1);
  const double largestGapMs = std::chrono::duration<double, std::milli>(largestGap).count();
  // Read on the loop this takes about 300 ms; the bound leaves room for a busy machine.
  EXPECT_LT(largestGapMs, 100.0);
}

}  // namespace
}  // namespace glimmet
