#include "platform/captured_process.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace glimmet;
using namespace std::chrono_literals;

namespace {

CapturedProcessResult shell(const std::string& script, std::chrono::milliseconds timeout = 5s) {
  return runCapturedProcess({{"/bin/sh", "-c", script}, timeout, std::nullopt, nullptr});
}

}  // namespace

TEST(CapturedProcessTest, OutputsExitStatusAndLaunchErrorsAreKeptApart) {
  const auto ok = shell("printf out; printf err >&2");
  EXPECT_TRUE(ok.success);
  EXPECT_EQ(ok.exitCode, 0);
  EXPECT_EQ(ok.stdoutText, "out");
  EXPECT_EQ(ok.stderrText, "err");
  EXPECT_FALSE(ok.launchError);

  const auto failed = shell("echo nope >&2; exit 3");
  EXPECT_FALSE(failed.success);
  EXPECT_EQ(failed.exitCode, 3);
  EXPECT_EQ(failed.stderrText, "nope\n");
  EXPECT_FALSE(failed.timedOut);

  const auto missing = runCapturedProcess({{"/nonexistent/program"}, 1s, std::nullopt, nullptr});
  EXPECT_FALSE(missing.success);
  ASSERT_TRUE(missing.launchError);
  EXPECT_NE(missing.launchError->find("/nonexistent/program"), std::string::npos);

  // The given environment replaces this process's own.
  const auto env = runCapturedProcess({{"/bin/sh", "-c", "printf %s \"$ONLY\""},
                                       1s,
                                       std::vector<std::string>{"ONLY=this"},
                                       nullptr});
  EXPECT_EQ(env.stdoutText, "this");
}

TEST(CapturedProcessTest, TimeOutStopsTheWholeGroupAndAnEndedProgramsChildDoesNotHoldTheCaller) {
  const auto start = std::chrono::steady_clock::now();
  // The shell's own child (sleep) holds the output pipe: it must go too.
  const auto slow = shell("sleep 30; echo never", 300ms);
  EXPECT_TRUE(slow.timedOut);
  EXPECT_FALSE(slow.success);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

  // A program that leaves a background child with the pipes open returns once it exits.
  const auto detached = std::chrono::steady_clock::now();
  const auto leaves = shell("sleep 3 & echo started", 10s);
  EXPECT_TRUE(leaves.success);
  EXPECT_EQ(leaves.stdoutText, "started\n");
  EXPECT_LT(std::chrono::steady_clock::now() - detached, 2s);
}

TEST(CapturedProcessTest, ACancelFromAnotherThreadStopsTheProgramLongBeforeItsTimeOut) {
  // A chooser the user left open while the application quits.
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  ProcessRequest request{{"/bin/sh", "-c", "sleep 30; echo never"}, 60s, std::nullopt, cancel};
  std::thread quitting([cancel] {
    std::this_thread::sleep_for(200ms);
    cancel->store(true);
  });
  const auto start = std::chrono::steady_clock::now();
  const auto stopped = runCapturedProcess(request);
  quitting.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_FALSE(stopped.success);
  EXPECT_FALSE(stopped.timedOut);
  EXPECT_EQ(stopped.stdoutText, "");

  // Cancelled before it starts: still stopped at once, never run to its end.
  const auto again = std::chrono::steady_clock::now();
  EXPECT_FALSE(runCapturedProcess(request).success);
  EXPECT_LT(std::chrono::steady_clock::now() - again, 5s);
}
