#include "usage/usage_eligibility.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/json_values.hpp"
#include "model/tool_catalog.hpp"
#include "model/usage_freshness.hpp"
#include "support/test_support.hpp"
#include "usage/local_usage_loaders.hpp"
#include "usage/usage_badges.hpp"
#include "usage/usage_file_caches.hpp"
#include "usage/usage_test_support.hpp"

namespace glimmet {
namespace {

using testing::at;

using testing::appendText;
using testing::TempDir;

constexpr const char* kNowText = "2026-05-11T12:00:00Z";

// A catalogue row judged as installed (or not) with the given status.
ToolHealth health(const std::string& id, bool detected, HookStatus status) {
  const AIToolCatalogItem* item = catalogItem(id);
  EXPECT_NE(item, nullptr) << id;
  ToolHealth row;
  row.id = id;
  row.name = item ? item->name : id;
  row.product = item ? item->product : id;
  row.capabilities = item ? item->capabilities : std::vector<std::string>{};
  row.detected = detected;
  row.status = status;
  return row;
}

ToolHealth installed(const std::string& id) {
  return health(id, true, HookStatus::healthy);
}

// The store reads real event-file lines, so the snapshots are built exactly as the running
// application builds them.
class UsageEligibilityTest : public ::testing::Test {
 protected:
  UsageEligibilityTest() {
    std::filesystem::create_directories(dir.file("events"));
    EventStoreOptions options;
    options.eventFile = dir.file("events/events.jsonl");
    options.auditFile = dir.file("audit.jsonl");
    options.parseContext.homeDirectory = "/home/dev";
    options.clock = [this] { return now; };
    options.localUsageLoadMode = LocalUsageLoadMode::synchronous;
    options.isolated = true;
    store = std::make_unique<EventStore>(loop, std::move(options));
  }

  // One usage-only bridge line from `source`; `usage` gets its observed time unless it has one.
  void addUsage(const std::string& source, const std::string& sourceType, Json usage,
                const char* observedAt = kNowText) {
    if (!usage.contains("observed_at")) usage["observed_at"] = observedAt;
    Json line = {{"event_id", "usage-" + std::to_string(++lines)},
                 {"source", source},
                 {"session_id", "session-" + std::to_string(lines)},
                 {"notify_policy", "usage_only"},
                 {"title", "Usage"},
                 {"timestamp", kNowText},
                 {"usage", usage}};
    if (!sourceType.empty()) line["source_type"] = sourceType;
    appendText(dir.file("events/events.jsonl"), line.dump() + "\n");
    store->reload(true);
  }

  std::map<std::string, UsageEligibility> judge(const std::vector<ToolHealth>& tools,
                                                bool wrapperBridgeReady,
                                                const std::vector<std::string>& disabled = {}) {
    std::map<std::string, UsageEligibility> byID;
    for (auto& judged : deriveUsageEligibility(tools, disabled, *store, wrapperBridgeReady, now)) {
      byID[judged.toolID] = std::move(judged);
    }
    return byID;
  }

  TempDir dir;
  MainLoop loop;
  Timestamp now = at(kNowText);
  std::unique_ptr<EventStore> store;
  int lines = 0;
};

TEST_F(UsageEligibilityTest, EachToolGetsTheReasonItsIntegrationAndUsageCallFor) {
  addUsage("codex", "local_loader",
           {{"data_source", "rollout"}, {"five_hour_percent", 42}, {"weekly_percent", 18}});
  addUsage("gemini", "wrapper", {{"data_source", "wrapper"}, {"input_tokens", 1200}},
           "2026-05-11T11:58:00Z");
  // Usage of Claude Code is not usage of the Claude App.
  addUsage("claude-code", "", {{"data_source", "statusline"}, {"five_hour_percent", 10}});
  const std::vector<ToolHealth> tools = {
      installed("claude-app"),          installed("codex-app"),        installed("codex-cli"),
      installed("cursor-ide"),          installed("cursor-agent-cli"), installed("trae-agent-cli"),
      installed("gemini-cli"),          installed("opencode-cli"),     installed("vscode-host"),
      installed("copilot-coding-agent")};

  auto ready = judge(tools, true);
  EXPECT_EQ(ready["codex-cli"].reason, UsageEligibilityReason::eligible);
  EXPECT_EQ(ready["codex-cli"].latestUsageSource, "rollout");
  EXPECT_EQ(usageEligibilityBadge(ready["codex-cli"]), "Rollout usage active");
  EXPECT_EQ(ready["gemini-cli"].reason, UsageEligibilityReason::eligible);
  EXPECT_EQ(ready["gemini-cli"].quality, UsageQuality::wrapperExplicit);
  for (const char* id : {"claude-app", "cursor-ide", "vscode-host"}) {
    EXPECT_EQ(ready[id].reason, UsageEligibilityReason::jumpOnly) << id;
    EXPECT_FALSE(ready[id].usageObserved) << id;
    EXPECT_EQ(usageEligibilityBadge(ready[id]), "No usage") << id;
  }
  EXPECT_EQ(ready["codex-app"].reason, UsageEligibilityReason::remoteSetupRequired);
  EXPECT_EQ(usageEligibilityBadge(ready["codex-app"]), "Waiting app usage");
  EXPECT_EQ(usageEligibilityBadge(ready["copilot-coding-agent"]), "Requires webhook");
  EXPECT_EQ(ready["trae-agent-cli"].reason, UsageEligibilityReason::waitingFirstUsage);
  EXPECT_EQ(usageEligibilityBadge(ready["trae-agent-cli"]), "Trajectory loader ready");
  EXPECT_EQ(ready["opencode-cli"].reason, UsageEligibilityReason::waitingFirstUsage);
  EXPECT_EQ(usageEligibilityBadge(ready["opencode-cli"]), "Waiting for first usage");
  EXPECT_EQ(ready["cursor-agent-cli"].reason, UsageEligibilityReason::waitingFirstUsage);
  EXPECT_EQ(usageEligibilityBadge(ready["cursor-agent-cli"]), "Stream JSON wrapper");

  // Without the wrapper bridge the wrapper tools cannot report, whatever they reported before.
  auto noWrapper = judge(tools, false);
  EXPECT_EQ(noWrapper["gemini-cli"].reason, UsageEligibilityReason::wrapperMissing);
  EXPECT_EQ(noWrapper["cursor-agent-cli"].reason, UsageEligibilityReason::wrapperMissing);
  EXPECT_EQ(usageEligibilityBadge(noWrapper["gemini-cli"]), "Needs wrapper bridge");
  EXPECT_EQ(noWrapper["codex-cli"].reason, UsageEligibilityReason::eligible);

  // Switched off by the user, fresh usage or not.
  auto disabled = judge(tools, true, {"codex-cli"});
  EXPECT_EQ(disabled["codex-cli"].reason, UsageEligibilityReason::notEnabled);
  EXPECT_FALSE(disabled["codex-cli"].enabledByUser);
  EXPECT_EQ(usageEligibilityBadge(disabled["codex-cli"]), "Disabled in Glimmet");

  // Not installed comes before every other concern but the user's switch and jump-only.
  auto absent = judge({health("codex-cli", false, HookStatus::missing),
                       health("claude-app", false, HookStatus::missing)},
                      true);
  EXPECT_EQ(absent["codex-cli"].reason, UsageEligibilityReason::integrationMissing);
  EXPECT_EQ(absent["claude-app"].reason, UsageEligibilityReason::jumpOnly);
}

TEST_F(UsageEligibilityTest, TheCarouselListsBrandsOfEligibleToolsOnlyAndNeverFallsBack) {
  const std::vector<ToolHealth> tools = {installed("claude-app"), installed("claude-code"),
                                         installed("codex-app"), installed("codex-cli"),
                                         installed("gemini-cli")};
  EXPECT_TRUE(eligibleUsageToolNames(tools, {}, *store, true, now).empty());

  addUsage("gemini", "wrapper", {{"data_source", "wrapper"}, {"input_tokens", 10}});
  addUsage("codex", "local_loader", {{"data_source", "rollout"}, {"five_hour_percent", 1}});
  addUsage("codex-app", "remote", {{"data_source", "app-server"}, {"five_hour_percent", 2}});
  addUsage("claude-code", "", {{"data_source", "hook"}, {"context_percent", 30}});
  // Eligible tools come first in catalogue order, each brand once, under its brand name.
  const auto rows = deriveUsageEligibility(tools, {}, *store, true, now);
  ASSERT_EQ(rows.size(), 5u);
  std::vector<std::string> order;
  for (const auto& row : rows) order.push_back(row.toolID);
  EXPECT_EQ(order, (std::vector<std::string>{"claude-code", "codex-app", "codex-cli", "gemini-cli",
                                             "claude-app"}));
  EXPECT_EQ(eligibleUsageToolNames(rows),
            (std::vector<std::string>{"Claude", "Codex", "Gemini CLI"}));
  EXPECT_EQ(
      eligibleUsageToolNames(tools, {"claude-code", "codex-cli", "codex-app"}, *store, true, now),
      std::vector<std::string>{"Gemini CLI"});
}

TEST(UsageStalenessTest, LocalFilesAllowSixHoursAndPushedUsageTenMinutes) {
  const Timestamp now = at(kNowText);
  const auto stale = [&](const char* dataSource, const char* observedAt) {
    UsageSnapshot snapshot;
    snapshot.dataSource = dataSource;
    snapshot.observedAt = observedAt;
    return isUsageSnapshotStale(snapshot, now);
  };
  for (const char* local :
       {"statusline", "rollout", "Transcript", "trajectory", "OpenCode_Plugin"}) {
    EXPECT_FALSE(stale(local, "2026-05-11T06:00:00Z")) << local;  // 21,600 s
    EXPECT_TRUE(stale(local, "2026-05-11T05:59:59Z")) << local;   // 21,601 s
    EXPECT_FALSE(stale(local, "2026-05-11T07:00:00Z")) << local;  // five hours
  }
  for (const char* pushed : {"hook", "wrapper", "notify", "webhook", "status_line", ""}) {
    EXPECT_FALSE(stale(pushed, "2026-05-11T11:50:00Z")) << pushed;  // 600 s
    EXPECT_TRUE(stale(pushed, "2026-05-11T11:49:59Z")) << pushed;   // 601 s
    EXPECT_TRUE(stale(pushed, "2026-05-11T11:49:00Z")) << pushed;   // eleven minutes
  }
  EXPECT_FALSE(stale("wrapper", "yesterday"));
  EXPECT_FALSE(stale("rollout", ""));
  EXPECT_FALSE(stale("hook", "2026-05-12T00:00:00Z"));  // a clock ahead of ours
}

TEST_F(UsageEligibilityTest, TheNewestAcceptableSnapshotWinsAndTheEarlierOneOnEqualTimes) {
  const ToolHealth claude = installed("claude-code");
  addUsage("claude-code", "", {{"data_source", "hook"}, {"context_percent", 1}},
           "2026-05-11T11:55:00Z");
  addUsage("claude-code", "", {{"data_source", "hook"}, {"context_percent", 2}},
           "2026-05-11T11:58:00Z");
  addUsage("claude-code", "", {{"data_source", "hook"}, {"context_percent", 3}},
           "2026-05-11T11:58:00Z");
  addUsage("claude-code", "", {{"data_source", "hook"}, {"context_percent", 4}}, "not a time");
  addUsage("claude-code", "", {{"data_source", "demo"}, {"context_percent", 5}},
           "2026-05-11T11:59:00Z");
  auto best = bestUsageForEligibility(claude, *store, false, now);
  ASSERT_TRUE(best);
  ASSERT_TRUE(best->context);
  EXPECT_EQ(best->context->percent, 2.0);

  // An unhealthy integration refuses pushed usage; there is then nothing to show.
  EXPECT_FALSE(
      bestUsageForEligibility(health("claude-code", true, HookStatus::repair), *store, false, now));
  auto repair = judge({health("claude-code", true, HookStatus::repair)}, false);
  EXPECT_EQ(repair["claude-code"].reason, UsageEligibilityReason::integrationUnhealthy);
  EXPECT_EQ(usageEligibilityBadge(repair["claude-code"]), "Repair integration");

  // Only a time that does not parse: it still counts, as the oldest.
  std::vector<UsageSnapshot> undated(2);
  undated[0].observedAt = "soon";
  undated[0].label = "undated";
  undated[1].observedAt = "2026-05-11T11:59:00Z";
  undated[1].label = "dated";
  EXPECT_EQ(bestUsageForEligibility(claude, undated, false, now)->label, "dated");
  undated.pop_back();
  EXPECT_EQ(bestUsageForEligibility(claude, undated, false, now)->label, "undated");
}

TEST_F(UsageEligibilityTest, LocalFileUsageOutlastsABrokenBridgeButNotItsAge) {
  // Pushed as far as its class goes, but read from the rollout file.
  addUsage("codex", "", {{"data_source", "rollout"}, {"five_hour_percent", 40}},
           "2026-05-11T09:00:00Z");
  addUsage("trae-agent-cli", "local_loader", {{"data_source", "trajectory"}, {"input_tokens", 5}},
           "2026-05-11T11:00:00Z");
  addUsage("claude-code", "", {{"data_source", "hook"}, {"five_hour_percent", 40}},
           "2026-05-11T11:49:00Z");
  auto rows = judge({health("codex-cli", true, HookStatus::repair),
                     health("trae-agent-cli", true, HookStatus::alpha), installed("claude-code")},
                    false);
  EXPECT_EQ(rows["codex-cli"].reason, UsageEligibilityReason::eligible);
  EXPECT_FALSE(rows["codex-cli"].integrationHealthy);
  EXPECT_EQ(rows["trae-agent-cli"].reason, UsageEligibilityReason::eligible);
  EXPECT_EQ(usageEligibilityBadge(rows["trae-agent-cli"]), "Trajectory usage active");
  // Eleven minutes old pushed usage is stale.
  EXPECT_EQ(rows["claude-code"].reason, UsageEligibilityReason::staleUsage);
  EXPECT_TRUE(rows["claude-code"].stale);
  EXPECT_EQ(usageEligibilityBadge(rows["claude-code"]), "Stale usage");

  // Seven hours later the rollout is stale too, and a broken bridge no longer excuses it.
  now = at("2026-05-11T16:00:01Z");
  rows = judge({health("codex-cli", true, HookStatus::repair)}, false);
  EXPECT_EQ(rows["codex-cli"].reason, UsageEligibilityReason::integrationUnhealthy);
  EXPECT_FALSE(rows["codex-cli"].usageObserved);
}

TEST(UsageSourceClassTest, ConfiguredClassAndHealthFollowTheToolAndItsCapabilities) {
  EXPECT_EQ(configuredUsageSourceClass(installed("codex-cli")), UsageSourceClass::officialPush);
  EXPECT_EQ(configuredUsageSourceClass(installed("trae-agent-cli")),
            UsageSourceClass::stableLocalLoader);
  EXPECT_EQ(configuredUsageSourceClass(installed("kimi-app-web")), UsageSourceClass::jumpOnly);
  EXPECT_EQ(configuredUsageSourceClass(installed("trae-solo")), UsageSourceClass::remoteOptIn);
  EXPECT_EQ(configuredUsageSourceClass(installed("kilo-code")), UsageSourceClass::wrapperExplicit);

  ToolHealth other;
  other.id = "someone-else";
  other.capabilities = {"Usage limited", "Jump"};
  EXPECT_FALSE(hasExactUsageCapability(other));
  EXPECT_EQ(configuredUsageSourceClass(other), UsageSourceClass::unsupported);
  other.capabilities.push_back("Messages limited");
  EXPECT_EQ(configuredUsageSourceClass(other), UsageSourceClass::messagesOnly);
  other.capabilities.push_back("USAGE");
  EXPECT_TRUE(hasExactUsageCapability(other));
  EXPECT_EQ(configuredUsageSourceClass(other), UsageSourceClass::officialPush);

  const ToolHealth alpha = health("gemini-cli", true, HookStatus::alpha);
  EXPECT_FALSE(integrationIsHealthy(alpha, UsageSourceClass::officialPush, true));
  EXPECT_TRUE(integrationIsHealthy(alpha, UsageSourceClass::stableLocalLoader, false));
  EXPECT_TRUE(integrationIsHealthy(alpha, UsageSourceClass::wrapperExplicit, true));
  EXPECT_FALSE(integrationIsHealthy(alpha, UsageSourceClass::wrapperExplicit, false));
  EXPECT_FALSE(integrationIsHealthy(alpha, UsageSourceClass::remoteOptIn, true));
  EXPECT_FALSE(integrationIsHealthy(installed("gemini-cli"), UsageSourceClass::unsupported, true));
  const ToolHealth undetected = health("codex-app", false, HookStatus::healthy);
  EXPECT_FALSE(integrationIsHealthy(undetected, UsageSourceClass::remoteOptIn, true));
  EXPECT_TRUE(integrationIsHealthy(undetected, UsageSourceClass::officialPush, true));
  EXPECT_FALSE(integrationIsHealthy(undetected, UsageSourceClass::jumpOnly, true));
}

TEST_F(UsageEligibilityTest, MergedUsageFillsQuotaWindowsFromTheBrandsRecentSnapshots) {
  addUsage("claude-code", "",
           {{"data_source", "statusline"}, {"five_hour_percent", 42}, {"weekly_percent", 18}},
           "2026-05-11T11:00:00Z");
  addUsage("claude-code", "", {{"data_source", "statusline"}, {"daily_percent", 99}},
           "2026-05-11T04:59:00Z");  // seven hours before the newest: too old to lend
  addUsage("claude-code", "local_loader",
           {{"data_source", "transcript"}, {"context_percent", 30}, {"input_tokens", 1500}},
           "2026-05-11T11:59:00Z");
  addUsage("claude-app", "", {{"data_source", "hook"}, {"weekly_percent", 77}},
           "2026-05-11T06:00:00Z");
  auto merged = store->mergedUsage({"claude-code", "claude-app"}, "Claude");
  ASSERT_TRUE(merged);
  EXPECT_EQ(merged->tool, "Claude");
  EXPECT_EQ(merged->dataSource, "transcript");
  ASSERT_TRUE(merged->context && merged->tokens && merged->fiveHour && merged->weekly);
  EXPECT_EQ(merged->fiveHour->percent, 42.0);
  EXPECT_EQ(merged->weekly->percent, 18.0);
  EXPECT_FALSE(merged->daily);
  EXPECT_EQ(merged->label, "5h 42% · 7d 18%");
  EXPECT_EQ(merged->percent, 42.0);

  EXPECT_FALSE(store->mergedUsage({"cursor-ide", "cursor-agent-cli"}, "Cursor"));
  // A new line moves the revision and with it the cached row.
  addUsage("claude-app", "", {{"data_source", "hook"}, {"five_hour_percent", 50}});
  EXPECT_EQ(store->mergedUsage({"claude-code", "claude-app"}, "Claude")->fiveHour->percent, 50.0);
}

// Gemini CLI's transcripts are read from its own files: fresh ones count without the wrapper
// bridge, as long as Gemini CLI is installed, and go stale like any local file usage.
TEST(GeminiTranscriptEligibilityTest, TranscriptUsageNeedsNoWrapperButAgesOut) {
  clearAllLocalUsageCaches();
  TempDir dir;
  const std::string chats = dir.file("gemini/app/chats");
  std::filesystem::create_directories(chats);
  testing::writeText(
      chats + "/session-2026-05-11T11-50-0a0b0c0d.jsonl",
      R"({"sessionId":"0a0b","projectHash":"h","lastUpdated":"2026-05-11T11:50:00Z"})"
      "\n"
      R"({"id":"m","timestamp":"2026-05-11T11:51:00Z","type":"gemini","tokens":{"input":900,)"
      R"("output":90,"cached":0,"thoughts":0,"tool":0,"total":990}})"
      "\n");
  Timestamp now = at(kNowText);
  EventStoreOptions options;
  options.eventFile = dir.file("events.jsonl");
  options.auditFile = dir.file("audit.jsonl");
  options.roots.geminiTmpRoot = dir.file("gemini");
  options.localUsageLoadMode = LocalUsageLoadMode::synchronous;
  options.localUsageLoader = [&now](const LocalToolRoots& roots) {
    return loadLocalUsageEvents(roots, now);
  };
  options.clock = [&now] { return now; };
  options.isolated = true;
  MainLoop loop;
  EventStore store(loop, std::move(options));
  store.reload(true);
  const auto judge = [&](const ToolHealth& tool) {
    return deriveUsageEligibility({tool}, {}, store, false, now).at(0);
  };

  auto gemini = judge(health("gemini-cli", true, HookStatus::repair));
  EXPECT_EQ(gemini.reason, UsageEligibilityReason::eligible);
  EXPECT_EQ(gemini.sourceClass, UsageSourceClass::stableLocalLoader);
  EXPECT_EQ(gemini.quality, UsageQuality::stableLocal);
  EXPECT_EQ(gemini.latestUsageObservedAt, "2026-05-11T11:51:00Z");
  EXPECT_EQ(usageEligibilityBadge(gemini), "Transcript usage active");
  ASSERT_TRUE(gemini.snapshot && gemini.snapshot->tokens);
  EXPECT_EQ(gemini.snapshot->tokens->label, "900 in");
  EXPECT_FALSE(gemini.snapshot->fiveHour || gemini.snapshot->weekly);
  EXPECT_EQ(judge(health("gemini-cli", false, HookStatus::missing)).reason,
            UsageEligibilityReason::integrationMissing);

  now = at("2026-05-11T17:52:00Z");
  gemini = judge(installed("gemini-cli"));
  EXPECT_EQ(gemini.reason, UsageEligibilityReason::staleUsage);
  EXPECT_TRUE(gemini.stale);
  clearAllLocalUsageCaches();
}

}  // namespace
}  // namespace glimmet
