#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "model/usage_date.hpp"
#include "support/test_support.hpp"
#include "usage/hotplug_trae.hpp"

namespace glimmet {
namespace {

using namespace std::chrono_literals;
using testing::fixturePath;
using testing::readText;
using testing::TempDir;
using testing::writeText;

const std::string kLogPath =
    "/Users/dev/Library/Application Support/Trae/logs/20260511T101500/"
    "window1/renderer.log";

// The log writes local time without a zone, and so do these.
Timestamp localTime(const char* text) {
  return *parseUsageDate(text);
}

std::string completionLine(const std::string& time, const std::string& params) {
  return time + " [info] [TraeCodeCompleteShown] params: " + params + "\n";
}

TEST(TraeHotplug, SoloCompletionKeepsTheSoloIdentity) {
  const Timestamp now = localTime("2026-05-11 10:33:45");
  const auto event = traeLogHotplugCompletionEvent(
      readText(fixturePath("hotplug/trae-renderer.log")), kLogPath, now);
  ASSERT_TRUE(event);
  // The newer of the two completions, from the SOLO agent.
  EXPECT_EQ(event->source, "trae-solo");
  EXPECT_EQ(event->title, "Trae SOLO completed");
  EXPECT_EQ(event->sourceType, "desktop_app");
  EXPECT_EQ(event->eventType, EventType::taskCompleted);
  EXPECT_EQ(event->status.raw(), "completed");
  EXPECT_EQ(event->severity.raw(), "success");
  EXPECT_EQ(event->notifyPolicy.raw(), "immediate");
  EXPECT_EQ(event->message, "Built the landing page and ran the tests.");
  EXPECT_EQ(event->completionSnippet, event->message);
  EXPECT_EQ(event->preview.agent, event->message);
  EXPECT_EQ(event->sessionId, "solo-session-7");
  EXPECT_TRUE(event->id.starts_with("hotplug-trae-completion-solo-session-7-"));
  EXPECT_EQ(std::chrono::floor<std::chrono::seconds>(event->timestamp),
            localTime("2026-05-11 10:23:45"));
  EXPECT_EQ(event->transcriptPath, kLogPath);
  EXPECT_EQ(event->rawEventName, "TraeCodeCompleteShown");

  // Read again, it is the same event.
  EXPECT_EQ(traeLogHotplugCompletionEvent(readText(fixturePath("hotplug/trae-renderer.log")),
                                          kLogPath, now + 1min)
                ->id,
            event->id);
}

TEST(TraeHotplug, IdeCompletionAndTheSixHourLimit) {
  const std::string text =
      completionLine("2026-05-11 04:00:00.000",
                     R"({"agent_id":"solo_agent","session_id":"old","completion_snippet":"x"})") +
      completionLine("2026-05-11 09:00:00.250",
                     R"({"agent_id":"Builder","session_id":"s1","completion_snippet":"Done."})");
  auto event = traeLogHotplugCompletionEvent(text, kLogPath, localTime("2026-05-11 10:00:00"));
  ASSERT_TRUE(event);
  EXPECT_EQ(event->source, "trae-ide");
  EXPECT_EQ(event->title, "Trae completed");
  EXPECT_EQ(event->sessionId, "s1");

  // Six hours after the newer line both are too old; just before, the newer one still counts.
  EXPECT_FALSE(traeLogHotplugCompletionEvent(text, kLogPath, localTime("2026-05-11 15:00:01")));
  event = traeLogHotplugCompletionEvent(text, kLogPath, localTime("2026-05-11 14:59:59"));
  ASSERT_TRUE(event);
  EXPECT_EQ(event->sessionId, "s1");

  // Only the older line in the log: past its six hours, nothing.
  EXPECT_FALSE(traeLogHotplugCompletionEvent(
      completionLine("2026-05-11 04:00:00.000", R"({"agent_id":"solo_agent"})"), kLogPath,
      localTime("2026-05-11 10:00:01")));
}

TEST(TraeHotplug, LinesWithoutTimeOrParametersAreSkipped) {
  const Timestamp now = localTime("2026-05-11 10:00:00");
  const std::string good = completionLine("2026-05-11 09:59:00.000", R"({"agent_id":"a"})");
  for (const std::string& text : {
           std::string(),
           std::string("2026-05-11 09:59:00.000 [info] [TraeCodeCompleteShown]\n"),
           completionLine("2026-05-11 09:59:00.000", "not json"),
           completionLine("2026-05-11 09:59:00.000", R"({"agent_id":"a", "session_id": )"),
           completionLine("2026-05-11 09:59:00.000", "[1, 2]"),
           completionLine("[info]", R"({"agent_id":"a"})"),
           completionLine("2026-13-45 99:99:99.000", R"({"agent_id":"a"})"),
           good.substr(0, 30),
           std::string("2026-05-11 09:59:00.000 [info] params: {\"agent_id\":\"a\"}\n"),
       }) {
    EXPECT_FALSE(traeLogHotplugCompletionEvent(text, kLogPath, now)) << text;
  }

  // Without a snippet the card says what happened in general; without a session the id still
  // stays the same for the same line of the same log.
  const auto event = traeLogHotplugCompletionEvent(good, kLogPath, now);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->message, "Task completed");
  EXPECT_FALSE(event->sessionId);
  EXPECT_EQ(traeLogHotplugCompletionEvent(good, kLogPath, now)->id, event->id);
  EXPECT_NE(traeLogHotplugCompletionEvent(good, kLogPath + ".1", now)->id, event->id);
}

TEST(TraeHotplug, LogTimestamps) {
  const auto expected = [](const char* local) { return formatIso8601(localTime(local)); };
  EXPECT_EQ(traeLogTimestamp("2026-05-11 10:23:45.123 [info] x"), expected("2026-05-11 10:23:45"));
  EXPECT_EQ(traeLogTimestamp("[2026-05-11 10:23:45,123] [info] x"),
            expected("2026-05-11 10:23:45"));
  EXPECT_EQ(traeLogTimestamp("2026-05-11T10:23:45Z [info]"), "2026-05-11T10:23:45Z");
  EXPECT_EQ(traeLogTimestamp("2026-05-11T10:23:45.5+02:00 [info]"), "2026-05-11T08:23:45Z");
  EXPECT_FALSE(traeLogTimestamp("[info] 2026-05-11 10:23:45"));
  EXPECT_FALSE(traeLogTimestamp("2026-05-11"));
  EXPECT_FALSE(traeLogTimestamp(""));
}

TEST(TraeHotplug, LoaderReadsTheNewestRendererLogs) {
  TempDir root;
  const std::string logs = root.file("logs");
  const std::string window = logs + "/20260511T101500/window1";
  std::filesystem::create_directories(window);
  const auto now = systemNow();
  const std::string recent =
      completionLine(formatIso8601(now - 5min),
                     R"({"agent_id":"solo","sessionId":"s9","completionSnippet":"Shipped."})");
  writeText(window + "/renderer.log", recent);
  writeText(window + "/main.log", recent);
  writeText(window + "/renderer.txt", recent);

  EXPECT_EQ(recentTraeRendererLogFiles(logs), (std::vector<std::string>{window + "/renderer.log"}));
  const auto events = loadTraeLogHotplugEvents(logs, now);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].source, "trae-solo");
  EXPECT_EQ(events[0].message, "Shipped.");

  EXPECT_TRUE(loadTraeLogHotplugEvents(root.file("missing"), now).empty());
  EXPECT_TRUE(loadTraeLogHotplugEvents(std::nullopt, now).empty());
}

}  // namespace
}  // namespace glimmet
