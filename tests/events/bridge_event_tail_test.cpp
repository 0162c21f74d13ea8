#include "store/bridge_event_tail.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "platform/file_system.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::appendText;
using testing::TempDir;
using testing::writeText;

std::string line(const std::string& id, const std::string& extra = "") {
  return fmt::format(R"({{"event_id":"{}","source":"codex","title":"T {}"{}}})", id, id, extra) +
         "\n";
}

std::string usageLine(const std::string& id, const std::string& source) {
  return fmt::format(R"({{"event_id":"{}","source":"{}","notify_policy":"usage_only",)"
                     R"("usage":{{"five_hour_percent":10}}}})",
                     id, source) +
         "\n";
}

class BridgeEventTailTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string file = dir.file("events.jsonl");
  BridgeEventTail tail{file, EventParseContext{"/home/dev"}};
  Timestamp now = systemNow();

  bool reload() {
    now += std::chrono::seconds(1);
    return tail.reload(now, false);
  }
  std::vector<std::string> ids() const {
    std::vector<std::string> out;
    for (const auto& event : tail.bridgeEvents()) out.push_back(event.id);
    return out;
  }
};

TEST_F(BridgeEventTailTest, MissingFileIsEmptyAndAppendsAreReadIncrementally) {
  EXPECT_FALSE(reload());
  EXPECT_TRUE(tail.bridgeEvents().empty());

  writeText(file, line("a") + line("b"));
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "b"}));

  // A half-written line waits for its newline and is then parsed exactly once.
  const std::string c = line("c");
  appendText(file, c.substr(0, 10));
  const uint64_t before = fileSystemCounters().bytesRead;
  EXPECT_FALSE(reload());
  EXPECT_EQ(fileSystemCounters().bytesRead - before, 10u);  // only the new bytes were read
  EXPECT_EQ(tail.pendingFragment(), c.substr(0, 10));
  appendText(file, c.substr(10));
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(tail.pendingFragment().empty());

  // Unchanged size and date: nothing to do.
  EXPECT_FALSE(reload());

  // Lines that are not events are skipped without losing their neighbours.
  appendText(file, "not json\n{\"event_id\":7}\n\xff\xfe{\"event_id\":\"bad\"}\n" + line("d"));
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_F(BridgeEventTailTest, TruncatedOrReplacedFileIsReadAgain) {
  writeText(file, line("a") + line("b"));
  ASSERT_TRUE(reload());
  writeText(file, "");
  EXPECT_TRUE(reload());
  EXPECT_TRUE(tail.bridgeEvents().empty());

  writeText(file, line("x"));
  EXPECT_TRUE(reload());
  // Replaced by a longer file through rename: a new inode forces the full read.
  writeText(dir.file("other"), line("y") + line("z"));
  ASSERT_EQ(std::rename(dir.file("other").c_str(), file.c_str()), 0);
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"y", "z"}));

  ASSERT_EQ(std::remove(file.c_str()), 0);
  EXPECT_TRUE(reload());
  EXPECT_TRUE(tail.bridgeEvents().empty());
  EXPECT_FALSE(reload());  // still missing, already empty
}

TEST_F(BridgeEventTailTest, ThrottlesMetadataChecksUnlessForced) {
  writeText(file, line("a"));
  EXPECT_TRUE(tail.reload(now, false));
  appendText(file, line("b"));
  const uint64_t reads = fileSystemCounters().metadataReads;
  EXPECT_FALSE(tail.reload(now + std::chrono::milliseconds(300), false));
  EXPECT_EQ(fileSystemCounters().metadataReads, reads);
  EXPECT_TRUE(tail.reload(now + std::chrono::milliseconds(300), true));
  EXPECT_EQ(fileSystemCounters().metadataReads, reads + 1);
  appendText(file, line("c"));
  EXPECT_TRUE(tail.reload(now + std::chrono::milliseconds(650), false));
}

TEST_F(BridgeEventTailTest, KeepsNewest500AndTwelveUsageEventsPerToolBeyondThem) {
  std::string text;
  for (int i = 0; i < 15; ++i) text += usageLine(fmt::format("claude-u{}", i), "claude-code");
  for (int i = 0; i < 3; ++i) text += usageLine(fmt::format("codex-u{}", i), "codex");
  for (int i = 0; i < 600; ++i) text += line(fmt::format("e{}", i));
  writeText(file, text);
  ASSERT_TRUE(reload());
  ASSERT_EQ(tail.activeTail().size(), 500u);
  EXPECT_EQ(tail.activeTail().front().id, "e100");
  EXPECT_EQ(tail.activeTail().back().id, "e599");
  ASSERT_EQ(tail.usageHistory().size(), 15u);
  EXPECT_EQ(tail.usageHistory().front().id, "claude-u3");  // the oldest three fell out
  EXPECT_EQ(tail.usageHistory()[11].id, "claude-u14");
  EXPECT_EQ(tail.usageHistory().back().id, "codex-u2");
  EXPECT_EQ(tail.bridgeEvents().size(), 515u);
  EXPECT_EQ(tail.bridgeEvents().front().id, "claude-u3");

  // Appends keep the same limits.
  appendText(file, usageLine("claude-new", "claude-code") + line("e600"));
  ASSERT_TRUE(reload());
  EXPECT_EQ(tail.activeTail().size(), 500u);
  EXPECT_EQ(tail.activeTail().back().id, "e600");
  EXPECT_EQ(tail.usageHistory().front().id, "claude-u4");
  // The new usage line is both in the history and in the tail but listed once.
  EXPECT_EQ(tail.bridgeEvents().size(), 514u);
}

TEST_F(BridgeEventTailTest, FullReadTakesOnlyTheLastEightMiBStartingAtALineBoundary) {
  std::string text;
  const std::string padding(1000, 'p');
  int count = 0;
  while (text.size() < BridgeEventTail::kTailReadWindow + 50'000) {
    text += line(fmt::format("big{}", count++), fmt::format(R"(,"message":"{}")", padding));
  }
  writeText(file, text);
  const uint64_t before = fileSystemCounters().bytesRead;
  ASSERT_TRUE(reload());
  EXPECT_LE(fileSystemCounters().bytesRead - before, BridgeEventTail::kTailReadWindow);
  EXPECT_EQ(tail.activeTail().size(), 500u);
  EXPECT_EQ(tail.activeTail().back().id, fmt::format("big{}", count - 1));
}

}  // namespace
}  // namespace glimmet
