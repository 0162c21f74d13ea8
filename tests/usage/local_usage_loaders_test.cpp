// The local usage loaders on real temp trees shaped like the tools' own files: Codex rollouts
// (the fixture is a real Codex 0.169 rollout excerpt), Claude Code transcripts and Trae Agent
// trajectories.

#include "usage/local_usage_loaders.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "platform/file_system.hpp"
#include "support/test_support.hpp"
#include "usage/local_usage_claude.hpp"
#include "usage/local_usage_claude_block.hpp"
#include "usage/local_usage_codex.hpp"
#include "usage/local_usage_trae.hpp"
#include "usage/usage_file_caches.hpp"
#include "usage/usage_test_support.hpp"

namespace glimmet {
namespace {

using testing::at;
using testing::bytesRead;
using testing::setModified;

using glimmet::testing::appendText;
using glimmet::testing::fixturePath;
using glimmet::testing::readText;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

namespace fs = std::filesystem;

Timestamp plus(Timestamp time, double seconds) {
  return time + std::chrono::microseconds{static_cast<int64_t>(seconds * 1e6)};
}

Timestamp modifiedOf(const std::string& path) {
  return fileMetadata(path)->modified;
}

std::string codexTokenCount(const std::string& time, int input, int lastTotal, double primary,
                            double secondary) {
  return fmt::format(
             R"({{"timestamp":"{}","type":"event_msg","payload":{{"type":"token_count","info":{{)"
             R"("total_token_usage":{{"input_tokens":{},"cached_input_tokens":20,"output_tokens":8,)"
             R"("reasoning_output_tokens":0,"total_tokens":{}}},"last_token_usage":{{"total_tokens":{}}},)"
             R"("model_context_window":258400}},"rate_limits":{{"primary":{{"used_percent":{},)"
             R"("window_minutes":300,"resets_at":1796494987}},"secondary":{{"used_percent":{},)"
             R"("window_minutes":10080,"resets_at":1796577787}}}}}}}})",
             time, input, input + 8, lastTotal, primary, secondary) +
         "\n";
}

std::string claudeAssistant(const std::string& time, const std::string& messageID,
                            const std::string& requestID, int input, int output) {
  return fmt::format(
             R"({{"type":"assistant","timestamp":"{}","requestId":"{}","cwd":"/home/dev/project",)"
             R"("sessionId":"s1","message":{{"id":"{}","role":"assistant","model":"claude-sonnet",)"
             R"("content":[{{"type":"text","text":"done"}}],"usage":{{"input_tokens":{},)"
             R"("cache_creation_input_tokens":0,"cache_read_input_tokens":0,"output_tokens":{}}}}}}})",
             time, requestID, messageID, input, output) +
         "\n";
}

class LocalUsageTest : public ::testing::Test {
 protected:
  LocalUsageTest() {
    clearLocalUsageCaches();
    clearAllLocalUsageCaches();
  }
  ~LocalUsageTest() override {
    clearLocalUsageCaches();
    clearAllLocalUsageCaches();
  }

  std::string rollout(const std::string& name) {
    const std::string dir = tmp.file("codex/2026/12/06");
    fs::create_directories(dir);
    return dir + "/" + name;
  }
  std::string transcript(const std::string& project, const std::string& name) {
    const std::string dir = tmp.file("claude/" + project);
    fs::create_directories(dir);
    return dir + "/" + name;
  }
  LocalToolRoots roots() const {
    return {tmp.file("codex"), tmp.file("claude"), tmp.file("trae"),
            std::nullopt,      std::nullopt,       std::nullopt};
  }

  TempDir tmp;
};

TEST_F(LocalUsageTest, RealCodexRolloutGivesQuotaTokensAndContextLeft) {
  const std::string path = rollout("rollout-2026-12-05T17-23-06-01a2473b.jsonl");
  fs::copy_file(fixturePath("usage/codex-0.169.0-token-counts.jsonl"), path);
  const Timestamp now = systemNow();
  const auto events = loadCodexRolloutUsageEvents(tmp.file("codex"), now);
  ASSERT_EQ(events.size(), 1u);
  const auto& event = events[0];
  EXPECT_EQ(event.source, "codex");
  EXPECT_EQ(event.title, "Codex usage updated");
  EXPECT_EQ(event.sourceType, "local_usage");
  EXPECT_EQ(event.transcriptPath, path);
  ASSERT_TRUE(event.usage);
  const auto& usage = *event.usage;
  EXPECT_EQ(usage.toolID, "codex-cli");
  EXPECT_EQ(usage.dataSource, "rollout");
  EXPECT_EQ(usage.quality, UsageQuality::stableLocal);
  EXPECT_EQ(usage.sourceClass, UsageSourceClass::stableLocalLoader);
  // The newest token record of the file, not the first.
  EXPECT_EQ(usage.observedAt, "2026-12-05T17:23:07Z");
  ASSERT_TRUE(usage.fiveHour && usage.weekly);
  EXPECT_DOUBLE_EQ(*usage.fiveHour->percent, 12.5);
  EXPECT_EQ(usage.fiveHour->label, "88% left");
  EXPECT_EQ(usage.fiveHour->suffix, "resets 2026-12-05T18:23:07Z");
  EXPECT_DOUBLE_EQ(*usage.weekly->percent, 40.0);
  EXPECT_EQ(usage.weekly->label, "60% left");
  // Totals of the whole rollout, not of the last request.
  ASSERT_TRUE(usage.tokens);
  EXPECT_EQ(usage.tokens->label, "240 in");
  EXPECT_EQ(usage.tokens->suffix,
            "16 out · 40 cache read · 0 cache write · 0 reasoning · 256 total");
  // Context left after the last request's 128 tokens, never context sent.
  ASSERT_TRUE(usage.context);
  EXPECT_EQ(usage.context->label, "Context 99% left");  // never a full 100% while in use
  EXPECT_NEAR(*usage.context->percent, 100.0 * 128 / 258400, 1e-9);
  EXPECT_EQ(usage.context->suffix, "258.4k window");
}

TEST_F(LocalUsageTest, AppendedRolloutIsReparsedAndUntouchedOneCostsNoRead) {
  const std::string busy = rollout("rollout-busy.jsonl");
  const std::string idle = rollout("rollout-idle.jsonl");
  writeText(busy, codexTokenCount("2026-12-06T10:00:00Z", 100, 50, 10, 20));
  writeText(idle, codexTokenCount("2026-12-06T09:00:00Z", 300, 50, 30, 20));
  const Timestamp now = systemNow();
  auto first = loadCodexRolloutUsageEvents(tmp.file("codex"), now);
  ASSERT_EQ(first.size(), 2u);

  const uint64_t before = bytesRead();
  auto second = loadCodexRolloutUsageEvents(tmp.file("codex"), now);
  EXPECT_EQ(bytesRead() - before, 0u);
  EXPECT_EQ(second, first);

  appendText(busy, codexTokenCount("2026-12-06T10:05:00Z", 900, 50, 55, 20));
  const uint64_t beforeAppend = bytesRead();
  auto third = loadCodexRolloutUsageEvents(tmp.file("codex"), now);
  // Only the changed file was read again.
  EXPECT_EQ(bytesRead() - beforeAppend, fs::file_size(busy));
  ASSERT_EQ(third.size(), 2u);
  const auto& fresh = third[0].transcriptPath == busy ? third[0] : third[1];
  EXPECT_DOUBLE_EQ(*fresh.usage->fiveHour->percent, 55);
  EXPECT_EQ(fresh.usage->tokens->label, "900 in");
  EXPECT_EQ(fresh.usage->observedAt, "2026-12-06T10:05:00Z");

  // The store's periodic full scan: every candidate is read again.
  clearLocalUsageCaches();
  const uint64_t beforeFull = bytesRead();
  EXPECT_EQ(loadCodexRolloutUsageEvents(tmp.file("codex"), now), third);
  EXPECT_EQ(bytesRead() - beforeFull, fs::file_size(busy) + fs::file_size(idle));
}

TEST_F(LocalUsageTest, QuotaOnlyRecordKeepsTheContextOfTheRicherOne) {
  const std::string path = rollout("rollout-quota.jsonl");
  writeText(path, codexTokenCount("2026-12-06T10:00:00Z", 5000, 60000, 10, 20) +
                      R"({"timestamp":"2026-12-06T10:02:00Z","type":"event_msg","payload":)"
                      R"({"type":"token_count","info":null,"rate_limits":{"primary":)"
                      R"({"used_percent":0.25,"window_minutes":300,"resets_in_seconds":600}}}})"
                      "\n");
  const auto events = loadCodexRolloutUsageEvents(tmp.file("codex"), systemNow());
  ASSERT_EQ(events.size(), 1u);
  const auto& usage = *events[0].usage;
  ASSERT_TRUE(usage.context);
  EXPECT_NEAR(*usage.context->percent, 100.0 * 60000 / 258400, 1e-9);
  EXPECT_EQ(usage.tokens->label, "5.0k in");
  // The newer quota reading wins; a fraction is a share of 1, and an older rollout's countdown
  // runs from its record.
  EXPECT_DOUBLE_EQ(*usage.fiveHour->percent, 25);
  EXPECT_EQ(usage.fiveHour->suffix, "resets 2026-12-06T10:12:00Z");
  EXPECT_FALSE(usage.weekly);
  EXPECT_EQ(usage.observedAt, "2026-12-06T10:02:00Z");
}

TEST_F(LocalUsageTest, NewTranscriptShowsUpOnceTheListingIsTwoMinutesOld) {
  const std::string first = transcript("-home-dev-a", "one.jsonl");
  writeText(first, claudeAssistant("2026-12-06T10:00:00Z", "msg_1", "req_1", 100, 20));
  const Timestamp t0 = systemNow();
  ASSERT_EQ(loadClaudeTranscriptUsageEvents(tmp.file("claude"), t0).size(), 1u);

  const std::string second = transcript("-home-dev-b", "two.jsonl");
  writeText(second, claudeAssistant("2026-12-06T10:01:00Z", "msg_2", "req_2", 100, 20));
  EXPECT_EQ(loadClaudeTranscriptUsageEvents(tmp.file("claude"), plus(t0, 60)).size(), 1u);
  EXPECT_EQ(loadClaudeTranscriptUsageEvents(tmp.file("claude"), plus(t0, 119)).size(), 1u);
  const auto later = loadClaudeTranscriptUsageEvents(tmp.file("claude"), plus(t0, 120));
  ASSERT_EQ(later.size(), 2u);
  EXPECT_EQ(later[0].transcriptPath, second);  // newest first
}

TEST_F(LocalUsageTest, TranscriptIsObservedAtItsModificationTime) {
  const std::string path = transcript("-home-dev-project", "session.jsonl");
  writeText(path, claudeAssistant("2026-12-06T08:00:00Z", "msg_1", "req_1", 1200, 300) +
                      R"({"type":"user","timestamp":"2026-12-06T08:05:00Z","message":)"
                      R"({"role":"user","content":"thanks"}})"
                      "\n");
  const Timestamp minuteAgo = plus(systemNow(), -60);
  setModified(path, minuteAgo);
  const auto events = loadClaudeTranscriptUsageEvents(tmp.file("claude"), systemNow());
  ASSERT_EQ(events.size(), 1u);
  const auto& event = events[0];
  EXPECT_EQ(event.source, "claude_code");
  EXPECT_EQ(event.title, "Claude Code usage updated");
  EXPECT_EQ(event.project, "project");
  EXPECT_EQ(event.usage->observedAt, formatIso8601(modifiedOf(path)));
  EXPECT_EQ(event.usage->dataSource, "transcript");
  EXPECT_EQ(event.usage->toolID, "claude-code");
  // Input and output together, no quota made up from them.
  EXPECT_EQ(event.usage->tokens->label, "1.5k tokens");
  EXPECT_FALSE(event.usage->weekly);
  EXPECT_FALSE(event.usage->fiveHour);
}

TEST_F(LocalUsageTest, DuplicateTranscriptRecordsCountOnceInTheBlock) {
  const Timestamp now = at("2026-12-06T11:30:00Z");
  const std::string original = transcript("-home-dev-p", "a.jsonl");
  const std::string resumed = transcript("-home-dev-p", "b.jsonl");
  writeText(original, claudeAssistant("2026-12-06T10:10:00Z", "msg_1", "req_1", 1000, 0) +
                          claudeAssistant("2026-12-06T10:20:00Z", "msg_2", "req_2", 2000, 0));
  // The resumed session repeats both messages before its own.
  writeText(resumed, claudeAssistant("2026-12-06T10:10:00Z", "msg_1", "req_1", 1000, 0) +
                         claudeAssistant("2026-12-06T10:20:00Z", "msg_2", "req_2", 2000, 0) +
                         claudeAssistant("2026-12-06T11:10:00Z", "msg_3", "req_3", 500, 500) +
                         // A message from yesterday is outside the look-back.
                         claudeAssistant("2026-12-05T11:10:00Z", "msg_0", "req_0", 9000, 0));
  setModified(original, plus(now, -60));
  setModified(resumed, plus(now, -30));
  const auto event = loadClaudeTranscriptBlockUsageEvent(tmp.file("claude"), now);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->title, "Claude Code usage block updated");
  const auto& usage = *event->usage;
  ASSERT_TRUE(usage.tokens);
  EXPECT_EQ(usage.tokens->label, "4.0k tokens");
  ASSERT_TRUE(usage.fiveHour);
  // The block starts on the hour of its first message and lasts five hours.
  EXPECT_EQ(usage.fiveHour->suffix, "resets 2026-12-06T15:00:00Z");
  EXPECT_TRUE(usage.fiveHour->label.ends_with("% left"));
  EXPECT_EQ(usage.observedAt, "2026-12-06T11:10:00Z");

  // Unchanged files: the summary is reused without reading them.
  const uint64_t before = bytesRead();
  EXPECT_EQ(loadClaudeTranscriptBlockUsageEvent(tmp.file("claude"), plus(now, 60)), event);
  EXPECT_EQ(bytesRead() - before, 0u);
  // After the block's end nothing is shown, even with the files unchanged.
  EXPECT_FALSE(loadClaudeTranscriptBlockUsageEvent(tmp.file("claude"), at("2026-12-06T15:00:00Z")));
}

TEST_F(LocalUsageTest, BlocksSplitAfterFiveHoursAndAtGaps) {
  std::vector<ClaudeTranscriptBlockEntry> entries;
  for (const char* time : {"2026-12-06T01:30:00Z", "2026-12-06T05:59:59Z", "2026-12-06T06:00:00Z",
                           "2026-12-06T12:00:00Z"}) {
    ClaudeTranscriptBlockEntry entry;
    entry.timestamp = at(time);
    entry.inputTokens = 10;
    entries.push_back(entry);
  }
  const auto blocks = claudeTranscriptUsageBlocks(entries);
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(formatIso8601(blocks[0].startTime), "2026-12-06T01:00:00Z");
  EXPECT_EQ(blocks[0].entries.size(), 2u);
  EXPECT_EQ(formatIso8601(blocks[1].startTime), "2026-12-06T06:00:00Z");
  EXPECT_EQ(formatIso8601(blocks[2].startTime), "2026-12-06T12:00:00Z");
  EXPECT_FALSE(currentClaudeBlock(blocks, at("2026-12-06T17:00:00Z")));
  EXPECT_TRUE(currentClaudeBlock(blocks, at("2026-12-06T16:59:59Z")));
  // Half the block gone at a steady pace: the projection doubles the total.
  ClaudeTranscriptUsageBlock block;
  block.startTime = at("2026-12-06T10:00:00Z");
  block.endTime = at("2026-12-06T15:00:00Z");
  block.actualEndTime = at("2026-12-06T12:30:00Z");
  ClaudeTranscriptBlockEntry entry;
  entry.outputTokens = 1000;
  block.entries = {entry};
  EXPECT_DOUBLE_EQ(projectedClaudeBlockTotalTokens(block, at("2026-12-06T12:30:00Z")), 2000);
}

TEST_F(LocalUsageTest, TrajectoryWithThreeInteractionsSumsThem) {
  fs::create_directories(tmp.file("trae"));
  const std::string path = tmp.file("trae/run-1.json");
  writeText(path, R"({
  "task": "write hello",
  "start_time": "2026-12-06T09:00:00.123456",
  "end_time": "2026-12-06T09:04:00.5",
  "provider": "anthropic",
  "model": "claude-sonnet",
  "llm_interactions": [
    {"response": {"usage": {"input_tokens": 100, "output_tokens": 10, "reasoning_tokens": 5}}},
    {"response": {"usage": {"prompt_tokens": 200, "completion_tokens": 20,
                            "cache_read_input_tokens": 50}}},
    {"response": {"usage": {"input_tokens": 300, "output_tokens": 30, "reasoning_tokens": 7}}}
  ]
})");
  const auto events = loadTraeTrajectoryUsageEvents(tmp.file("trae"), systemNow());
  ASSERT_EQ(events.size(), 1u);
  const auto& usage = *events[0].usage;
  EXPECT_EQ(events[0].title, "Trae Agent usage updated");
  EXPECT_EQ(usage.toolID, "trae-agent-cli");
  EXPECT_EQ(usage.dataSource, "trajectory");
  EXPECT_EQ(usage.observedAt, "2026-12-06T09:04:00Z");
  ASSERT_TRUE(usage.tokens);
  EXPECT_EQ(usage.tokens->label, "600 in");
  EXPECT_EQ(usage.tokens->suffix, "60 out · 50 cache read · 12 reasoning · 660 total");
  EXPECT_FALSE(usage.fiveHour);
  EXPECT_FALSE(usage.weekly);
}

TEST_F(LocalUsageTest, AllLoadersTogetherAndAMissingRoot) {
  writeText(rollout("rollout-x.jsonl"), codexTokenCount("2026-12-06T10:00:00Z", 1, 1, 1, 1));
  const Timestamp now = systemNow();
  const std::string path = transcript("-p", "t.jsonl");
  writeText(path, claudeAssistant(formatIso8601(plus(now, -120)), "m", "r", 10, 10));
  const auto events = loadLocalUsageEvents(roots(), now);
  std::vector<std::string> titles;
  for (const auto& event : events) titles.push_back(event.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"Codex usage updated", "Claude Code usage updated",
                                              "Claude Code usage block updated"}));
  for (const auto& event : events) EXPECT_TRUE(event.notifyPolicy == NotifyPolicy::usageOnly);
  EXPECT_TRUE(loadLocalUsageEvents(LocalToolRoots{}, now).empty());
  EXPECT_TRUE(loadCodexRolloutUsageEvents(tmp.file("nowhere"), now).empty());
}

}  // namespace
}  // namespace glimmet
