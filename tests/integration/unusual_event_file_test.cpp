// The event file as something other than a regular file: the commands must say so and go on,
// never hang on it, and read it again once it is a file.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet::testing {
namespace {

constexpr double kUnusualFileDeadlineSeconds = 10;

std::string eventLine(const std::string& id, const std::string& title) {
  return R"({"event_id":")" + id + R"(","source":"claude-code","session_id":")" + id +
         R"(","title":")" + title + R"("})" + "\n";
}

class UnusualEventFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("events"));
    std::filesystem::create_directories(dir_.file("home"));
  }
  std::vector<std::string> environment() const {
    return isolatedEnvironment(dir_.path(), eventFile_);
  }

  TempDir dir_;
  std::string eventFile_ = dir_.file("events/events.jsonl");
};

TEST_F(UnusualEventFileTest, InboxOfAFifoSaysSoInsteadOfWaitingForAWriter) {
  ASSERT_EQ(::mkfifo(eventFile_.c_str(), 0600), 0);
  auto child = ChildProcess::spawn({GLIMMET_BINARY, "inbox"}, environment());
  const bool exited = child.waitExit(kUnusualFileDeadlineSeconds);
  if (!exited) child.signal(SIGKILL);
  ASSERT_TRUE(exited) << "glimmet inbox hung on a FIFO:\n" << child.output();
  EXPECT_EQ(child.exitCode(), 0) << child.output();
  EXPECT_NE(child.output().find("[Glimmet] " + eventFile_ + " is not a regular file"),
            std::string::npos)
      << child.output();
  EXPECT_NE(child.output().find("0 messages"), std::string::npos) << child.output();
}

TEST_F(UnusualEventFileTest, RunSurvivesTheEventFileBecomingADirectoryAndBack) {
  writeText(eventFile_, eventLine("first", "First task"));
  auto child = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment());
  ASSERT_TRUE(child.waitForOutput("  First task\n", kUnusualFileDeadlineSeconds)) << child.output();

  std::filesystem::remove(eventFile_);
  std::filesystem::create_directory(eventFile_);
  ASSERT_TRUE(
      child.waitForOutput(eventFile_ + " is not a regular file", kUnusualFileDeadlineSeconds))
      << child.output();
  EXPECT_FALSE(child.exited()) << child.output();

  std::filesystem::remove(eventFile_);
  writeText(dir_.file("events/next"), eventLine("second", "Second task"));
  std::filesystem::rename(dir_.file("events/next"), eventFile_);
  ASSERT_TRUE(child.waitForOutput("  Second task\n", kUnusualFileDeadlineSeconds))
      << child.output();

  ASSERT_EQ(::kill(child.pid(), SIGTERM), 0);
  ASSERT_TRUE(child.waitExit(kUnusualFileDeadlineSeconds));
  EXPECT_EQ(child.exitCode(), 0) << child.output();
}

}  // namespace
}  // namespace glimmet::testing
