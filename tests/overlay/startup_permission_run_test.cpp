// The first-run question on a real X server: the real glimmet binary, not isolated, on a private
// Xvfb with a home of its own where Claude Code is set up with an outdated Glimmet hook. The
// alert is answered with the pointer and the keyboard through XTest, as a user would.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

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
using testing::TempDir;
using testing::Xvfb;
using Clock = std::chrono::steady_clock;

constexpr const char* kMessage = "Allow Glimmet startup permissions?";
constexpr const char* kInformativeWithHooks =
    "Glimmet uses folder access to scan installed Codex pets and macOS Automation to focus the "
    "current agent terminal or app when you use Jump.\n\nGlimmet will also install or repair "
    "local Claude/Codex hook files so approval and completion events can reach the notch.";
// Claude Code's settings with one hook of an older Glimmet and one of the user's own.
constexpr const char* kStaleClaudeSettings =
    R"({"model":"opus","hooks":{"Stop":[{"hooks":[{"type":"command","command":"say done"}]},)"
    R"({"hooks":[{"type":"command","command":"~/.glimmet/bin/glimmet-event --source claude_code"}]}]}})";

using Shown = testing::ShownWindow;

using Observer = testing::XWindowObserver;

bool isAlert(const Shown& window) {
  return window.state.is_object() && window.state.value("kind", "") == "alert_dialog";
}
bool isOverlay(const Shown& window) {
  return window.state.is_object() && window.state.contains("mode");
}

// The centre of the button labelled `label`, in root coordinates.
std::optional<std::array<int, 2>> buttonCentre(const Shown& window, const std::string& label) {
  for (const auto& target : window.state["targets"]) {
    if (target.value("label", "") != label) continue;
    const auto& r = target["rect"];
    return std::array{window.x + static_cast<int>(r[0].get<double>() + r[2].get<double>() / 2),
                      window.y + static_cast<int>(r[1].get<double>() + r[3].get<double>() / 2)};
  }
  return std::nullopt;
}

std::vector<std::string> backupsOf(const std::string& file) {
  std::vector<std::string> found;
  const std::filesystem::path path(file);
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(path.filename().string() + ".glimmet-backup-", 0) == 0) found.push_back(name);
  }
  return found;
}

class StartupPermissionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Xvfb::available()) GTEST_SKIP() << "no Xvfb on this machine: the alert is not tested";
    server_ = std::make_unique<Xvfb>();
    observer_ = std::make_unique<Observer>(server_->display());
    ASSERT_TRUE(observer_->connected());
    std::filesystem::create_directories(home_.path() + "/.claude");
    testing::writeText(claudeSettings(), kStaleClaudeSettings);
  }

  std::string claudeSettings() const { return home_.path() + "/.claude/settings.json"; }
  std::string defaultsFile() const { return home_.path() + "/.config/Glimmet/defaults.json"; }

  // Not isolated unless asked: the real first run, in a home and search path of the test's own
  // (no agent installed there but the Claude Code settings above).
  ChildProcess startGlimmet(bool isolated = false) {
    std::vector<std::string> environment = {"HOME=" + home_.path(),
                                            "PATH=/usr/bin:/bin",
                                            "DISPLAY=" + server_->display(),
                                            "XDG_CONFIG_HOME=" + home_.path() + "/.config",
                                            "XDG_DATA_HOME=" + home_.path() + "/.local/share",
                                            "XDG_STATE_HOME=" + home_.path() + "/.local/state",
                                            "XDG_CACHE_HOME=" + home_.path() + "/.cache"};
    if (isolated) environment.push_back("GLIMMET_TEST_MODE=1");
    auto child = ChildProcess::spawn({GLIMMET_BINARY, "run"}, environment, {},
                                     /*keepInputOpen=*/true);
    EXPECT_TRUE(observer_->find(isOverlay, 30)) << child.output();
    return child;
  }

  void stop(ChildProcess& glimmet) {
    glimmet.signal(SIGTERM);
    EXPECT_TRUE(glimmet.waitExit(30)) << glimmet.output();
    EXPECT_EQ(glimmet.exitCode(), 0) << glimmet.output();
  }

  Json storedDefaults() const {
    if (!std::filesystem::exists(defaultsFile())) return Json::object();
    return Json::parse(testing::readText(defaultsFile()));
  }

  TempDir home_;
  std::unique_ptr<Xvfb> server_;
  std::unique_ptr<Observer> observer_;
};

TEST_F(StartupPermissionRunTest, ContinueAllowsThePetsFolderRepairsTheHooksAndIsNotAskedAgain) {
  auto glimmet = startGlimmet();
  const auto alert = observer_->find(isAlert, 15);
  ASSERT_TRUE(alert) << glimmet.output();
  // A managed dialog of Glimmet's with the exact texts, Continue the default, Later the cancel.
  EXPECT_FALSE(alert->overrideRedirect);
  EXPECT_EQ(observer_->property(alert->id, "_NET_WM_NAME"), "Glimmet");
  EXPECT_EQ(alert->state["message"], kMessage);
  EXPECT_EQ(alert->state["informativeText"], kInformativeWithHooks);
  ASSERT_EQ(alert->state["targets"].size(), 2u);
  EXPECT_EQ(alert->state["targets"][0]["label"], "Continue");
  EXPECT_EQ(alert->state["targets"][0]["default"], true);
  EXPECT_EQ(alert->state["targets"][1]["label"], "Later");
  EXPECT_EQ(alert->state["targets"][1]["cancel"], true);
  EXPECT_EQ(alert->height, static_cast<int>(alert->state["size"][1].get<double>()));
  // Asked over the overlay, not instead of it.
  EXPECT_TRUE(observer_->find(isOverlay, 0));

  const auto continueButton = buttonCentre(*alert, "Continue");
  ASSERT_TRUE(continueButton);
  observer_->click((*continueButton)[0], (*continueButton)[1]);
  EXPECT_TRUE(observer_->gone(isAlert, 5)) << glimmet.output();
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] claude-code hooks Healthy", 30)) << glimmet.output();
  EXPECT_NE(glimmet.output().find("[Glimmet] Authorized ~/.codex/pets\n"), std::string::npos)
      << glimmet.output();

  const Json stored = storedDefaults();
  EXPECT_EQ(stored.value("codexPetsDirectoryAuthorized", false), true) << stored.dump();
  EXPECT_EQ(stored.value("didRequestCodexPetsDirectoryAuthorization", false), true);
  // The user's hook and model stay; Glimmet's current hooks are in; the old file was kept.
  const Json settings = Json::parse(testing::readText(claudeSettings()));
  EXPECT_EQ(settings["model"], "opus");
  EXPECT_NE(settings.dump().find("say done"), std::string::npos);
  EXPECT_NE(settings.dump().find("glimmet-hook-claude"), std::string::npos);
  const auto backups = backupsOf(claudeSettings());
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(testing::readText(home_.path() + "/.claude/" + backups[0]), kStaleClaudeSettings);
  // One answer, one install.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(backupsOf(claudeSettings()).size(), 1u);
  stop(glimmet);

  // Nothing is left to ask at the next launch.
  auto again = startGlimmet();
  EXPECT_FALSE(observer_->find(isAlert, 3)) << again.output();
  stop(again);
  EXPECT_EQ(backupsOf(claudeSettings()).size(), 1u);
}

TEST_F(StartupPermissionRunTest, LaterRecordsNothingSoTheNextLaunchAsksAgain) {
  auto glimmet = startGlimmet();
  auto alert = observer_->find(isAlert, 15);
  ASSERT_TRUE(alert) << glimmet.output();
  const auto later = buttonCentre(*alert, "Later");
  ASSERT_TRUE(later);
  observer_->click((*later)[0], (*later)[1]);
  EXPECT_TRUE(observer_->gone(isAlert, 5)) << glimmet.output();
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] start-up permissions postponed", 10))
      << glimmet.output();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const Json stored = storedDefaults();
  EXPECT_FALSE(stored.contains("codexPetsDirectoryAuthorized")) << stored.dump();
  EXPECT_FALSE(stored.contains("didRequestCodexPetsDirectoryAuthorization")) << stored.dump();
  EXPECT_EQ(testing::readText(claudeSettings()), kStaleClaudeSettings);
  EXPECT_TRUE(backupsOf(claudeSettings()).empty());
  // Asked once per launch: not again in this one.
  EXPECT_FALSE(observer_->find(isAlert, 2));
  stop(glimmet);

  // The next launch asks again; Return is Continue.
  auto again = startGlimmet();
  alert = observer_->find(isAlert, 15);
  ASSERT_TRUE(alert) << again.output();
  EXPECT_EQ(alert->state["message"], kMessage);
  observer_->key(XK_Return);
  EXPECT_TRUE(observer_->gone(isAlert, 5)) << again.output();
  ASSERT_TRUE(again.waitForOutput("[Glimmet] claude-code hooks Healthy", 30)) << again.output();
  EXPECT_EQ(storedDefaults().value("codexPetsDirectoryAuthorized", false), true);
  EXPECT_EQ(backupsOf(claudeSettings()).size(), 1u);
  stop(again);
}

TEST_F(StartupPermissionRunTest, EscapeIsLaterAndAnIsolatedRunNeverAsks) {
  auto isolated = startGlimmet(/*isolated=*/true);
  EXPECT_FALSE(observer_->find(isAlert, 3)) << isolated.output();
  stop(isolated);
  EXPECT_EQ(testing::readText(claudeSettings()), kStaleClaudeSettings);
  EXPECT_FALSE(storedDefaults().contains("codexPetsDirectoryAuthorized"));

  auto glimmet = startGlimmet();
  ASSERT_TRUE(observer_->find(isAlert, 15)) << glimmet.output();
  observer_->key(XK_Escape);
  EXPECT_TRUE(observer_->gone(isAlert, 5)) << glimmet.output();
  ASSERT_TRUE(glimmet.waitForOutput("[Glimmet] start-up permissions postponed", 10))
      << glimmet.output();
  stop(glimmet);
  EXPECT_EQ(testing::readText(claudeSettings()), kStaleClaudeSettings);
  EXPECT_FALSE(storedDefaults().contains("codexPetsDirectoryAuthorized"));
}

}  // namespace
}  // namespace glimmet
