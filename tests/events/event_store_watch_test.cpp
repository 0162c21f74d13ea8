// The store's watches of the event file and its directory, on real files and the real main
// loop. Nothing here drives the 10-second fallback reload: what arrives, arrives by a watch.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <fmt/format.h>

#include "store/event_store.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::TempDir;
using testing::writeText;

constexpr Seconds kDeadline{10.0};

std::string watchedLine(const std::string& id) {
  return fmt::format(R"({{"event_id":"{}","source":"codex","session_id":"{}","title":"T {}"}})", id,
                     id, id) +
         "\n";
}

class EventStoreWatchTest : public ::testing::Test {
 protected:
  TempDir dir;
  MainLoop loop;
  std::string eventDirectory = dir.file("data/Glimmet");
  std::string eventFile = eventDirectory + "/events.jsonl";
  std::unique_ptr<EventStore> store;

  void SetUp() override {
    EventStoreOptions options;
    options.eventFile = eventFile;
    options.auditFile = dir.file("audit.jsonl");
    options.parseContext.homeDirectory = "/home/dev";
    options.localUsageLoadMode = LocalUsageLoadMode::synchronous;
    options.log = [](const std::string&) {};
    store = std::make_unique<EventStore>(loop, std::move(options));
    store->reload(true);
    store->startMonitoringBridgeEvents();
  }

  bool shows(const std::string& id) {
    for (const auto& event : store->bridgeEvents()) {
      if (event.id == id) return true;
    }
    return false;
  }
};

TEST_F(EventStoreWatchTest, DirectoryDeletedAndCreatedAgainIsWatchedAgain) {
  writeText(eventFile, watchedLine("before"));
  ASSERT_TRUE(loop.runUntil([&] { return shows("before"); }, kDeadline));

  for (int round = 1; round <= 2; ++round) {
    std::filesystem::remove_all(eventDirectory);
    ASSERT_TRUE(loop.runUntil([&] { return store->bridgeEvents().empty(); }, kDeadline))
        << "round " << round;

    std::filesystem::create_directories(eventDirectory);
    const std::string id = fmt::format("round-{}", round);
    writeText(eventFile, watchedLine(id));
    ASSERT_TRUE(loop.runUntil([&] { return shows(id); }, kDeadline)) << "round " << round;

    // Appends to the new file arrive too.
    const std::string appended = fmt::format("round-{}-appended", round);
    testing::appendText(eventFile, watchedLine(appended));
    ASSERT_TRUE(loop.runUntil([&] { return shows(appended); }, kDeadline)) << "round " << round;
  }
}

}  // namespace
}  // namespace glimmet
