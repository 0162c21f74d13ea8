// The settings window under the real `glimmet run` on a private Xvfb, with a home of its own:
// it opens titled at start, a switch clicked through XTest is written to the user defaults at
// once and atomically, the desktop companion follows its switch without a restart, Tab walks the
// tabs, and Escape or the frame's close box closes the window while Glimmet keeps running.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

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

// The key names only; Xlib itself stays out of the tests.
#include <X11/keysym.h>

namespace glimmet {
namespace {

using testing::ChildProcess;
using testing::eventually;
using testing::onPath;
using testing::TempDir;
using testing::Xvfb;
using Clock = std::chrono::steady_clock;

using Shown = testing::ShownWindow;

bool isKind(const Shown& window, const char* kind) {
  return window.state.is_object() && window.state.value("kind", "") == kind;
}
bool isSettings(const Shown& window) {
  return isKind(window, "settings");
}
bool isCompanion(const Shown& window) {
  return isKind(window, "companion");
}

// The root position of the middle of the target with `role` (and `id` when given).
std::optional<std::array<int, 2>> centreOf(const Shown& window, const std::string& role,
                                           const std::string& id = {}) {
  if (!window.state.is_object() || !window.state.contains("targets")) return std::nullopt;
  for (const auto& target : window.state["targets"]) {
    if (target.value("role", "") != role) continue;
    if (!id.empty() && target.value("id", "") != id) continue;
    const auto& r = target["rect"];
    return std::array{window.x + static_cast<int>(r[0].get<double>() + r[2].get<double>() / 2),
                      window.y + static_cast<int>(r[1].get<double>() + r[3].get<double>() / 2)};
  }
  return std::nullopt;
}

using Observer = testing::XWindowObserver;

class SettingsRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Xvfb::available()) GTEST_SKIP() << "no Xvfb on this machine: the settings are not tested";
    if (!onPath("xdotool")) GTEST_SKIP() << "no xdotool on this machine";
    server_ = std::make_unique<Xvfb>();
    observer_ = std::make_unique<Observer>(server_->display());
    ASSERT_TRUE(observer_->connected());
    // Not under HOME: the configuration directory must come from XDG_CONFIG_HOME.
    configDirectory_ = home_.path() + "/xdg-config/Glimmet";
    defaultsPath_ = configDirectory_ + "/defaults.json";
  }

  void TearDown() override {
    if (!server_) return;
    if (!glimmet_.exited()) {
      glimmet_.signal(SIGTERM);
      EXPECT_TRUE(glimmet_.waitExit(30)) << glimmet_.output();
    }
    EXPECT_EQ(glimmet_.exitCode(), 0) << glimmet_.output();
  }

  void writeDefaults(const std::string& json) {
    std::filesystem::create_directories(configDirectory_);
    testing::writeText(defaultsPath_, json);
  }
  Json defaults() {
    if (!std::filesystem::exists(defaultsPath_)) return Json::object();
    return Json::parse(testing::readText(defaultsPath_), nullptr, false);
  }

  void start(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> environment = {
        "HOME=" + home_.path(), "PATH=" + std::string(std::getenv("PATH")),
        "DISPLAY=" + server_->display(), "XDG_CONFIG_HOME=" + home_.path() + "/xdg-config",
        "XDG_DATA_HOME=" + home_.path() + "/.local/share"};
    environment.insert(environment.end(), extra.begin(), extra.end());
    // Isolated unless a test wants the first run's question too: that alert takes the keyboard
    // and sits over the middle of the screen.
    if (isolated_) environment.emplace_back("GLIMMET_TEST_MODE=1");
    glimmet_ = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment, {},
                                   /*keepInputOpen=*/true);
    ASSERT_TRUE(glimmet_.waitForOutput("[Glimmet] socket server listening at", 30))
        << glimmet_.output();
  }

  std::optional<Shown> settingsWhere(const std::function<bool(const Json&)>& wanted,
                                     double seconds = 5) {
    return observer_->find([&](const Shown& w) { return isSettings(w) && wanted(w.state); },
                           seconds);
  }
  std::optional<Shown> settingsOnTab(const std::string& tab) {
    return settingsWhere([&](const Json& s) { return s.value("tab", "") == tab; });
  }

  int xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return server_->run(argv);
  }

  bool isolated_ = true;
  TempDir home_;
  std::string configDirectory_;
  std::string defaultsPath_;
  std::unique_ptr<Xvfb> server_;
  std::unique_ptr<Observer> observer_;
  ChildProcess glimmet_;
};

TEST_F(SettingsRunTest, OpensTitledAtStartAndAClickedSwitchIsWrittenAtOnceAndAtomically) {
  // A key the panel knows nothing of must survive its writes.
  writeDefaults(R"({"companionOriginX": 123})");
  struct stat before {};
  ASSERT_EQ(::stat(defaultsPath_.c_str(), &before), 0);
  start({"GLIMMET_START_SETTINGS=1"});

  auto window = settingsOnTab("general");
  ASSERT_TRUE(window) << glimmet_.output();
  EXPECT_FALSE(window->overrideRedirect);
  EXPECT_EQ(observer_->property(window->id, "_NET_WM_NAME"), "Glimmet Settings");
  EXPECT_EQ(observer_->property(window->id, "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_DIALOG");
  // The default panel on the 1920 x 1080 screen, centred.
  EXPECT_EQ((std::array{window->x, window->y, window->width, window->height}),
            (std::array{530, 150, 860, 780}));
  EXPECT_EQ(window->state["preferences"]["reduceMotion"], true);
  // The capsule is there beside it, at rest.
  EXPECT_TRUE(observer_->find([](const Shown& w) { return w.overrideRedirect; }, 5));

  const auto reduceMotion = centreOf(*window, "switch", "reduceMotion");
  ASSERT_TRUE(reduceMotion) << window->state.dump();
  observer_->click((*reduceMotion)[0], (*reduceMotion)[1]);
  ASSERT_TRUE(eventually([&] { return defaults().value("reduceMotion", true) == false; }, 5))
      << testing::readText(defaultsPath_) << glimmet_.output();
  EXPECT_TRUE(settingsWhere([](const Json& s) {
    return s["preferences"]["reduceMotion"] == false;
  })) << "the switch is drawn off";
  const Json written = defaults();
  EXPECT_EQ(written.value("companionOriginX", 0), 123) << written.dump();

  // Written to a new file put in place in one step: another inode, private, nothing left over.
  struct stat after {};
  ASSERT_EQ(::stat(defaultsPath_.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0600u);
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(configDirectory_))
    files.push_back(entry.path().filename().string());
  EXPECT_EQ(files, std::vector<std::string>{"defaults.json"});

  // A second click turns it back on: each click flips once.
  observer_->click((*reduceMotion)[0], (*reduceMotion)[1]);
  ASSERT_TRUE(eventually([&] { return defaults().value("reduceMotion", false) == true; }, 5))
      << testing::readText(defaultsPath_);
  EXPECT_EQ(observer_->count(isSettings), 1u);
}

TEST_F(SettingsRunTest, TheCompanionSwitchShowsAndRemovesTheCompanionWithoutARestart) {
  start({"GLIMMET_START_SETTINGS=1"});
  auto window = settingsOnTab("general");
  ASSERT_TRUE(window) << glimmet_.output();
  EXPECT_EQ(observer_->count(isCompanion), 0u);

  const auto companionSwitch = centreOf(*window, "switch", "desktopCompanionMode");
  ASSERT_TRUE(companionSwitch) << window->state.dump();
  // The runtime tick would find the change too, within 2 seconds: each change must be followed
  // well before that, four times over, for the switch itself to be what moved the companion.
  for (int round = 0; round < 2; ++round) {
    observer_->click((*companionSwitch)[0], (*companionSwitch)[1]);
    auto clickedAt = Clock::now();
    ASSERT_TRUE(observer_->find(isCompanion, 5)) << glimmet_.output();
    EXPECT_LT(Clock::now() - clickedAt, std::chrono::milliseconds(1000)) << "round " << round;
    EXPECT_EQ(defaults().value("desktopCompanionMode", false), true);

    observer_->click((*companionSwitch)[0], (*companionSwitch)[1]);
    clickedAt = Clock::now();
    ASSERT_TRUE(observer_->gone(isCompanion, 5)) << glimmet_.output();
    EXPECT_LT(Clock::now() - clickedAt, std::chrono::milliseconds(1000)) << "round " << round;
    EXPECT_EQ(defaults().value("desktopCompanionMode", true), false);
  }
}

TEST_F(SettingsRunTest, HidingTheCapsuleRemovesItsWindowAndShowingItBringsItBack) {
  start({"GLIMMET_START_SETTINGS=1"});
  auto window = settingsOnTab("general");
  ASSERT_TRUE(window) << glimmet_.output();
  const auto isCapsule = [](const Shown& w) { return w.overrideRedirect && !isCompanion(w); };
  ASSERT_TRUE(observer_->find(isCapsule, 5));
  const auto capsuleSwitch = centreOf(*window, "switch", "showCapsuleMode");
  ASSERT_TRUE(capsuleSwitch) << window->state.dump();
  observer_->click((*capsuleSwitch)[0], (*capsuleSwitch)[1]);
  EXPECT_TRUE(observer_->gone(isCapsule, 5)) << glimmet_.output();
  EXPECT_EQ(defaults().value("showCapsuleMode", true), false);
  observer_->click((*capsuleSwitch)[0], (*capsuleSwitch)[1]);
  EXPECT_TRUE(observer_->find(isCapsule, 5)) << glimmet_.output();
  EXPECT_EQ(observer_->count(isCapsule), 1u);
}

TEST_F(SettingsRunTest, TabWalksTheTabsAndEscapeClosesTheWindowButNotGlimmet) {
  start({"GLIMMET_START_SETTINGS=1", "GLIMMET_SETTINGS_TAB=aiTools"});
  ASSERT_TRUE(settingsOnTab("aiTools")) << glimmet_.output();
  ASSERT_EQ(xdotool({"key", "Tab"}), 0);
  ASSERT_TRUE(settingsOnTab("about"));
  // From the last tab round to the first, and back.
  ASSERT_EQ(xdotool({"key", "Tab"}), 0);
  ASSERT_TRUE(settingsOnTab("general"));
  ASSERT_EQ(xdotool({"key", "shift+Tab"}), 0);
  ASSERT_TRUE(settingsOnTab("about"));
  ASSERT_EQ(xdotool({"key", "shift+Tab"}), 0);
  ASSERT_TRUE(settingsOnTab("aiTools"));
  // Other keys do nothing.
  ASSERT_EQ(xdotool({"key", "x", "Return"}), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(settingsOnTab("aiTools"));

  ASSERT_EQ(xdotool({"key", "Escape"}), 0);
  EXPECT_TRUE(observer_->gone(isSettings, 5)) << glimmet_.output();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(glimmet_.exited()) << glimmet_.output();
  EXPECT_TRUE(observer_->find([](const Shown& w) { return w.overrideRedirect; }, 2));
}

TEST_F(SettingsRunTest, OnASmallPrimaryScreenTheWindowFitsAndTheWheelScrollsWithinTheContent) {
  // A primary monitor of 800 x 500 at the top left, and nothing else.
  ASSERT_EQ(server_->run({"xrandr", "--setmonitor", "*small", "800/211x500/132+0+0", "none"}), 0);
  start({"GLIMMET_START_SETTINGS=1", "GLIMMET_SETTINGS_TAB=pets"});
  auto window = settingsOnTab("pets");
  ASSERT_TRUE(window) << glimmet_.output();
  // The default panel inside the screen less 12 on every side, centred on it.
  EXPECT_EQ((std::array{window->x, window->y, window->width, window->height}),
            (std::array{12, 12, 776, 476}));
  const double end =
      window->state.value("contentHeight", 0.0) - window->state.value("viewportHeight", 0.0);
  ASSERT_GT(end, 100) << "the Pets tab no longer overflows this window: " << window->state.dump();

  const auto offsetIs = [&](double offset) {
    return settingsWhere([&](const Json& s) { return s.value("scrollOffset", -1.0) == offset; });
  };
  const int x = window->x + window->width / 2, y = window->y + window->height / 2;
  observer_->wheel(x, y, 4);  // up, at the top already
  observer_->wheel(x, y, 5);
  observer_->wheel(x, y, 5);
  ASSERT_TRUE(offsetIs(96)) << settingsOnTab("pets")->state.value("scrollOffset", -1.0);
  observer_->wheel(x, y, 4);
  ASSERT_TRUE(offsetIs(48)) << settingsOnTab("pets")->state.value("scrollOffset", -1.0);
  for (int step = 0; step < 10; ++step) observer_->wheel(x, y, 5);
  EXPECT_TRUE(offsetIs(end)) << settingsOnTab("pets")->state.value("scrollOffset", -1.0);
  // Each tab keeps its own place.
  ASSERT_EQ(xdotool({"key", "Tab"}), 0);
  EXPECT_TRUE(settingsWhere([](const Json& s) {
    return s.value("tab", "") == "sound" && s.value("scrollOffset", -1.0) == 0;
  }));
}

TEST_F(SettingsRunTest, ThePanelsSettingsButtonOpensTheWindowAndTheCapsuleGoesBackToRest) {
  start();
  const auto isCapsuleIn = [](const char* mode) {
    return [mode](const Shown& w) {
      return w.overrideRedirect && w.state.value("mode", "") == std::string(mode);
    };
  };
  ASSERT_TRUE(observer_->find(isCapsuleIn("collapsed"), 10)) << glimmet_.output();
  EXPECT_EQ(observer_->count(isSettings), 0u);
  // A pointer resting on the capsule opens the panel.
  observer_->click(960, 16);
  auto panel = observer_->find(
      [&](const Shown& w) { return isCapsuleIn("expanded")(w) && centreOf(w, "settings"); }, 10);
  ASSERT_TRUE(panel) << glimmet_.output();
  const auto button = *centreOf(*panel, "settings");
  observer_->click(button[0], button[1]);
  ASSERT_TRUE(settingsOnTab("general")) << glimmet_.output();
  EXPECT_TRUE(observer_->find(isCapsuleIn("collapsed"), 5));
  EXPECT_EQ(observer_->count(isCapsuleIn("settings")), 0u);
  EXPECT_EQ(observer_->count(isSettings), 1u);
}

TEST_F(SettingsRunTest, ACompanionClickOpensThePetsTabAndThePreviewMovesOnlyThere) {
  writeDefaults(R"({"desktopCompanionMode": true, "reduceMotion": false})");
  start();
  auto companion = observer_->find(isCompanion, 10);
  ASSERT_TRUE(companion) << glimmet_.output();
  EXPECT_EQ(observer_->count(isSettings), 0u);
  const int petX = companion->x + companion->width / 2;
  const int petY = companion->y + companion->height - companion->height / 5;
  observer_->click(petX, petY);

  auto window = settingsOnTab("pets");
  ASSERT_TRUE(window) << glimmet_.output();
  // The preview moves while the Pets tab shows and motion is allowed.
  ASSERT_TRUE(settingsWhere([](const Json& s) { return s.value("previewPhase", 0.0) > 0.2; }))
      << glimmet_.output();
  EXPECT_TRUE(settingsOnTab("pets")->state.value("previewAnimating", false));

  ASSERT_EQ(xdotool({"key", "Tab"}), 0);
  ASSERT_TRUE(settingsOnTab("sound"));
  auto still = settingsWhere([](const Json& s) { return !s.value("previewAnimating", true); });
  ASSERT_TRUE(still);
  const double phase = still->state.value("previewPhase", -1.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(settingsOnTab("sound")->state.value("previewPhase", -2.0), phase);

  // Another click on the pet comes back to the same window, on the Pets tab again.
  observer_->click(petX, petY);
  auto again = settingsOnTab("pets");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->id, window->id);
  EXPECT_EQ(observer_->count(isSettings), 1u);

  // The frame's close box closes it; Glimmet and the companion stay.
  observer_->requestClose(again->id);
  EXPECT_TRUE(observer_->gone(isSettings, 5)) << glimmet_.output();
  EXPECT_EQ(observer_->count(isCompanion), 1u);
  EXPECT_FALSE(glimmet_.exited());
}

TEST_F(SettingsRunTest,
       RepairingClaudeCodeAsksWithTheInstallersPreviewAndOnlyThenRewritesItsSettings) {
  // Claude Code set up with an outdated Glimmet hook beside one of the user's own.
  const std::string claudeSettings = home_.path() + "/.claude/settings.json";
  const std::string stale =
      R"({"model":"opus","hooks":{"Stop":[{"hooks":[{"type":"command","command":"say done"}]},)"
      R"({"hooks":[{"type":"command","command":"~/.glimmet/bin/glimmet-event --source claude_code"}]}]}})";
  std::filesystem::create_directories(home_.path() + "/.claude");
  testing::writeText(claudeSettings, stale);
  isolated_ = false;
  start({"GLIMMET_START_SETTINGS=1", "GLIMMET_SETTINGS_TAB=aiTools"});
  const auto isAlert = [](const Shown& w) { return isKind(w, "alert_dialog"); };
  // The first-run question comes too (the same stale hook); put it off.
  const auto firstRun = observer_->find(
      [&](const Shown& w) {
        return isAlert(w) && w.state.value("message", "") == "Allow Glimmet startup permissions?";
      },
      15);
  ASSERT_TRUE(firstRun) << glimmet_.output();
  observer_->requestClose(firstRun->id);
  ASSERT_TRUE(observer_->gone(isAlert, 5)) << glimmet_.output();

  // The row's button, once the health has been read, asks first and changes nothing yet.
  auto tools = settingsWhere(
      [](const Json& s) {
        return s.value("tab", "") == "aiTools" && s.dump().find("claude-code") != std::string::npos;
      },
      15);
  ASSERT_TRUE(tools) << glimmet_.output();
  const auto repair = centreOf(*tools, "toolAction", "claude-code");
  ASSERT_TRUE(repair) << tools->state.dump();
  observer_->click((*repair)[0], (*repair)[1]);
  const auto asked = observer_->find(isAlert, 10);
  ASSERT_TRUE(asked) << glimmet_.output();
  const std::string informative = asked->state.value("informativeText", "");
  EXPECT_EQ(informative.rfind("Review the planned bridge script and config changes below.", 0), 0u)
      << informative;
  ASSERT_EQ(asked->state["targets"].size(), 2u);
  EXPECT_EQ(asked->state["targets"][0]["label"], "Repair");
  EXPECT_EQ(asked->state["targets"][1]["label"], "Cancel");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(testing::readText(claudeSettings), stale);

  // Cancel leaves the file alone; asking again and confirming repairs it, the user's hook kept.
  observer_->key(XK_Escape);
  ASSERT_TRUE(observer_->gone(isAlert, 5));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(testing::readText(claudeSettings), stale);
  observer_->click((*repair)[0], (*repair)[1]);
  const auto again = observer_->find(isAlert, 10);
  ASSERT_TRUE(again) << glimmet_.output();
  observer_->key(XK_Return);
  ASSERT_TRUE(eventually(
      [&] {
        return testing::readText(claudeSettings).find("glimmet-hook-claude") != std::string::npos;
      },
      15))
      << glimmet_.output();
  EXPECT_NE(testing::readText(claudeSettings).find("say done"), std::string::npos);
  EXPECT_TRUE(settingsWhere(
      [](const Json& s) { return s.value("statusBanner", "") == "Claude Code bridge installed"; },
      10))
      << glimmet_.output();
}

TEST_F(SettingsRunTest, OpenAtLoginAddsAndRemovesTheSessionsAutostartEntry) {
  start({"GLIMMET_START_SETTINGS=1"});
  const auto window = settingsOnTab("general");
  ASSERT_TRUE(window) << glimmet_.output();
  const auto openAtLogin = centreOf(*window, "switch", "openAtLogin");
  ASSERT_TRUE(openAtLogin) << window->state.dump();
  const std::string entry = home_.path() + "/xdg-config/autostart/glimmet.desktop";
  observer_->click((*openAtLogin)[0], (*openAtLogin)[1]);
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(entry); }, 5)) << glimmet_.output();
  EXPECT_NE(testing::readText(entry).find(std::string("Exec=\"") + GLIMMET_BINARY + "\" run"),
            std::string::npos)
      << testing::readText(entry);
  EXPECT_EQ(defaults().value("openAtLogin", false), true);
  observer_->click((*openAtLogin)[0], (*openAtLogin)[1]);
  ASSERT_TRUE(eventually([&] { return !std::filesystem::exists(entry); }, 5)) << glimmet_.output();
  EXPECT_EQ(defaults().value("openAtLogin", true), false);
}

}  // namespace
}  // namespace glimmet
