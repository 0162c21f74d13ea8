#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "model/receipt_notices.hpp"
#include "store/event_store.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::appendText;
using testing::TempDir;
using testing::writeText;

const GlimmetEvent* eventWithID(const EventStore& store, const std::string& id) {
  for (const auto& event : store.events()) {
    if (event.id == id) return &event;
  }
  return nullptr;
}

// An adapter's receipt that carries no time of its own: the notice takes the time Glimmet
// first saw it, and later reloads must not move it to "now" again.
TEST(ReceiptNoticeTimeTest, FailedChoiceNoticeKeepsTheTimeItWasFirstSeen) {
  TempDir dir;
  MainLoop loop;
  JsonFileUserDefaults defaults{dir.file("defaults.json")};
  Timestamp now = *parseInternetDateTime("2026-05-11T12:05:00Z", false);
  EventStoreOptions options;
  options.eventFile = dir.file("events/events.jsonl");
  options.auditFile = dir.file("support/audit.jsonl");
  options.parseContext.homeDirectory = "/home/dev";
  options.clock = [&now] { return now; };
  options.userDefaults = &defaults;
  options.localUsageLoadMode = LocalUsageLoadMode::synchronous;

  std::filesystem::create_directories(dir.file("events"));
  writeText(dir.file("events/events.jsonl"),
            R"({"event_id":"r1","event_type":"response_receipt",)"
            R"("receipt":{"target_event_id":"c1","action":"choose_option","status":"failed"}})"
            "\n");
  EventStore store(loop, options);
  store.reload(true);
  const std::string noticeID = "receipt-failed-c1-r1";
  const GlimmetEvent* notice = eventWithID(store, noticeID);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->rawTimestamp, "2026-05-11T12:05:00Z");
  const Timestamp firstSeen = notice->timestamp;

  // An hour later another event arrives and the store publishes again, twice.
  now += std::chrono::hours{1};
  appendText(dir.file("events/events.jsonl"),
             R"({"event_id":"later","source":"codex","timestamp":"2026-05-11T13:04:00Z"})"
             "\n");
  store.reload(true);
  store.publishEvents();
  ASSERT_NE(eventWithID(store, "later"), nullptr);
  notice = eventWithID(store, noticeID);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(notice->rawTimestamp, "2026-05-11T12:05:00Z");
  EXPECT_EQ(notice->timestamp, firstSeen);

  // A receipt that names its own time keeps that time.
  appendText(dir.file("events/events.jsonl"),
             R"({"event_id":"r2","event_type":"response_receipt",)"
             R"("receipt":{"target_event_id":"c2","action":"choose_option","status":"failed",)"
             R"("received_at":"2026-05-11T11:00:00Z"}})"
             "\n");
  store.reload(true);
  const GlimmetEvent* dated = eventWithID(store, "receipt-failed-c2-r2");
  ASSERT_NE(dated, nullptr);
  EXPECT_EQ(dated->rawTimestamp, "2026-05-11T11:00:00Z");
}

}  // namespace
}  // namespace glimmet
