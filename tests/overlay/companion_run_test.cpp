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
#include "support/xvfb.hpp"

// After gtest: Xlib's macros (None, Bool, Status) would rewrite its names.
// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
// clang-format on

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::TempDir;
using testing::Xvfb;
using Clock = std::chrono::steady_clock;

struct CompanionWindow {
  int x = 0, y = 0, width = 0, height = 0;
  Json state;
};

bool eventually(const std::function<bool()>& done, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  do {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Clock::now() < deadline);
  return done();
}

class Observer {
 public:
  explicit Observer(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    // The companion's window goes when it is switched off: one listed by XQueryTree can be gone
    // by the time it is inspected, which Xlib's default handler would make fatal.
    previousHandler_ = XSetErrorHandler([](Display*, XErrorEvent* error) {
      if (error->error_code != BadWindow && error->error_code != BadDrawable) {
        ADD_FAILURE() << "X error " << static_cast<int>(error->error_code) << " in request "
                      << static_cast<int>(error->request_code);
      }
      return 0;
    });
  }
  ~Observer() {
    if (display_) XCloseDisplay(display_);
    XSetErrorHandler(previousHandler_);
  }
  bool connected() const { return display_ != nullptr; }

  // The mapped window whose _GLIMMET_STATE says it is the companion.
  std::optional<CompanionWindow> companion() { return windowOfKind("companion"); }

  // The mapped window whose _GLIMMET_STATE names `kind`.
  std::optional<CompanionWindow> windowOfKind(const std::string& kind) {
    Window root = DefaultRootWindow(display_), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, root, &root, &parent, &children, &count)) return std::nullopt;
    const Atom stateAtom = XInternAtom(display_, "_GLIMMET_STATE", False);
    std::optional<CompanionWindow> found;
    for (unsigned i = 0; i < count && !found; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
      if (attributes.map_state != IsViewable) continue;
      Atom type = 0;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(display_, children[i], stateAtom, 0, 1 << 20, False, AnyPropertyType,
                             &type, &format, &items, &after, &data) != Success ||
          !data)
        continue;
      Json state = Json::parse(std::string(reinterpret_cast<char*>(data), items), nullptr, false);
      XFree(data);
      if (!state.is_object() || state.value("kind", "") != kind) continue;
      found = CompanionWindow{attributes.x, attributes.y, attributes.width, attributes.height,
                              std::move(state)};
    }
    if (children) XFree(children);
    return found;
  }

  std::optional<CompanionWindow> waitFor(const std::function<bool(const CompanionWindow&)>& done,
                                         double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    do {
      if (auto window = companion(); window && done(*window)) return window;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (Clock::now() < deadline);
    return std::nullopt;
  }

  // Presses at `from`, moves in small steps by (dx, dy) as a hand would, and releases.
  void drag(int x, int y, int dx, int dy) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XFlush(display_);
    pause();
    const int steps = std::max({std::abs(dx), std::abs(dy), 1}) / 10 + 1;
    for (int i = 1; i <= steps; ++i) {
      XTestFakeMotionEvent(display_, -1, x + dx * i / steps, y + dy * i / steps, CurrentTime);
      XFlush(display_);
      pause();
    }
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XFlush(display_);
  }

 private:
  static void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }
  XErrorHandler previousHandler_ = nullptr;
  Display* display_;
};

class CompanionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Xvfb::available()) GTEST_SKIP() << "no Xvfb on this machine: the companion is not tested";
    server_ = std::make_unique<Xvfb>();
    server_->startCompositor();
    observer_ = std::make_unique<Observer>(server_->display());
    ASSERT_TRUE(observer_->connected());
    defaultsPath_ = home_.path() + "/.config/Glimmet/defaults.json";
  }

  void writeDefaults(const std::string& json) {
    std::filesystem::create_directories(home_.path() + "/.config/Glimmet");
    testing::writeText(defaultsPath_, json);
  }
  Json defaults() { return Json::parse(testing::readText(defaultsPath_)); }

  ChildProcess startGlimmet() {
    auto child = ChildProcess::spawn(
        {GLIMMET_BINARY, "run"},
        {"HOME=" + home_.path(), "PATH=" + std::string(std::getenv("PATH")),
         "DISPLAY=" + server_->display(), "XDG_DATA_HOME=" + home_.path() + "/.local/share"},
        {}, /*keepInputOpen=*/true);
    EXPECT_TRUE(child.waitForOutput("[Glimmet] socket server listening at", 30)) << child.output();
    return child;
  }

  void stop(ChildProcess& glimmet) {
    glimmet.signal(SIGTERM);
    EXPECT_TRUE(glimmet.waitExit(30)) << glimmet.output();
    EXPECT_EQ(glimmet.exitCode(), 0) << glimmet.output();
  }

  // Where a press lands on the pet, in root coordinates.
  static std::pair<int, int> onThePet(const CompanionWindow& window) {
    return {window.x + window.width / 2, window.y + window.height - window.height / 5};
  }

  TempDir home_;
  std::string defaultsPath_;
  std::unique_ptr<Xvfb> server_;
  std::unique_ptr<Observer> observer_;
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
        const auto settings = observer_->windowOfKind("settings");
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

}  // namespace
}  // namespace glimmet
