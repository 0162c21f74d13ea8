// The settings panel driven as a window drives it: pointer presses and releases on the laid-out
// targets, with the preferences in a real user-defaults file.

#include "ui/settings_panel.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.hpp"
#include "ui/view/settings_about.hpp"
#include "ui/view/settings_general.hpp"

namespace glimmet {
namespace {

using glimmet::testing::readText;
using glimmet::testing::TempDir;

constexpr Size kPanelSize{860, 776};

struct PanelFixture {
  TempDir dir;
  std::string path = dir.file("config/defaults.json");
  JsonFileUserDefaults defaults{path};
  UserSettings settings{defaults};
  std::vector<SettingsPreferences> announced;
  std::vector<std::string> actions;
  SettingsPanel panel{settings, recordingActions(), kPanelSize};

  PanelFixture() {
    settings.addObserver([this](const SettingsPreferences& p) { announced.push_back(p); });
  }

  SettingsPanelActions recordingActions() {
    SettingsPanelActions a;
    a.close = [this] { actions.push_back("close"); };
    a.performToolAction = [this](const std::string& id) { actions.push_back("tool " + id); };
    a.playPreset = [this](const std::string& id) { actions.push_back("play " + id); };
    return a;
  }

  std::optional<SettingsTarget> target(const std::string& role, const std::string& id = {}) {
    for (const auto& t : panel.layout().targets) {
      if (t.role == role && (id.empty() || t.id == id)) return t;
    }
    return std::nullopt;
  }

  bool click(const std::string& role, const std::string& id = {}) {
    auto t = target(role, id);
    if (!t) return false;
    const Point centre{t->rect.midX(), t->rect.midY()};
    panel.pointerDown(centre);
    return panel.pointerUp(centre);
  }

  Json stored() const { return Json::parse(readText(path)); }
};

ino_t inodeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_ino;
}

TEST(SettingsPanelTest, GeneralSwitchWritesTheFileAtomicallyAndAnnouncesOnce) {
  PanelFixture f;
  ASSERT_TRUE(f.defaults.setValue("readEventIDs", Json::array({"e1"})));
  const ino_t before = inodeOf(f.path);

  // Every Boolean preference of the tab has its switch.
  for (const auto& item : generalSettingsSwitches())
    EXPECT_TRUE(f.target(SettingsRoles::kSwitch, item.key)) << item.key;

  ASSERT_TRUE(f.click(SettingsRoles::kSwitch, SettingsKeys::kDesktopCompanionMode));
  ASSERT_EQ(f.announced.size(), 1u);
  EXPECT_TRUE(f.announced[0].desktopCompanionMode);
  EXPECT_EQ(f.stored()["desktopCompanionMode"], true);
  EXPECT_EQ(f.stored()["readEventIDs"], Json::array({"e1"}));
  // Replaced by a rename, never rewritten in place, and nothing left beside it.
  EXPECT_NE(inodeOf(f.path), before);
  EXPECT_EQ(std::filesystem::status(f.path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator(f.dir.file("config")))
    ++files;
  EXPECT_EQ(files, 1u);
  // Reopened as at the next start.
  JsonFileUserDefaults reopened(f.path);
  EXPECT_TRUE(loadUserSettings(reopened).desktopCompanionMode);

  ASSERT_TRUE(f.click(SettingsRoles::kSwitch, SettingsKeys::kShowCapsuleMode));
  ASSERT_EQ(f.announced.size(), 2u);
  EXPECT_FALSE(f.announced[1].showCapsuleMode);
  EXPECT_EQ(f.stored()["showCapsuleMode"], false);
}

TEST(SettingsPanelTest, ReleaseElsewhereIsNoClickAndCompanionModeIsStored) {
  PanelFixture f;
  const auto muted = *f.target(SettingsRoles::kSwitch, SettingsKeys::kMuted);
  const auto motion = *f.target(SettingsRoles::kSwitch, SettingsKeys::kReduceMotion);
  f.panel.pointerDown({muted.rect.midX(), muted.rect.midY()});
  EXPECT_FALSE(f.panel.pointerUp({motion.rect.midX(), motion.rect.midY()}));
  EXPECT_TRUE(f.announced.empty());

  ASSERT_TRUE(f.click(SettingsRoles::kCompanionMode, "roaming"));
  EXPECT_EQ(f.settings.preferences().companionDisplayMode, "roaming");
  EXPECT_EQ(f.stored()["companionDisplayMode"], "roaming");
  EXPECT_EQ(f.announced.size(), 1u);
}

TEST(SettingsPanelTest, TabsKeepTheirOwnScrollAndHideTargetsScrolledAway) {
  PanelFixture f;
  SettingsContent content;
  std::vector<ToolHealth> tools;
  for (int i = 0; i < 12; ++i) {
    ToolHealth tool;
    tool.id = "tool-" + std::to_string(i);
    tool.product = "Product " + std::to_string(i / 3);
    tool.name = "Tool " + std::to_string(i);
    if (i == 2) {
      tool.status = HookStatus::repair;
      tool.detected = true;
    }
    tools.push_back(tool);
  }
  content.toolGroups = settingsAIToolGroups(tools);
  f.panel.setContent(content);

  ASSERT_TRUE(f.click(SettingsRoles::kTab, "aiTools"));
  EXPECT_EQ(f.panel.state().activeSettingsTab, SettingsTab::aiTools);
  ASSERT_TRUE(f.target(SettingsRoles::kToolEnabled, "tool-0"));
  EXPECT_FALSE(f.target(SettingsRoles::kToolEnabled, "tool-11")) << "below the fold";

  EXPECT_TRUE(f.panel.scroll(100000));
  const SettingsFrame scrolled = f.panel.layout();
  EXPECT_DOUBLE_EQ(f.panel.state().scrollOffset(),
                   scrolled.contentHeight - scrolled.viewport.height);
  EXPECT_FALSE(f.target(SettingsRoles::kToolEnabled, "tool-0"));
  ASSERT_TRUE(f.target(SettingsRoles::kToolEnabled, "tool-11"));
  EXPECT_FALSE(f.panel.scroll(10)) << "already at the end";

  ASSERT_TRUE(f.click(SettingsRoles::kTab, "general"));
  EXPECT_EQ(f.panel.state().scrollOffset(), 0);
  ASSERT_TRUE(f.click(SettingsRoles::kTab, "aiTools"));
  EXPECT_GT(f.panel.state().scrollOffset(), 0);
  EXPECT_TRUE(f.panel.scroll(-1e6));
  EXPECT_EQ(f.panel.state().scrollOffset(), 0);

  // Switching a tool off and on again; its action goes to the application once.
  ASSERT_TRUE(f.click(SettingsRoles::kToolEnabled, "tool-1"));
  EXPECT_EQ(f.settings.preferences().disabledToolIDs.back(), "tool-1");
  ASSERT_TRUE(f.click(SettingsRoles::kToolEnabled, "tool-1"));
  EXPECT_EQ(f.settings.preferences().disabledToolIDs, defaultDisabledToolIDs());
  ASSERT_TRUE(f.click(SettingsRoles::kToolAction, "tool-2"));
  EXPECT_EQ(f.actions, (std::vector<std::string>{"tool tool-2"}));
}

TEST(SettingsPanelTest, PetsPreviewPillsAndScaleSlider) {
  PanelFixture f;
  f.panel.activateSettingsTab(SettingsTab::pets);
  ASSERT_TRUE(f.click(SettingsRoles::kPreviewMode, "tucked"));
  EXPECT_EQ(f.panel.state().previewMode, PetPreviewMode::tucked);
  EXPECT_EQ(f.settings.preferences().companionDisplayMode, "bubble") << "a preview only";
  EXPECT_TRUE(f.announced.empty());

  ASSERT_TRUE(f.click(SettingsRoles::kPreviewState, "rateLimit"));
  EXPECT_EQ(f.panel.state().previewState, PetPreviewStateID::rateLimit);
  EXPECT_EQ(f.stored()["desktopCompanionPetState"], "rateLimit");
  size_t statePills = 0;
  for (const auto& t : f.panel.layout().targets)
    statePills += t.role == SettingsRoles::kPreviewState;
  EXPECT_EQ(statePills, 8u);

  ASSERT_TRUE(f.click(SettingsRoles::kPreviewSize, "large"));
  EXPECT_EQ(f.stored()["floatingPetScale"], 1.3);

  // Dragging past both ends of the track stays within the scale's limits; only the release
  // writes.
  const auto slider = *f.target(SettingsRoles::kScaleSlider);
  const Rect track = slider.rect.insetBy(8, 4);
  const size_t before = f.announced.size();
  EXPECT_TRUE(f.panel.pointerDown({track.x, track.midY()}));
  EXPECT_TRUE(f.panel.pointerDragged({track.x - 500, track.midY()}));
  EXPECT_EQ(f.panel.state().sliderDrag->scale, 0.75);
  EXPECT_TRUE(f.panel.pointerDragged({track.maxX() + 500, track.midY()}));
  EXPECT_EQ(f.announced.size(), before);
  EXPECT_TRUE(f.panel.pointerUp({track.maxX() + 500, track.midY()}));
  EXPECT_EQ(f.stored()["floatingPetScale"], 1.6);
  EXPECT_EQ(f.announced.size(), before + 1);
  EXPECT_FALSE(f.panel.state().sliderDrag);
  EXPECT_FALSE(f.panel.pointerDragged({track.x, track.midY()}));
}

TEST(SettingsPanelTest, AboutTabMarkerUpdateRowsAndKeys) {
  PanelFixture f;
  SettingsContent content;
  content.about = settingsAboutContentWithoutUpdates("0.1.0");
  f.panel.setContent(content);
  auto about = f.panel.layout().tabs.back();
  EXPECT_EQ(about.title, "About");
  EXPECT_FALSE(about.marker);
  f.panel.activateSettingsTab(SettingsTab::about);
  EXPECT_FALSE(f.target(SettingsRoles::kAboutPrimary)) << "the disabled row has no action";

  UpgradeCheckResponse response;
  response.updateAvailable = true;
  response.latest.version = "0.2.0";
  content.about = settingsAboutContent(UpdateAvailable{response}, "0.1.0");
  f.panel.setContent(content);
  EXPECT_TRUE(f.panel.layout().tabs.back().marker);
  EXPECT_TRUE(f.target(SettingsRoles::kAboutPrimary));
  content.about = settingsAboutContent(UpdateChecking{}, "0.1.0");
  EXPECT_FALSE(content.about.updateAvailable);
  EXPECT_FALSE(content.about.primaryActionEnabled);

  std::vector<std::string> titles;
  for (const auto& tab : f.panel.layout().tabs) titles.push_back(tab.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"General", "Pets", "Sounds", "AI Tools", "About"}));
  EXPECT_TRUE(f.panel.key(SettingsKey::nextTab));
  EXPECT_EQ(f.panel.state().activeSettingsTab, SettingsTab::general);
  EXPECT_TRUE(f.panel.key(SettingsKey::previousTab));
  EXPECT_EQ(f.panel.state().activeSettingsTab, SettingsTab::about);
  f.panel.key(SettingsKey::escape);
  ASSERT_TRUE(f.click(SettingsRoles::kClose));
  EXPECT_EQ(f.actions, (std::vector<std::string>{"close", "close"}));
}

}  // namespace
}  // namespace glimmet
