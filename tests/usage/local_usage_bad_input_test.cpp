// What the local usage loaders make of damaged, hostile or vanishing files: the record is
// skipped, nothing crashes, and no old figure is passed off as new.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_system.hpp"
#include "support/test_support.hpp"
#include "usage/local_usage_claude.hpp"
#include "usage/local_usage_codex.hpp"
#include "usage/local_usage_loaders.hpp"
#include "usage/local_usage_trae.hpp"
#include "usage/local_usage_values.hpp"
#include "usage/tail_reader.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {
namespace {

using glimmet::testing::TempDir;
using glimmet::testing::writeText;

namespace fs = std::filesystem;

const char* kGoodCodexRecord =
    R"({"timestamp":"2026-12-06T10:00:00Z","type":"event_msg","payload":{"type":"token_count",)"
    R"("info":{"total_token_usage":{"input_tokens":100,"output_tokens":10,"total_tokens":110},)"
    R"("last_token_usage":{"total_tokens":110},"model_context_window":1000},"rate_limits":)"
    R"({"primary":{"used_percent":30,"resets_at":1796494987}}}})";

class LocalUsageBadInputTest : public ::testing::Test {
 protected:
  LocalUsageBadInputTest() {
    clearLocalUsageCaches();
    clearAllLocalUsageCaches();
    fs::create_directories(tmp.file("codex"));
    fs::create_directories(tmp.file("claude/p"));
  }
  ~LocalUsageBadInputTest() override {
    clearLocalUsageCaches();
    clearAllLocalUsageCaches();
  }

  std::vector<GlimmetEvent> codexEvents() {
    return loadCodexRolloutUsageEvents(tmp.file("codex"), systemNow());
  }

  TempDir tmp;
};

TEST_F(LocalUsageBadInputTest, DamagedLinesAroundAGoodRecordAreSkipped) {
  const std::string path = tmp.file("codex/rollout-damaged.jsonl");
  std::string text = std::string(kGoodCodexRecord) + "\n";
  text += "\xff\xfe{\"timestamp\":\"2026-12-06T10:01:00Z\",\"payload\":{\"info\":{}}}\n";
  text += R"({"timestamp":"2026-12-06T10:02:00Z","payload":{"type":"token_count","info":{"tot)";
  writeText(path, text);  // ends in a line cut short by a writer still at work
  const auto events = codexEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].usage->observedAt, "2026-12-06T10:00:00Z");
  EXPECT_DOUBLE_EQ(*events[0].usage->fiveHour->percent, 30);
}

TEST_F(LocalUsageBadInputTest, NegativeAndAbsurdNumbersNeverReachALabel) {
  const std::string path = tmp.file("codex/rollout-absurd.jsonl");
  writeText(path,
            R"({"timestamp":"2026-12-06T10:00:00Z","payload":{"info":{"total_token_usage":)"
            R"({"input_tokens":-5,"output_tokens":"1e400","total_tokens":true},)"
            R"("last_token_usage":{"total_tokens":-1},"model_context_window":-100},)"
            R"("rate_limits":{"primary":{"used_percent":-20},"secondary":{"used_percent":1e30,)"
            R"("resets_at":-1}}}})"
            "\n");
  EXPECT_TRUE(codexEvents().empty());

  // A used percent past 100 is a limit that was hit: nothing left, never a negative share.
  writeText(path, R"({"timestamp":"2026-12-06T10:00:00Z","payload":{"rate_limits":)"
                  R"({"primary":{"used_percent":"130"}}}})"
                  "\n");
  clearLocalUsageFileCaches();
  const auto events = codexEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_DOUBLE_EQ(*events[0].usage->fiveHour->percent, 100);
  EXPECT_EQ(events[0].usage->fiveHour->label, "0% left");
}

TEST_F(LocalUsageBadInputTest, GiantSingleLineIsReadOnlyAsATailAndYieldsNothing) {
  const std::string path = tmp.file("codex/rollout-giant.jsonl");
  std::string giant = R"({"timestamp":"2026-12-06T10:00:00Z","payload":{"info":{"note":")";
  giant.append(3 * kLocalUsageTailBytes, 'x');
  giant += R"("}}})";
  writeText(path, giant);
  const uint64_t before = fileSystemCounters().bytesRead;
  EXPECT_TRUE(codexEvents().empty());
  EXPECT_LE(fileSystemCounters().bytesRead - before, kLocalUsageTailBytes);

  // The same line followed by a good record: the partial first line is dropped, the rest kept.
  writeText(path, giant + "\n" + kGoodCodexRecord + "\n");
  const auto events = codexEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_DOUBLE_EQ(*events[0].usage->fiveHour->percent, 30);
}

TEST_F(LocalUsageBadInputTest, VanishedFileGivesNoEventAndNoStaleCopy) {
  const std::string path = tmp.file("codex/rollout-gone.jsonl");
  writeText(path, std::string(kGoodCodexRecord) + "\n");
  const Timestamp now = systemNow();
  ASSERT_EQ(loadCodexRolloutUsageEvents(tmp.file("codex"), now).size(), 1u);
  fs::remove(path);
  // Still listed by the warm discovery cache, but gone: the cached event must not come back.
  EXPECT_TRUE(loadCodexRolloutUsageEvents(tmp.file("codex"), now).empty());
  EXPECT_FALSE(readTailText(path, 100));
  EXPECT_TRUE(jsonObjectsFromFile(path).empty());
}

TEST_F(LocalUsageBadInputTest, UnusableTimestampsFallBackToTheFileTime) {
  const std::string path = tmp.file("claude/p/session.jsonl");
  for (const char* timestamp : {"yesterday", "2026-13-45T99:00:00Z", "2099-01-01T00:00:00Z", ""}) {
    writeText(path, std::string(R"({"timestamp":")") + timestamp +
                        R"(","message":{"id":"m","usage":{"input_tokens":5,"output_tokens":5}}})" +
                        "\n");
    const Timestamp modified = fileMetadata(path)->modified;
    const auto event =
        claudeTranscriptUsageEvent(jsonObjectsFromTail(path, kLocalUsageTailBytes), path, modified);
    ASSERT_TRUE(event) << timestamp;
    // A record claiming the future is not allowed to look fresher than its file.
    EXPECT_EQ(event->usage->observedAt, formatIso8601(modified)) << timestamp;
  }
  EXPECT_EQ(normalizedLocalUsageTimestamp("2026-12-06T10:00:00", systemNow()),
            "2026-12-06T10:00:00Z");
  EXPECT_EQ(normalizedLocalUsageTimestamp(std::nullopt, Timestamp{std::chrono::seconds{0}}),
            "1970-01-01T00:00:00Z");
}

TEST_F(LocalUsageBadInputTest, RecordsWithoutUsageAndOtherShapesGiveNothing) {
  const Timestamp now = systemNow();
  EXPECT_FALSE(claudeTranscriptUsageEvent({Json::parse(R"({"message":{"usage":"lots"}})"),
                                           Json::parse(R"({"usage":{"input_tokens":-3}})")},
                                          "/x", now));
  EXPECT_FALSE(traeTrajectoryUsageEvent(Json::parse(R"({"llm_interactions":"none"})"), "/x", now));
  EXPECT_FALSE(traeTrajectoryUsageEvent(
      Json::parse(R"({"llm_interactions":[{"response":null},{"response":{"usage":{}}}]})"), "/x",
      now));
  EXPECT_FALSE(codexRolloutUsageEvent({Json::parse(R"({"payload":{"info":null}})")}, "/x", now));
  // A trajectory that is not JSON at all, beside one that is.
  fs::create_directories(tmp.file("trae"));
  writeText(tmp.file("trae/broken.json"), "{\"llm_interactions\": [");
  EXPECT_TRUE(loadTraeTrajectoryUsageEvents(tmp.file("trae"), now).empty());
}

TEST(LocalUsageTextTest, CompactTextAndStableIDs) {
  const Json value = Json::parse(R"({"a":"  hello\n\n world ","b":["x",{"c":"y"}],"n":3})");
  EXPECT_EQ(compactLocalText(value, 100), "hello world x y");
  EXPECT_EQ(compactLocalText(value, 7), "hello w");
  const std::string id = stableLocalUsageID("local-codex-rollout", "/a/b.jsonl", "2026");
  EXPECT_EQ(id, stableLocalUsageID("local-codex-rollout", "/a/b.jsonl", "2026"));
  EXPECT_NE(id, stableLocalUsageID("local-codex-rollout", "/a/c.jsonl", "2026"));
  EXPECT_NE(id, stableLocalUsageID("local-codex-rollout", "/a/b.jsonl", "2027"));
  EXPECT_TRUE(id.starts_with("local-codex-rollout-"));
}

}  // namespace
}  // namespace glimmet
