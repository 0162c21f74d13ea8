#include "store/bridge_event_tail.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <fmt/format.h>

#include "platform/file_system.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::appendText;
using testing::TempDir;
using testing::writeText;

std::string tailLine(const std::string& id, const std::string& extra = "") {
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
  std::vector<std::string> logged;
  BridgeEventTail tail{file, EventParseContext{"/home/dev"},
                       [this](const std::string& text) { logged.push_back(text); }};
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

  writeText(file, tailLine("a") + tailLine("b"));
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "b"}));

  // A half-written line waits for its newline and is then parsed exactly once.
  const std::string c = tailLine("c");
  appendText(file, c.substr(0, 10));
  const uint64_t before = fileSystemCounters().bytesRead;
  EXPECT_FALSE(reload());
  // Only the new bytes were read, and the few before them that show the file was not rewritten.
  EXPECT_LE(fileSystemCounters().bytesRead - before, 10u + BridgeEventTail::kFingerprintLength);
  EXPECT_EQ(tail.pendingFragment(), c.substr(0, 10));
  appendText(file, c.substr(10));
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(tail.pendingFragment().empty());

  // Unchanged size and date: nothing to do.
  EXPECT_FALSE(reload());

  // Lines that are not events are skipped without losing their neighbours.
  appendText(file, "not json\n{\"event_id\":7}\n\xff\xfe{\"event_id\":\"bad\"}\n" + tailLine("d"));
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_F(BridgeEventTailTest, TruncatedOrReplacedFileIsReadAgain) {
  writeText(file, tailLine("a") + tailLine("b"));
  ASSERT_TRUE(reload());
  writeText(file, "");
  EXPECT_TRUE(reload());
  EXPECT_TRUE(tail.bridgeEvents().empty());

  writeText(file, tailLine("x"));
  EXPECT_TRUE(reload());
  // Replaced by a longer file through rename: a new inode forces the full read.
  writeText(dir.file("other"), tailLine("y") + tailLine("z"));
  ASSERT_EQ(std::rename(dir.file("other").c_str(), file.c_str()), 0);
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"y", "z"}));

  ASSERT_EQ(std::remove(file.c_str()), 0);
  EXPECT_TRUE(reload());
  EXPECT_TRUE(tail.bridgeEvents().empty());
  EXPECT_FALSE(reload());  // still missing, already empty
}

TEST_F(BridgeEventTailTest, ThrottlesMetadataChecksUnlessForced) {
  writeText(file, tailLine("a"));
  EXPECT_TRUE(tail.reload(now, false));
  appendText(file, tailLine("b"));
  const uint64_t reads = fileSystemCounters().metadataReads;
  EXPECT_FALSE(tail.reload(now + std::chrono::milliseconds(300), false));
  EXPECT_EQ(fileSystemCounters().metadataReads, reads);
  EXPECT_TRUE(tail.reload(now + std::chrono::milliseconds(300), true));
  EXPECT_EQ(fileSystemCounters().metadataReads, reads + 1);
  appendText(file, tailLine("c"));
  EXPECT_TRUE(tail.reload(now + std::chrono::milliseconds(650), false));
}

TEST_F(BridgeEventTailTest, KeepsNewest500AndTwelveUsageEventsPerToolBeyondThem) {
  std::string text;
  for (int i = 0; i < 15; ++i) text += usageLine(fmt::format("claude-u{}", i), "claude-code");
  for (int i = 0; i < 3; ++i) text += usageLine(fmt::format("codex-u{}", i), "codex");
  for (int i = 0; i < 600; ++i) text += tailLine(fmt::format("e{}", i));
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
  appendText(file, usageLine("claude-new", "claude-code") + tailLine("e600"));
  ASSERT_TRUE(reload());
  EXPECT_EQ(tail.activeTail().size(), 500u);
  EXPECT_EQ(tail.activeTail().back().id, "e600");
  EXPECT_EQ(tail.usageHistory().front().id, "claude-u4");
  // The new usage line is both in the history and in the tail but listed once.
  EXPECT_EQ(tail.bridgeEvents().size(), 514u);
}

TEST_F(BridgeEventTailTest, UsageHistoryBeyondTheTailCountsEachLinesOwnToolAndPolicy) {
  // Older than the tail: the tool comes from the usage object's own tool id before the source,
  // and a repeated notify policy counts with its last value, as the event parser reads them.
  std::string text;
  for (int i = 0; i < 14; ++i) text += usageLine(fmt::format("claude-u{}", i), "claude-code");
  text += R"({"event_id":"own-tool","source":"claude-code","notify_policy":"usage_only",)"
          R"("usage":{"tool_id":"gemini-cli","five_hour_percent":3}})"
          "\n";
  text += R"({"event_id":"policy-last","source":"claude-code","notify_policy":"usage_only",)"
          R"("notify_policy":"silent","usage":{"five_hour_percent":3}})"
          "\n";
  text += R"({"event_id":"policy-last-usage","source":"gemini","notify_policy":"silent",)"
          R"("notify_policy":"usage_only","usage":{"five_hour_percent":3}})"
          "\n";
  for (int i = 0; i < 500; ++i) text += tailLine(fmt::format("e{}", i));
  writeText(file, text);
  ASSERT_TRUE(reload());
  std::vector<std::string> history;
  for (const auto& event : tail.usageHistory()) history.push_back(event.id);
  ASSERT_EQ(history.size(), 14u);
  EXPECT_EQ(history.front(), "claude-u2");
  EXPECT_EQ(history[11], "claude-u13");
  EXPECT_EQ(history[12], "own-tool");
  EXPECT_EQ(history[13], "policy-last-usage");
}

TEST_F(BridgeEventTailTest, ManyOlderUsageLinesKeepTheNewestTwelvePerToolInFileOrder) {
  // Enough usage lines beyond the tail for them to be probed on two threads, among lines that
  // only look like candidates; and lines in the newest part that are no events, so that the
  // tail reaches further back than its 500 lines.
  const char* const tools[] = {"claude-code", "codex", "gemini"};
  std::string text;
  for (int i = 0; i < 900; ++i) {
    text += usageLine(fmt::format("u{}", i), tools[i % 3]);
    if (i % 7 == 0) {
      text += R"({"event_id":"quiet","source":"codex","notify_policy":"silent","usage":{}})"
              "\n";
      text += "{\"event_id\":\"broken\",\"notify_policy\":\"usage_only\",\n";
    }
  }
  // Ten codex usage lines: nine are the tail's oldest events, counted there before any older
  // line; the tenth is just beyond the tail, where the tail has reached past its 500 lines.
  for (int i = 0; i < 10; ++i) text += usageLine(fmt::format("t{}", i), "codex");
  for (int i = 0; i < 520; ++i) {
    text += i % 18 == 5 ? "not json at all\n" : tailLine(fmt::format("e{}", i));
  }
  writeText(file, text);
  ASSERT_TRUE(reload());
  ASSERT_EQ(tail.activeTail().size(), 500u);
  EXPECT_EQ(tail.activeTail().front().id, "t1");
  EXPECT_EQ(tail.activeTail().back().id, "e519");
  // Claude Code and Gemini keep their newest twelve; Codex has its ten, so two more.
  std::vector<std::string> expected;
  for (int i = 0; i < 900; ++i) {
    const bool kept = i % 3 == 1 ? i >= 895 : i >= 864;
    if (kept) expected.push_back(fmt::format("u{}", i));
  }
  for (int i = 0; i < 10; ++i) expected.push_back(fmt::format("t{}", i));
  std::vector<std::string> history;
  for (const auto& event : tail.usageHistory()) history.push_back(event.id);
  EXPECT_EQ(history, expected);
}

TEST_F(BridgeEventTailTest, AnAppendOfMoreLinesThanTheTailKeepsTheNewest500InOrder) {
  std::string text;
  for (int i = 0; i < 10; ++i) text += tailLine(fmt::format("old{}", i));
  text += usageLine("usage-old", "codex");
  writeText(file, text);
  ASSERT_TRUE(reload());
  text.clear();
  for (int i = 0; i < 700; ++i) text += tailLine(fmt::format("e{}", i));
  appendText(file, text);
  ASSERT_TRUE(reload());
  ASSERT_EQ(tail.activeTail().size(), 500u);
  EXPECT_EQ(tail.activeTail().front().id, "e200");
  EXPECT_EQ(tail.activeTail().back().id, "e699");
  ASSERT_EQ(tail.usageHistory().size(), 1u);
  EXPECT_EQ(ids().front(), "usage-old");
  EXPECT_EQ(ids().size(), 501u);

  appendText(file, tailLine("e700") + tailLine("e701"));
  ASSERT_TRUE(reload());
  ASSERT_EQ(tail.activeTail().size(), 500u);
  EXPECT_EQ(tail.activeTail().front().id, "e202");
  EXPECT_EQ(tail.activeTail()[497].id, "e699");
  EXPECT_EQ(tail.activeTail().back().id, "e701");
}

TEST_F(BridgeEventTailTest, OlderUsageLinesWithBrokenUtf8AreSkippedAndTheirNeighboursCount) {
  // Enough older lines for the second thread; every fifth usage line of each tool carries bytes
  // that are not UTF-8, and one tool's newest older line does.
  std::string text;
  for (int i = 0; i < 600; ++i) {
    const std::string extra = i % 5 == 0 ? ",\"message\":\"\xff\xfe\"" : "";
    text += fmt::format(R"({{"event_id":"u{}","source":"{}","notify_policy":"usage_only",)"
                        R"("usage":{{"five_hour_percent":10}}{}}})",
                        i, i % 2 == 0 ? "codex" : "gemini", extra) +
            "\n";
  }
  for (int i = 0; i < 500; ++i) text += tailLine(fmt::format("e{}", i));
  writeText(file, text);
  ASSERT_TRUE(reload());
  std::vector<std::string> expected;
  int codex = 0;
  int gemini = 0;
  std::vector<std::string> newestFirst;
  for (int i = 599; i >= 0; --i) {
    if (i % 5 == 0) continue;
    int& count = i % 2 == 0 ? codex : gemini;
    if (count++ < 12) newestFirst.push_back(fmt::format("u{}", i));
  }
  expected.assign(newestFirst.rbegin(), newestFirst.rend());
  std::vector<std::string> history;
  for (const auto& event : tail.usageHistory()) history.push_back(event.id);
  EXPECT_EQ(history, expected);
  EXPECT_EQ(tail.activeTail().front().id, "e0");
}

TEST_F(BridgeEventTailTest, AWindowReadInTwoHalvesKeepsTheLineAcrossTheirSeam) {
  // Megabytes of lines, each half with usage lines of tools seen once, and in the middle the
  // one line that the two halves of the read meet inside (both halves are the same length).
  const auto half = [](char prefix) {
    std::string text;
    const std::string filler(200, 'f');
    for (int i = 0; i < 100; ++i) {
      for (int j = 0; j < 40; ++j) {
        text += tailLine(fmt::format("{}-{:03}-{:02}", prefix, i, j),
                         fmt::format(R"(,"message":"{}")", filler));
      }
      text += fmt::format(R"({{"event_id":"{}-usage-{:03}","source":"codex",)"
                          R"("notify_policy":"usage_only","usage":{{"tool_id":"{}-tool-{:03}"}}}})",
                          prefix, i, prefix, i) +
              "\n";
    }
    return text;
  };
  const std::string seam = R"({"event_id":"seam","source":"codex","notify_policy":"usage_only",)"
                           R"("usage":{"tool_id":"seam-tool","five_hour_percent":5}})"
                           "\n";
  const std::string older = half('a');
  const std::string newer = half('b');
  ASSERT_EQ(older.size(), newer.size());
  ASSERT_GT(older.size(), size_t{1} << 20);
  writeText(file, older + seam + newer);
  ASSERT_TRUE(reload());
  std::set<std::string> tools;
  for (const auto& event : tail.usageHistory()) tools.insert(event.usage->toolID);
  EXPECT_EQ(tools.size(), 201u);
  EXPECT_TRUE(tools.count("seam-tool"));
  EXPECT_TRUE(tools.count("a-tool-000"));
  EXPECT_TRUE(tools.count("b-tool-099"));
}

TEST_F(BridgeEventTailTest, LineWithBrokenUtf8IsSkippedAndTheRestOfTheWindowRead) {
  writeText(file, tailLine("a") + tailLine("b", ",\"message\":\"\xff\xfe\"") + tailLine("c") +
                      tailLine("d", ",\"message\":\"\xe2\x82\xac fine\""));
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(tail.bridgeEvents().back().message, "\xe2\x82\xac fine");
  // The same on the append path.
  appendText(file, tailLine("e", ",\"title\":\"\xc0\xaf\"") + tailLine("f"));
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "c", "d", "f"}));
}

TEST_F(BridgeEventTailTest, FullReadTakesOnlyTheLastEightMiBStartingAtALineBoundary) {
  std::string text;
  const std::string padding(1000, 'p');
  int count = 0;
  while (text.size() < BridgeEventTail::kTailReadWindow + 50'000) {
    text += tailLine(fmt::format("big{}", count++), fmt::format(R"(,"message":"{}")", padding));
  }
  writeText(file, text);
  const uint64_t before = fileSystemCounters().bytesRead;
  ASSERT_TRUE(reload());
  // The window, a few KiB of the line crossing its start to tell that it is not over-long, and
  // the fingerprint of the file's end.
  EXPECT_LE(fileSystemCounters().bytesRead - before, BridgeEventTail::kTailReadWindow + 8192);
  EXPECT_EQ(tail.activeTail().size(), 500u);
  EXPECT_EQ(tail.activeTail().back().id, fmt::format("big{}", count - 1));
}

TEST_F(BridgeEventTailTest, BytesArrivingBetweenMeasuringAndReadingAreReadOnce) {
  // A writer appends while the tail reads: bytes that arrive after the size was measured
  // belong to the next read, not to this one as well.
  const std::string a = tailLine("a");
  const std::string b = tailLine("b");
  const std::string c = tailLine("c");
  writeText(file, a + b.substr(0, 5));
  tail.setSizeMeasuredHook([&] { appendText(file, b.substr(5, 7)); });
  ASSERT_TRUE(reload());  // the full read
  tail.setSizeMeasuredHook([&] { appendText(file, b.substr(12, 3)); });
  EXPECT_FALSE(reload());  // the append path, still inside line b
  tail.setSizeMeasuredHook([&] { appendText(file, c.substr(0, 9)); });
  appendText(file, b.substr(15));
  EXPECT_TRUE(reload());
  tail.setSizeMeasuredHook({});
  appendText(file, c.substr(9));
  EXPECT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(tail.pendingFragment().empty());
  EXPECT_EQ(tail.lastEventFileSize(), a.size() + b.size() + c.size());
}

TEST_F(BridgeEventTailTest, RewriteInPlaceThatEndsLargerIsReadAgain) {
  writeText(file, tailLine("a") + tailLine("b"));
  ASSERT_TRUE(reload());
  // Truncated and written again through the same descriptor: same file, larger than before,
  // but none of the old lines is left.
  writeText(file, tailLine("x", R"(,"message":"rewritten")") + tailLine("y"));
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"x", "y"}));
  // A plain append after the rewrite is still read incrementally.
  appendText(file, tailLine("z"));
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"x", "y", "z"}));
}

TEST_F(BridgeEventTailTest, LineLongerThanTheReadWindowIsSkippedAndItsNeighboursKept) {
  const std::string overlong = R"({"event_id":"huge","message":")" +
                               std::string(BridgeEventTail::kTailReadWindow, 'h') + "\"}\n";
  // Last in the file: the lines before it are still events.
  writeText(file, tailLine("a") + tailLine("b") + overlong);
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"a", "b"}));
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("longer than"), std::string::npos) << logged[0];

  // In the middle of the file: lines on both sides are kept.
  logged.clear();
  writeText(dir.file("other"), tailLine("c") + overlong + tailLine("d"));
  ASSERT_EQ(std::rename(dir.file("other").c_str(), file.c_str()), 0);
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"c", "d"}));
  EXPECT_EQ(logged.size(), 1u);

  // Appended: the events read so far stay, and so do the ones after it.
  logged.clear();
  appendText(file, overlong);
  reload();
  appendText(file, tailLine("e"));
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"c", "d", "e"}));
  EXPECT_EQ(logged.size(), 1u);

  // Arriving in pieces: held while it could still fit, then dropped up to its newline.
  logged.clear();
  const size_t half = overlong.size() / 2;
  const size_t almost = overlong.size() - 10;
  appendText(file, overlong.substr(0, half));
  reload();
  EXPECT_EQ(tail.pendingFragment().size(), half);
  appendText(file, overlong.substr(half, almost - half));
  reload();
  EXPECT_TRUE(tail.pendingFragment().empty());
  appendText(file, overlong.substr(almost) + tailLine("f"));
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"c", "d", "e", "f"}));
  EXPECT_TRUE(tail.pendingFragment().empty());
  EXPECT_EQ(logged.size(), 1u);
}

TEST_F(BridgeEventTailTest, EventFileThatIsNotARegularFileIsReportedNotRead) {
  writeText(file, tailLine("a"));
  ASSERT_TRUE(reload());

  // A directory in its place: no events, one clear line, however often it is checked.
  ASSERT_EQ(std::remove(file.c_str()), 0);
  std::filesystem::create_directory(file);
  EXPECT_TRUE(reload());
  EXPECT_TRUE(tail.bridgeEvents().empty());
  EXPECT_FALSE(reload());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find(file), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].find("not a regular file"), std::string::npos) << logged[0];

  // A file again: read as usual.
  std::filesystem::remove(file);
  writeText(file, tailLine("b"));
  ASSERT_TRUE(reload());
  EXPECT_EQ(ids(), (std::vector<std::string>{"b"}));

  // A FIFO nobody writes to must not block the reader.
  logged.clear();
  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_TRUE(reload());
  EXPECT_TRUE(tail.bridgeEvents().empty());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("not a regular file"), std::string::npos) << logged[0];
}

TEST_F(BridgeEventTailTest, LoneSurrogateEscapeBecomesReplacementCharacter) {
  writeText(file, tailLine("high", R"(,"message":"a\ud800b")") +
                      tailLine("low", R"(,"message":"\udc00")") +
                      tailLine("pair", R"(,"message":"\ud83d\ude00")") +
                      tailLine("escaped", R"(,"message":"\\ud800")") +
                      tailLine("high-then-high", R"(,"message":"\ud800\ud83d\ude00")"));
  ASSERT_TRUE(reload());
  ASSERT_EQ(ids(), (std::vector<std::string>{"high", "low", "pair", "escaped", "high-then-high"}));
  const auto& events = tail.bridgeEvents();
  EXPECT_EQ(events[0].message,
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(events[1].message, "\xEF\xBF\xBD");
  EXPECT_EQ(events[2].message, "\xF0\x9F\x98\x80");
  EXPECT_EQ(events[3].message, "\\ud800");
  EXPECT_EQ(events[4].message, "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace glimmet
