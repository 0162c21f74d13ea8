// The desktop companion under `glimmet run` on a private Xvfb: its window's size, a drag through
// XTest that moves it and is remembered across a restart, a press that barely moves being a
// click, and a roaming companion that moves without being remembered.

#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "base/json_values.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"
#include "support/x_window_observer.hpp"
#include "support/xvfb.hpp"

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::eventually;
using testing::TempDir;
using testing::Xvfb;
using Clock = std::chrono::steady_clock;

using ShownCompanion = testing::ShownWindow;

// Looks at the companion's window among Glimmet's windows.
class CompanionObserver : public testing::XWindowObserver {
 public:
  using XWindowObserver::XWindowObserver;

  std::optional<ShownCompanion> companion() { return find(testing::windowOfKind("companion"), 0); }
  std::optional<ShownCompanion> waitFor(const std::function<bool(const ShownCompanion&)>& done,
                                        double seconds) {
    const auto isCompanion = testing::windowOfKind("companion");
    return find([&](const ShownCompanion& w) { return isCompanion(w) && done(w); }, seconds);
  }
};

class CompanionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Xvfb::available()) GTEST_SKIP() << "no Xvfb on this machine: the companion is not tested";
    server_ = std::make_unique<Xvfb>();
    server_->startCompositor();
    observer_ = std::make_unique<CompanionObserver>(server_->display());
    ASSERT_TRUE(observer_->connected());
    defaultsPath_ = home_.path() + "/.config/Glimmet/defaults.json";
  }

  void writeDefaults(const std::string& json) {
    std::filesystem::create_directories(home_.path() + "/.config/Glimmet");
    testing::writeText(defaultsPath_, json);
  }
  Json defaults() { return Json::parse(testing::readText(defaultsPath_)); }

  ChildProcess startGlimmet(const std::vector<std::string>& extraEnvironment = {}) {
    std::vector<std::string> environment{
        "HOME=" + home_.path(), "PATH=" + std::string(std::getenv("PATH")),
        "DISPLAY=" + server_->display(), "XDG_DATA_HOME=" + home_.path() + "/.local/share"};
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    auto child = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment, {},
                                     /*keepInputOpen=*/true);
    EXPECT_TRUE(child.waitForOutput("[Glimmet] socket server listening at", 30)) << child.output();
    return child;
  }

  void stop(ChildProcess& glimmet) {
    glimmet.signal(SIGTERM);
    EXPECT_TRUE(glimmet.waitExit(30)) << glimmet.output();
    EXPECT_EQ(glimmet.exitCode(), 0) << glimmet.output();
  }

  // Where a press lands on the pet, in root coordinates.
  static std::pair<int, int> onThePet(const ShownCompanion& window) {
    return {window.x + window.width / 2, window.y + window.height - window.height / 5};
  }

  TempDir home_;
  std::string defaultsPath_;
  std::unique_ptr<Xvfb> server_;
  std::unique_ptr<CompanionObserver> observer_;
};

TEST_F(CompanionRunTest, ScaledBubbleIsClampedMovesWithADragAndComesBackThereAfterARestart) {
  writeDefaults(
      R"({"desktopCompanionMode": true, "companionDisplayMode": "bubble", "floatingPetScale": 2.0})");
  auto glimmet = startGlimmet();
  auto shown = observer_->waitFor([](const auto&) { return true; }, 10);
  ASSERT_TRUE(shown) << glimmet.output();
  EXPECT_EQ(shown->width, 294);
  EXPECT_EQ(shown->height, 243);
  // The bottom right corner of the 1920 x 1080 screen, a little way in.
  EXPECT_EQ(shown->x, 1920 - 294 - 24);
  EXPECT_EQ(shown->y, 1080 - 243 - 24);
  EXPECT_EQ(shown->state.value("displayMode", ""), "bubble");

  // A press that moves one pixel is a click on the pet: the settings open on the Pets tab, the
  // window stays and nothing is stored.
  const auto [petX, petY] = onThePet(*shown);
  observer_->drag(petX, petY, 1, 1);
  ASSERT_TRUE(eventually(
      [&] {
        const auto settings = observer_->find(testing::windowOfKind("settings"), 0);
        return settings && settings->state.value("tab", "") == "pets";
      },
      10))
      << glimmet.output();
  EXPECT_EQ(observer_->companion()->x, shown->x);
  EXPECT_FALSE(defaults().contains("companionOriginX"));

  observer_->drag(petX, petY, -40, -40);
  auto moved = observer_->waitFor([&](const auto& w) { return w.x == shown->x - 40; }, 5);
  ASSERT_TRUE(moved) << glimmet.output();
  EXPECT_EQ(moved->y, shown->y - 40);
  ASSERT_TRUE(
      eventually([&] { return defaults().value("companionOriginX", 0.0) == shown->x - 40; }, 5));
  EXPECT_EQ(defaults().value("companionOriginY", 0.0), shown->y - 40);
  stop(glimmet);
  EXPECT_FALSE(observer_->companion());

  auto again = startGlimmet();
  auto restored = observer_->waitFor([](const auto&) { return true; }, 10);
  ASSERT_TRUE(restored) << again.output();
  EXPECT_EQ(restored->x, shown->x - 40);
  EXPECT_EQ(restored->y, shown->y - 40);
  EXPECT_EQ(restored->width, 294);
  stop(again);
}

TEST_F(CompanionRunTest, ARoamingCompanionMovesWhenDraggedButKeepsTheStoredOrigin) {
  writeDefaults(R"({"desktopCompanionMode": true, "companionDisplayMode": "roaming",
                    "companionOriginX": 200, "companionOriginY": 300})");
  auto glimmet = startGlimmet();
  auto shown = observer_->waitFor([](const auto&) { return true; }, 10);
  ASSERT_TRUE(shown) << glimmet.output();
  EXPECT_EQ((std::array{shown->x, shown->y, shown->width, shown->height}),
            (std::array{200, 300, 316, 150}));
  const auto [petX, petY] = onThePet(*shown);
  observer_->drag(petX, petY, 60, 50);
  ASSERT_TRUE(observer_->waitFor([](const auto& w) { return w.x == 260 && w.y == 350; }, 5))
      << glimmet.output();
  // Long enough for a write to have landed.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(defaults().value("companionOriginX", 0.0), 200);
  EXPECT_EQ(defaults().value("companionOriginY", 0.0), 300);
  // Off again: the window goes while Glimmet runs (the settings are read every 2 seconds).
  writeDefaults(R"({"desktopCompanionMode": false})");
  EXPECT_TRUE(eventually([&] { return !observer_->companion(); }, 5)) << glimmet.output();
  stop(glimmet);
}

TEST_F(CompanionRunTest, ThePetDraggedOutOfThePanelLandsOnTheDesktopWaitingForAConfirmingClick) {
  auto glimmet = startGlimmet({"GLIMMET_START_EXPANDED=1"});
  const auto expanded = [](const testing::ShownWindow& w) {
    return w.state.is_object() && w.state.value("mode", "") == "expanded";
  };
  auto panel = observer_->find(expanded, 10);
  ASSERT_TRUE(panel) << glimmet.output();
  ASSERT_TRUE(panel->state.contains("pet")) << panel->state.dump();
  const Json& pet = panel->state["pet"];
  const int petX = panel->x + pet[0].get<int>() + pet[2].get<int>() / 2;
  const int petY = panel->y + pet[1].get<int>() + pet[3].get<int>() / 2;
  EXPECT_FALSE(observer_->companion());

  // Let go well below the panel: the companion appears with its pet under the pointer.
  const int dropX = 700, dropY = 900;
  observer_->drag(petX, petY, dropX - petX, dropY - petY);
  auto placed = observer_->waitFor([](const auto&) { return true; }, 10);
  ASSERT_TRUE(placed) << glimmet.output();
  EXPECT_TRUE(placed->state.value("placementMode", false)) << placed->state.dump();
  EXPECT_EQ(placed->state.value("displayMode", ""), "floating");
  EXPECT_LE(placed->x, dropX);
  EXPECT_GE(placed->x + placed->width, dropX);
  EXPECT_LE(placed->y, dropY);
  EXPECT_GE(placed->y + placed->height, dropY);
  EXPECT_TRUE(defaults().value("desktopCompanionMode", false));
  EXPECT_EQ(defaults().value("companionDisplayMode", ""), "floating");
  // The panel made way for it.
  EXPECT_TRUE(observer_->gone(expanded, 5));

  // A click on the pet ends the placing; it stays where it was put.
  const auto [onPetX, onPetY] = onThePet(*placed);
  observer_->click(onPetX, onPetY);
  auto confirmed =
      observer_->waitFor([](const auto& w) { return !w.state.value("placementMode", true); }, 5);
  ASSERT_TRUE(confirmed) << glimmet.output();
  EXPECT_EQ(confirmed->x, placed->x);
  EXPECT_EQ(confirmed->y, placed->y);
  stop(glimmet);
}

}  // namespace
}  // namespace glimmet
