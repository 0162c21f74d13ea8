// `glimmet run` as a separate process, fed by other processes appending to the event file the
// way the bridge scripts do. Nothing here is faked: real inotify watches, real pipes, real
// signals.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/time.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

constexpr const char* kHeader = "── Glimmet · ";
// Generous: the machine may be busy compiling; the latency target itself is far lower.
constexpr double kEventDeadline = 10;
using SteadyClock = std::chrono::steady_clock;

// The inbox blocks printed so far, each starting at its header line.
std::vector<std::string> inboxBlocks(const std::string& output) {
  std::vector<std::string> blocks;
  size_t pos = output.find(kHeader);
  while (pos != std::string::npos) {
    const size_t next = output.find(kHeader, pos + 1);
    blocks.push_back(
        output.substr(pos, next == std::string::npos ? std::string::npos : next - pos));
    pos = next;
  }
  return blocks;
}

size_t occurrences(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos;
       pos = text.find(needle, pos + needle.size())) {
    ++count;
  }
  return count;
}

// The title is followed by a newline in the console, so "Probe 1\n" does not match "Probe 10".
std::string titleLine(const std::string& title) {
  return "  " + title + "\n";
}

class RunCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("events"));
    std::filesystem::create_directories(dir_.file("home"));
  }

  std::vector<std::string> environment() const {
    return isolatedEnvironment(dir_.path(), eventFile_);
  }

  // One event line as a bridge writes it; each call is one second newer than the last, so
  // the newest message is always the last one written.
  std::string eventLine(const std::string& id, const std::string& title) {
    ++sequence_;
    const std::string timestamp = formatIso8601(systemNow() + std::chrono::seconds(sequence_));
    return R"({"event_id":")" + id +
           R"(","source":"claude-code","event_type":"task_updated","session_id":"session-)" + id +
           R"(","title":")" + title + R"(","timestamp":")" + timestamp + R"("})";
  }

  // Another process writes to the file, as an agent's hook would.
  void shell(const std::string& script, const std::string& text = "") {
    auto result = runToCompletion({"/bin/sh", "-c", script, "sh", text, eventFile_}, environment());
    ASSERT_EQ(result.exitCode(), 0) << script;
  }
  void shellAppend(const std::string& text) { shell(R"(printf '%s' "$1" >> "$2")", text); }

  std::unique_ptr<ChildProcess> startGlimmet() {
    return std::make_unique<ChildProcess>(
        ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment()));
  }

  // Waits until a block after the first `known` blocks holds `needle`; returns when it was seen.
  std::optional<SteadyClock::time_point> waitForBlock(ChildProcess& child, size_t known,
                                                      const std::string& needle) {
    const bool seen = child.waitUntil(
        [&] {
          const auto blocks = inboxBlocks(child.output());
          return std::any_of(
              blocks.begin() + static_cast<long>(std::min(known, blocks.size())), blocks.end(),
              [&](const std::string& block) { return block.find(needle) != std::string::npos; });
        },
        kEventDeadline);
    return seen ? std::optional(SteadyClock::now()) : std::nullopt;
  }

  size_t blockCount(ChildProcess& child) const { return inboxBlocks(child.output()).size(); }
  std::string lastBlock(ChildProcess& child) const {
    const auto blocks = inboxBlocks(child.output());
    return blocks.empty() ? std::string() : blocks.back();
  }

  void expectCleanExitOnSigterm(ChildProcess& child) {
    ASSERT_EQ(::kill(child.pid(), SIGTERM), 0);
    ASSERT_TRUE(child.waitExit(10)) << "glimmet run did not exit after SIGTERM";
    ASSERT_TRUE(WIFEXITED(child.status())) << "terminated by signal " << WTERMSIG(child.status());
    EXPECT_EQ(child.exitCode(), 0);
  }

  TempDir dir_;
  std::string eventFile_ = dir_.file("events/events.jsonl");
  int sequence_ = 0;
};

TEST_F(RunCommandTest, AppendedLinesAppearPromptlyOnceAndOnlyWhenComplete) {
  writeText(eventFile_, eventLine("seed", "Seed task") + "\n");
  auto child = startGlimmet();
  // The load publishes one block and start-up prints the inbox once more.
  ASSERT_TRUE(
      child->waitUntil([&] { return inboxBlocks(child->output()).size() >= 2; }, kEventDeadline))
      << child->output();
  ASSERT_NE(child->output().find("[Glimmet] Watching " + eventFile_), std::string::npos);
  ASSERT_NE(lastBlock(*child).find(titleLine("Seed task")), std::string::npos);

  // Each append gives exactly one new block, naming the new line, well within a second.
  std::vector<double> latencies;
  for (int probe = 1; probe <= 5; ++probe) {
    const size_t before = blockCount(*child);
    const std::string title = "Probe " + std::to_string(probe);
    const auto appendStarted = SteadyClock::now();
    shellAppend(eventLine("probe-" + std::to_string(probe), title) + "\n");
    const auto seen = waitForBlock(*child, before, titleLine(title));
    ASSERT_TRUE(seen.has_value()) << title << " never appeared:\n" << child->output();
    latencies.push_back(std::chrono::duration<double, std::milli>(*seen - appendStarted).count());
    EXPECT_EQ(blockCount(*child), before + 1) << "one append must publish once";
    EXPECT_EQ(occurrences(lastBlock(*child), titleLine(title)), 1u);
    EXPECT_NE(lastBlock(*child).find("· " + std::to_string(probe + 1) + " messages ·"),
              std::string::npos)
        << lastBlock(*child);
  }
  std::sort(latencies.begin(), latencies.end());
  std::printf("[ latency  ] append -> console block, ms: min %.1f, median %.1f, max %.1f\n",
              latencies.front(), latencies[latencies.size() / 2], latencies.back());
  for (const double ms : latencies) EXPECT_LT(ms, 1000.0);

  // One write holds a complete line and the first half of another. The block of the complete
  // line proves the write was read; the half line must not be in it.
  const std::string half = eventLine("half", "Half line");
  const size_t cut = half.size() / 2;
  size_t before = blockCount(*child);
  shellAppend(eventLine("whole", "Whole line") + "\n" + half.substr(0, cut));
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("Whole line"))) << child->output();
  EXPECT_EQ(blockCount(*child), before + 1);
  EXPECT_EQ(child->output().find("Half line"), std::string::npos);

  // The rest of the line and its newline: now it appears, once.
  before = blockCount(*child);
  shellAppend(half.substr(cut) + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("Half line"))) << child->output();
  EXPECT_EQ(blockCount(*child), before + 1);
  EXPECT_EQ(occurrences(lastBlock(*child), titleLine("Half line")), 1u);

  // A later append must not parse the completed fragment a second time.
  before = blockCount(*child);
  shellAppend(eventLine("after-half", "After half") + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("After half"))) << child->output();
  EXPECT_EQ(occurrences(lastBlock(*child), titleLine("Half line")), 1u);
  EXPECT_NE(lastBlock(*child).find("· 9 messages ·"), std::string::npos) << lastBlock(*child);

  expectCleanExitOnSigterm(*child);
}

TEST_F(RunCommandTest, TruncatedDeletedAndReplacedFilesArePickedUp) {
  // Start without an event file: its directory is watched until it appears.
  auto child = startGlimmet();
  ASSERT_TRUE(child->waitForOutput("All clear · waiting for agent events", kEventDeadline))
      << child->output();

  size_t before = blockCount(*child);
  shell(R"(printf '%s' "$1" > "$2")", eventLine("created", "Created later") + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("Created later"))) << child->output();

  before = blockCount(*child);
  shellAppend(eventLine("second", "Second line") + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("Second line"))) << child->output();
  EXPECT_NE(lastBlock(*child).find("· 2 messages ·"), std::string::npos) << lastBlock(*child);

  // Truncated to empty: a block with no messages.
  before = blockCount(*child);
  shell(R"(: > "$2")");
  ASSERT_TRUE(waitForBlock(*child, before, "· 0 messages ·")) << child->output();
  EXPECT_EQ(lastBlock(*child).find("Created later"), std::string::npos);

  // Written again after the truncation.
  before = blockCount(*child);
  shellAppend(eventLine("before-delete", "Before delete") + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("Before delete"))) << child->output();

  // Deleted: the events are gone.
  before = blockCount(*child);
  shell(R"(rm -f "$2")");
  ASSERT_TRUE(waitForBlock(*child, before, "· 0 messages ·")) << child->output();

  // Written again: a new file, watched again, and appends to it still arrive.
  before = blockCount(*child);
  shell(R"(printf '%s' "$1" > "$2")", eventLine("recreated", "Recreated file") + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("Recreated file"))) << child->output();
  EXPECT_EQ(lastBlock(*child).find("Before delete"), std::string::npos);
  before = blockCount(*child);
  shellAppend(eventLine("recreated-2", "Appended to recreated") + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("Appended to recreated"))) << child->output();
  EXPECT_NE(lastBlock(*child).find(titleLine("Recreated file")), std::string::npos);

  // Replaced by rename, as an atomic writer does: only the new content counts.
  before = blockCount(*child);
  shell(R"(printf '%s' "$1" > "$2.new" && mv "$2.new" "$2")",
        eventLine("replaced", "Replaced content") + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("Replaced content"))) << child->output();
  EXPECT_EQ(lastBlock(*child).find("Recreated file"), std::string::npos) << lastBlock(*child);
  EXPECT_NE(lastBlock(*child).find("· 1 message ·"), std::string::npos) << lastBlock(*child);

  // And the replacement is itself watched.
  before = blockCount(*child);
  shellAppend(eventLine("after-replace", "After replace") + "\n");
  ASSERT_TRUE(waitForBlock(*child, before, titleLine("After replace"))) << child->output();

  expectCleanExitOnSigterm(*child);
}

}  // namespace
}  // namespace glimmet::testing
