// `glimmet run` watching an event file that another writer fills one byte per write(), so that
// nearly every read of the file races with an append. Every line must reach the inbox once.
//
// GLIMMET_BYTE_WRITER_RUNS sets how many runs to make (default 2); bench/byte_writer_loss.sh
// makes ten and prints the lost lines of each.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

constexpr int kLines = 4000;
// The inbox lists the newest 500 events; a writer never more than this far ahead of what the
// console has shown cannot push an unseen line out of the list before it was printed.
constexpr int kMostLinesAhead = 300;
constexpr double kDeadlineSeconds = 60;

int runCount() {
  const char* text = std::getenv("GLIMMET_BYTE_WRITER_RUNS");
  const int runs = text ? std::atoi(text) : 0;
  return runs > 0 ? runs : 2;
}

std::string title(int index) {
  return fmt::format("Line {:04}", index);
}

std::string eventLine(int run, int index) {
  return fmt::format(R"({{"event_id":"r{}-{:04}","source":"claude-code","session_id":"s{:04}",)"
                     R"("title":"{}"}})",
                     run, index, index, title(index)) +
         "\n";
}

// Reads the console output as it grows and records every "Line NNNN" title printed.
class TitleCollector {
 public:
  explicit TitleCollector(ChildProcess& child) : child_(child), seen_(kLines, false) {}

  void collect() {
    const std::string& output = child_.output();
    const size_t end = output.rfind('\n');
    if (end == std::string::npos || end < scanned_) return;
    static const std::string kPrefix = "\n  Line ";
    for (size_t pos = output.find(kPrefix, scanned_ == 0 ? 0 : scanned_ - 1);
         pos != std::string::npos && pos + kPrefix.size() + 5 <= end + 1;
         pos = output.find(kPrefix, pos + 1)) {
      const std::string digits = output.substr(pos + kPrefix.size(), 4);
      if (output[pos + kPrefix.size() + 4] != '\n') continue;
      const int index = std::atoi(digits.c_str());
      if (index < 0 || index >= kLines) continue;
      if (!seen_[static_cast<size_t>(index)]) {
        seen_[static_cast<size_t>(index)] = true;
        ++count_;
      }
      if (index > highest_) highest_ = index;
    }
    scanned_ = end;
  }

  int count() const { return count_; }
  int highest() const { return highest_; }
  std::vector<int> missing() const {
    std::vector<int> out;
    for (int i = 0; i < kLines; ++i) {
      if (!seen_[static_cast<size_t>(i)]) out.push_back(i);
    }
    return out;
  }

 private:
  ChildProcess& child_;
  std::vector<bool> seen_;
  size_t scanned_ = 0;
  int count_ = 0;
  int highest_ = -1;
};

TEST(ByteWriterRunTest, EveryLineWrittenOneBytePerWriteAppearsInTheRunningInbox) {
  const int runs = runCount();
  int totalLost = 0;
  for (int run = 1; run <= runs; ++run) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("events"));
    std::filesystem::create_directories(dir.file("home"));
    const std::string eventFile = dir.file("events/events.jsonl");
    auto child =
        ChildProcess::spawn({GLIMMET_BINARY, "run"}, isolatedEnvironment(dir.path(), eventFile));
    ASSERT_TRUE(child.waitForOutput("All clear · waiting for agent events", 10)) << child.output();

    std::atomic<int> shownUpTo{-1};
    std::atomic<int> written{0};
    std::atomic<bool> stop{false};
    std::thread writer([&] {
      const int fd = ::open(eventFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) return;
      for (int index = 0; index < kLines && !stop; ++index) {
        while (index - shownUpTo.load() > kMostLinesAhead && !stop) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (const char byte : eventLine(run, index)) {
          while (::write(fd, &byte, 1) != 1) {
          }
        }
        written = index + 1;
      }
      ::close(fd);
    });

    TitleCollector titles(child);
    const auto collect = [&] {
      titles.collect();
      shownUpTo = titles.highest();
      return titles.count() == kLines;
    };
    // A lost line leaves no trace: once the last line is shown, the block showing it is
    // finished and then nothing more can come.
    child.waitUntil([&] { return collect() || titles.highest() == kLines - 1; }, kDeadlineSeconds);
    const bool allShown = child.waitUntil(collect, 1);
    stop = true;
    writer.join();
    const int lost = kLines - titles.count();
    totalLost += lost;
    std::printf("[ lost     ] run %d: %d of %d lines written one byte per write()\n", run, lost,
                kLines);
    EXPECT_EQ(written.load(), kLines);
    EXPECT_TRUE(allShown) << "missing lines (first 20 listed):" << [&] {
      std::string list;
      const auto missing = titles.missing();
      for (size_t i = 0; i < missing.size() && i < 20; ++i) list += " " + title(missing[i]);
      return list;
    }();
    ASSERT_EQ(::kill(child.pid(), SIGTERM), 0);
    ASSERT_TRUE(child.waitExit(10));
    EXPECT_EQ(child.exitCode(), 0);
  }
  std::printf("[ lost     ] %d runs: %d lines lost in all\n", runs, totalLost);
  EXPECT_EQ(totalLost, 0);
}

}  // namespace
}  // namespace glimmet::testing
