// The Gemini CLI transcript loader on real temp trees shaped like ~/.gemini/tmp: the fixture is
// a session written record by record the way Gemini CLI 0.61's chat recorder appends them.

#include "usage/local_usage_gemini.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "platform/file_system.hpp"
#include "support/test_support.hpp"
#include "usage/local_usage_loaders.hpp"
#include "usage/usage_file_caches.hpp"
#include "usage/usage_test_support.hpp"

namespace glimmet {
namespace {

using testing::at;
using testing::bytesRead;
using testing::setModified;

using glimmet::testing::appendText;
using glimmet::testing::fixturePath;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

namespace fs = std::filesystem;

std::string metadataLine(const std::string& time) {
  return fmt::format(R"({{"sessionId":"s-{}","projectHash":"{}","startTime":"{}",)"
                     R"("lastUpdated":"{}","kind":"main"}})",
                     time, std::string(64, 'a'), time, time) +
         "\n";
}

std::string userLine(const std::string& id, const std::string& time) {
  return fmt::format(R"({{"id":"{}","timestamp":"{}","type":"user","content":[{{"text":"go"}}]}})",
                     id, time) +
         "\n";
}

std::string geminiLine(const std::string& id, const std::string& time, int input, int output) {
  return fmt::format(R"({{"id":"{}","timestamp":"{}","type":"gemini","content":"ok",)"
                     R"("tokens":{{"input":{},"output":{},"cached":0,"thoughts":0,"tool":0,)"
                     R"("total":{}}},"model":"gemini-2.5-pro"}})",
                     id, time, input, output, input + output) +
         "\n";
}

Json record(const char* text) {
  return parseJsonText(text);
}

class GeminiUsageTest : public ::testing::Test {
 protected:
  GeminiUsageTest() {
    clearLocalUsageCaches();
    clearAllLocalUsageCaches();
  }
  ~GeminiUsageTest() override {
    clearLocalUsageCaches();
    clearAllLocalUsageCaches();
  }

  std::string session(const std::string& project, const std::string& name) {
    const std::string dir = tmp.file("gemini/" + project + "/chats");
    fs::create_directories(dir);
    return dir + "/" + name;
  }
  std::string root() const { return tmp.file("gemini"); }

  TempDir tmp;
};

TEST_F(GeminiUsageTest, RecordedSessionCountsEachMessageOnceAfterRewindAndPatches) {
  const std::string path = session("my-app", "session-2026-12-06T10-00-1f2e3d4c.jsonl");
  fs::copy_file(fixturePath("usage/gemini/session-2026-12-06T10-00-1f2e3d4c.jsonl"), path);
  setModified(path, at("2026-12-06T10:05:00Z"));
  // A subagent's own file and a file of another kind are no sessions of their own.
  fs::create_directories(tmp.file("gemini/my-app/chats/1f2e3d4c"));
  writeText(session("my-app", "1f2e3d4c/sub-1.jsonl"),
            geminiLine("x", "2026-12-06T10:00:00Z", 9, 9));
  writeText(session("my-app", "notes.txt"), geminiLine("y", "2026-12-06T10:00:00Z", 9, 9));

  const auto events =
      loadGeminiTranscriptUsageEvents(root(), at("2026-12-06T12:00:00Z"), LabelTimeZone::utc());
  ASSERT_EQ(events.size(), 2u);
  const auto& today = events[0];
  const auto& sessionEvent = events[1];
  EXPECT_EQ(today.title, "Gemini CLI usage today");
  EXPECT_EQ(sessionEvent.title, "Gemini CLI usage updated");
  EXPECT_EQ(sessionEvent.project, "my-app");
  EXPECT_EQ(sessionEvent.transcriptPath, path);

  for (const auto* event : {&today, &sessionEvent}) {
    ASSERT_TRUE(event->usage);
    const auto& usage = *event->usage;
    EXPECT_EQ(usage.toolID, "gemini-cli");
    EXPECT_EQ(usage.dataSource, "transcript");
    EXPECT_EQ(usage.quality, UsageQuality::stableLocal);
    EXPECT_EQ(usage.sourceClass, UsageSourceClass::stableLocalLoader);
    EXPECT_TRUE(event->notifyPolicy == NotifyPolicy::usageOnly);
    // The rewound turn (55k tokens) is gone; g-1 was written three times and counts once, with
    // the counts of its newest copy.
    ASSERT_TRUE(usage.tokens);
    EXPECT_EQ(usage.tokens->label, "27.0k in");
    EXPECT_EQ(usage.tokens->suffix, "1.4k out · 23.0k cache read · 400 reasoning · 28.8k total");
    const auto& values = usage.tokens->values;
    EXPECT_EQ(std::vector<double>(values.begin(), values.end()),
              (std::vector<double>{27000, 1420, 28840, 23000, -1, 400}));
    // The last `$set` names the time; no quota figure is ever made up.
    EXPECT_EQ(usage.observedAt, "2026-12-06T10:02:06Z");
    EXPECT_FALSE(usage.fiveHour);
    EXPECT_FALSE(usage.daily);
    EXPECT_FALSE(usage.weekly);
    EXPECT_FALSE(usage.context);
  }
  // The same file and time give the same ids, so a rescan publishes nothing new.
  EXPECT_EQ(
      loadGeminiTranscriptUsageEvents(root(), at("2026-12-06T12:00:00Z"), LabelTimeZone::utc()),
      events);
}

TEST_F(GeminiUsageTest, FoldFollowsGeminiCliReplay) {
  GeminiTranscript transcript;
  transcript.apply(
      record(R"({"sessionId":"s","projectHash":"h","lastUpdated":"2026-12-06T09:00:00Z"})"));
  transcript.apply(record(R"({"id":"a","type":"gemini","tokens":{"input":1,"total":1}})"));
  transcript.apply(record(R"({"id":"b","type":"gemini","tokens":{"input":10,"total":10}})"));
  transcript.apply(record(R"({"id":"c","type":"user"})"));
  // A message written again keeps its place: rewinding to it drops what came after its first
  // copy, and the rewind target itself.
  transcript.apply(record(R"({"id":"a","type":"gemini","tokens":{"input":2,"total":2}})"));
  transcript.apply(record(R"({"$rewindTo":"b"})"));
  ASSERT_EQ(transcript.messages().size(), 1u);
  EXPECT_EQ(transcript.messages()[0].id, "a");
  EXPECT_EQ(geminiSessionTokens(transcript)->input, 2);
  // Tokens on anything but the model's own messages are not usage; a number-like text is.
  transcript.apply(record(R"({"id":"d","type":"info","tokens":{"input":500}})"));
  transcript.apply(record(R"({"id":"e","type":"gemini","tokens":{"input":"7","output":-3}})"));
  EXPECT_EQ(geminiSessionTokens(transcript)->input, 9);
  EXPECT_EQ(geminiSessionTokens(transcript)->output, 0);

  // A `$set` with a message list replaces the conversation.
  transcript.apply(record(
      R"({"$set":{"lastUpdated":"2026-12-06T09:30:00Z","messages":[{"id":"z","type":"gemini",)"
      R"("tokens":{"input":100,"total":100}},{"type":"gemini","tokens":{"input":1}}]}})"));
  ASSERT_EQ(transcript.messages().size(), 1u);
  EXPECT_EQ(geminiSessionTokens(transcript)->input, 100);
  EXPECT_EQ(transcript.lastUpdated(), "2026-12-06T09:30:00Z");
  // Gemini CLI starts over when it cannot find the message to rewind to.
  transcript.apply(record(R"({"$rewindTo":"unknown"})"));
  EXPECT_TRUE(transcript.messages().empty());
  EXPECT_FALSE(geminiSessionTokens(transcript));
  EXPECT_FALSE(geminiTranscriptUsageEvent(transcript, "/x/chats/session-1.jsonl", systemNow()));
}

TEST_F(GeminiUsageTest, TodayIsTheLocalCalendarDayAcrossSessions) {
  const std::string late = session("a", "session-2026-12-06T21-00-aaaaaaaa.jsonl");
  writeText(late, metadataLine("2026-12-06T21:00:00Z") +
                      geminiLine("g1", "2026-12-06T21:30:00Z", 1000, 1) +  // 23:30 at +02:00
                      geminiLine("g2", "2026-12-06T23:30:00Z", 200, 2));   // 01:30 next day
  setModified(late, at("2026-12-06T23:31:00Z"));
  const std::string morning = session("b", "session-2026-12-07T07-00-bbbbbbbb.jsonl");
  writeText(morning, metadataLine("2026-12-07T07:00:00Z") + userLine("u1", "2026-12-07T07:00:00Z") +
                         geminiLine("g1", "2026-12-07T07:00:05Z", 30, 3));
  setModified(morning, at("2026-12-07T07:01:00Z"));
  const Timestamp now = at("2026-12-07T08:00:00Z");

  auto events = loadGeminiTranscriptUsageEvents(root(), now, LabelTimeZone::fixedOffset(7200));
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].title, "Gemini CLI usage today");
  EXPECT_EQ(events[0].usage->tokens->values[0], 230);  // 200 + 30
  EXPECT_EQ(events[0].usage->tokens->values[1], 5);
  // As new as the newest session, so it is the one a tool row shows.
  EXPECT_EQ(events[0].usage->observedAt, "2026-12-07T07:00:05Z");
  EXPECT_EQ(events[1].usage->observedAt, "2026-12-07T07:00:05Z");
  EXPECT_EQ(events[1].transcriptPath, morning);
  EXPECT_EQ(events[2].transcriptPath, late);
  EXPECT_EQ(events[2].usage->tokens->values[0], 1200);  // a session keeps its whole history

  events = loadGeminiTranscriptUsageEvents(root(), now, LabelTimeZone::utc());
  EXPECT_EQ(events[0].usage->tokens->values[0], 30);
  // A day with no usage has no summary at all.
  events =
      loadGeminiTranscriptUsageEvents(root(), at("2026-12-09T08:00:00Z"), LabelTimeZone::utc());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].title, "Gemini CLI usage updated");
}

TEST_F(GeminiUsageTest, HalfWrittenLineWaitsAndOnlyAppendedBytesAreRead) {
  const std::string busy = session("p", "session-2026-12-06T10-00-busy0000.jsonl");
  const std::string idle = session("p", "session-2026-12-06T09-00-idle0000.jsonl");
  writeText(idle,
            metadataLine("2026-12-06T09:00:00Z") + geminiLine("g1", "2026-12-06T09:00:05Z", 7, 7));
  const std::string complete =
      metadataLine("2026-12-06T10:00:00Z") + geminiLine("g1", "2026-12-06T10:00:05Z", 100, 10);
  const std::string second = geminiLine("g2", "2026-12-06T10:01:05Z", 400, 40);
  const std::string firstHalf = second.substr(0, second.size() / 2);
  writeText(busy, complete + firstHalf);
  const Timestamp now = systemNow();
  const auto busyTokens = [&](const std::vector<GlimmetEvent>& events) {
    for (const auto& event : events) {
      if (event.transcriptPath == busy) return event.usage->tokens->values[0];
    }
    ADD_FAILURE() << "no event for the busy session";
    return -1.0;
  };

  uint64_t before = bytesRead();
  auto events = loadGeminiTranscriptUsageEvents(root(), now);
  EXPECT_EQ(bytesRead() - before, fs::file_size(busy) + fs::file_size(idle));
  EXPECT_EQ(busyTokens(events), 100);  // the cut line is not a message yet

  before = bytesRead();
  EXPECT_EQ(loadGeminiTranscriptUsageEvents(root(), now), events);
  EXPECT_EQ(bytesRead() - before, 0u);

  // Completing the line reads from where the complete lines ended (and the line feed before
  // it, which shows the file was appended to, not replaced); the idle file is not read.
  appendText(busy, second.substr(firstHalf.size()));
  before = bytesRead();
  events = loadGeminiTranscriptUsageEvents(root(), now);
  EXPECT_EQ(bytesRead() - before, second.size() + 1);
  EXPECT_EQ(busyTokens(events), 500);
  // Read again after another append, the completed line still counts once.
  appendText(busy, geminiLine("g2", "2026-12-06T10:01:06Z", 450, 40));
  events = loadGeminiTranscriptUsageEvents(root(), now);
  EXPECT_EQ(busyTokens(events), 550);

  // The store's periodic full scan reads every candidate whole and comes to the same figures.
  clearLocalUsageCaches();
  before = bytesRead();
  EXPECT_EQ(loadGeminiTranscriptUsageEvents(root(), now), events);
  EXPECT_EQ(bytesRead() - before, fs::file_size(busy) + fs::file_size(idle));

  // A file replaced by a shorter one is read from the start, not from the old position.
  writeText(busy, complete);
  events = loadGeminiTranscriptUsageEvents(root(), now);
  EXPECT_EQ(busyTokens(events), 100);
}

TEST_F(GeminiUsageTest, LoaderListCarriesGeminiRows) {
  writeText(session("p", "session-2026-12-06T10-00-cccccccc.jsonl"),
            metadataLine("2026-12-06T10:00:00Z") + geminiLine("g1", "2026-12-06T10:00:05Z", 5, 5));
  LocalToolRoots roots;
  roots.geminiTmpRoot = root();
  const auto events = loadLocalUsageEvents(roots, systemNow());
  ASSERT_FALSE(events.empty());
  for (const auto& event : events) EXPECT_EQ(event.usage->toolID, "gemini-cli");
  EXPECT_EQ(events.back().title, "Gemini CLI usage updated");
}

}  // namespace
}  // namespace glimmet
