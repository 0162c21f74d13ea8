// The loaders wired into the application core: a rollout that Codex writes under
// ~/.codex/sessions reaches the store's usage views, and stays out of the inbox.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "app/core.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "usage/local_usage_loaders.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {
namespace {

using glimmet::testing::TempDir;
using glimmet::testing::writeText;

namespace fs = std::filesystem;

// A token_count record as Codex CLI 0.169 writes it, dated `now`.
std::string codex0169TokenCount(Timestamp now) {
  return fmt::format(
      R"({{"timestamp":"{}","ordinal":13,"type":"event_msg","payload":{{"type":"token_count",)"
      R"("info":{{"total_token_usage":{{"input_tokens":240,"cached_input_tokens":40,)"
      R"("cache_write_input_tokens":0,"output_tokens":16,"reasoning_output_tokens":0,)"
      R"("total_tokens":256}},"last_token_usage":{{"input_tokens":120,"cached_input_tokens":20,)"
      R"("cache_write_input_tokens":0,"output_tokens":8,"reasoning_output_tokens":0,)"
      R"("total_tokens":128}},"last_usage_includes_reasoning":false,)"
      R"("model_context_window":258400}},"rate_limits":{{"limit_id":"codex","limit_name":null,)"
      R"("primary":{{"used_percent":12.5,"window_minutes":300,"resets_at":{}}},)"
      R"("secondary":{{"used_percent":40.0,"window_minutes":10080,"resets_at":{}}},)"
      R"("credits":null,"plan_type":null}}}}}})",
      formatIso8601(now),
      std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count() + 3600,
      std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count() + 86400);
}

TEST(LocalUsageStoreTest, CodexRolloutUnderHomeReachesTheCoreButNotTheInbox) {
  clearLocalUsageCaches();
  clearAllLocalUsageCaches();
  TempDir dir;
  const Timestamp now = systemNow();
  const std::string day = fmt::format("{}", formatIso8601(now).substr(0, 10));
  const std::string sessions = dir.file("home/.codex/sessions/" + day.substr(0, 4) + "/" +
                                        day.substr(5, 2) + "/" + day.substr(8, 2));
  fs::create_directories(sessions);
  writeText(sessions + "/rollout-" + day + "T10-00-00-01a2473b.jsonl",
            codex0169TokenCount(now) + "\n");
  const std::string eventFile = dir.file("events.jsonl");
  writeText(eventFile, "");

  Environment environment;
  environment.set("HOME", dir.file("home"));
  environment.set("XDG_DATA_HOME", dir.file("data"));
  environment.set("XDG_CONFIG_HOME", dir.file("config"));
  environment.set("GLIMMET_EVENT_FILE", eventFile);
  {
    Core core(environment, false, [](const std::string&) {});
    auto& store = core.store();
    store.reload(true);
    // The scan runs on the store's background queue.
    ASSERT_TRUE(core.loop().runUntil([&] { return !store.usageSnapshots("codex-cli").empty(); },
                                     Seconds(10)));
    const auto snapshots = store.usageSnapshots("codex-cli");
    ASSERT_EQ(snapshots.size(), 1u);
    const auto& usage = snapshots[0];
    EXPECT_EQ(usage.dataSource, "rollout");
    EXPECT_EQ(usage.quality, UsageQuality::stableLocal);
    ASSERT_TRUE(usage.fiveHour && usage.weekly);
    EXPECT_DOUBLE_EQ(*usage.fiveHour->percent, 12.5);
    EXPECT_DOUBLE_EQ(*usage.weekly->percent, 40.0);
    EXPECT_EQ(expandedTopQuotaText(usage), "5h 13% · 7d 40%");
    ASSERT_TRUE(store.latestUsage());
    EXPECT_EQ(store.latestUsage()->toolID, "codex-cli");
    EXPECT_TRUE(store.allMessages().empty());
  }

  auto child = glimmet::testing::runToCompletion(
      {GLIMMET_BINARY, "inbox", "--json"},
      glimmet::testing::isolatedEnvironment(dir.path(), eventFile));
  EXPECT_EQ(child.exitCode(), 0);
  const auto messages = nlohmann::json::parse(child.output(), nullptr, false);
  ASSERT_TRUE(messages.is_array()) << child.output();
  EXPECT_TRUE(messages.empty());
  clearLocalUsageCaches();
  clearAllLocalUsageCaches();
}

}  // namespace
}  // namespace glimmet
