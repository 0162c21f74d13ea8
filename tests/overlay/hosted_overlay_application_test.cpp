// The overlay application as a host with a run loop of its own drives it (AppKit on macOS): in
// two halves around the host's loop, the host waiting on the loop's descriptor and timeout and
// calling runOnce, and every stop going through the host. Under a real X server of its own.

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "base/environment.hpp"
#include "support/test_support.hpp"
#include "support/xvfb.hpp"
#include "ui/overlay_application.hpp"

namespace glimmet {
namespace {

using testing::TempDir;
using testing::Xvfb;

class HostedOverlayApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Xvfb::available()) GTEST_SKIP() << "no Xvfb on this machine: the overlay is not tested";
    server_ = std::make_unique<Xvfb>();
    ::setenv("DISPLAY", server_->display().c_str(), 1);
    console_ = std::tmpfile();
    ASSERT_NE(console_, nullptr);
    application_ = std::make_unique<OverlayApplication>(
        Environment({{"HOME", home_.path()},
                     {"PATH", std::string(std::getenv("PATH"))},
                     {"DISPLAY", server_->display()},
                     {"XDG_DATA_HOME", home_.path() + "/.local/share"}}),
        console_, /*withConsole=*/false);
    application_->setLoopStopper([this] {
      ++hostStops_;
      stopRanOnLoopThread_ = application_->core().loop().isLoopThread();
    });
  }

  void TearDown() override {
    application_.reset();
    if (console_) std::fclose(console_);
  }

  // The host's own loop: sleeps on the main loop's descriptor for at most its timeout, then runs
  // what is ready, until the application asked the host to stop.
  bool runHostLoopUntilStopped(double seconds) {
    MainLoop& loop = application_->core().loop();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (hostStops_ == 0 && std::chrono::steady_clock::now() < deadline) {
      pollfd descriptor{loop.backendDescriptor(), POLLIN, 0};
      const int timeout = loop.timeoutMilliseconds();
      ::poll(&descriptor, 1, timeout < 0 || timeout > 100 ? 100 : timeout);
      loop.runOnce();
    }
    return hostStops_ > 0;
  }

  TempDir home_;
  std::unique_ptr<Xvfb> server_;
  std::FILE* console_ = nullptr;
  std::unique_ptr<OverlayApplication> application_;
  int hostStops_ = 0;
  bool stopRanOnLoopThread_ = false;
};

TEST_F(HostedOverlayApplicationTest, AStopFromAnotherThreadReachesTheHostOnceOnTheLoopThread) {
  std::string error;
  ASSERT_TRUE(application_->connect(&error)) << error;
  application_->core().loop().backendDescriptor();  // the host's thread becomes the loop thread
  ASSERT_FALSE(application_->launch());
  EXPECT_TRUE(application_->core().snapshot() != nullptr);

  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    application_->stop();
  });
  const bool stopped = runHostLoopUntilStopped(20);
  stopper.join();
  ASSERT_TRUE(stopped);
  // A few more turns: a second request to stop would show up here.
  for (int turn = 0; turn < 5; ++turn) application_->core().loop().runOnce();
  EXPECT_EQ(hostStops_, 1);
  EXPECT_TRUE(stopRanOnLoopThread_);
  EXPECT_EQ(application_->finish(), 0);
}

TEST_F(HostedOverlayApplicationTest, LosingTheWindowSystemStopsThroughTheHostAndFinishesWithOne) {
  std::string error;
  ASSERT_TRUE(application_->connect(&error)) << error;
  application_->core().loop().backendDescriptor();
  ASSERT_FALSE(application_->launch());
  server_->kill();
  ASSERT_TRUE(runHostLoopUntilStopped(20));
  EXPECT_EQ(hostStops_, 1);
  EXPECT_EQ(application_->finish(), 1);
}

}  // namespace
}  // namespace glimmet
