// Where the settings panel opens and how a remembered frame is brought back onto the screen.

#include "ui/view/settings_frames.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

TEST(SettingsFramesTest, DefaultFrameFitsTheScreenLessTheMarginAndIsCentred) {
  EXPECT_EQ(settingsPanelDefaultFrame({0, 0, 1280, 800}), (Rect{210, 12, 860, 776}));
  // A large screen to the right of another: the full default size, centred on it.
  EXPECT_EQ(settingsPanelDefaultFrame({1280, 0, 1920, 1080}), (Rect{1810, 150, 860, 780}));
  // Exactly the default plus the margins: no room to spare either way.
  EXPECT_EQ(settingsPanelDefaultFrame({0, 0, 884, 804}), (Rect{12, 12, 860, 780}));
  EXPECT_EQ(settingsPanelDefaultFrame({0, 0, 600, 400}), (Rect{12, 12, 576, 376}));
}

TEST(SettingsFramesTest, StoredFramesAreClampedToTheMinimumAndTheScreen) {
  const Rect screen{0, 0, 1280, 800};
  EXPECT_EQ(clampedSettingsPanelFrame({100, 100, 400, 300}, screen), (Rect{100, 100, 680, 520}));
  EXPECT_EQ(clampedSettingsPanelFrame({100, 100, 680, 520}, screen), (Rect{100, 100, 680, 520}));
  EXPECT_EQ(clampedSettingsPanelFrame({100, 100, 681, 521}, screen), (Rect{100, 100, 681, 521}));
  EXPECT_EQ(clampedSettingsPanelFrame({0, 0, 2000, 2000}, screen), (Rect{12, 12, 1256, 776}));
  // Off the top left, and past the bottom right: pulled inside the margin.
  EXPECT_EQ(clampedSettingsPanelFrame({-50, -50, 700, 600}, screen), (Rect{12, 12, 700, 600}));
  EXPECT_EQ(clampedSettingsPanelFrame({900, 400, 700, 600}, screen), (Rect{568, 188, 700, 600}));
  // A screen smaller than the minimum: the minimum wins and the panel starts at the margin.
  EXPECT_EQ(clampedSettingsPanelFrame({300, 300, 700, 600}, {0, 0, 600, 400}),
            (Rect{12, 12, 680, 520}));
}

TEST(SettingsFramesTest, DesktopFrameUsesTheFirstScreenOrTheOriginWithoutOne) {
  EXPECT_EQ(settingsPanelDesktopFrame({}), (Rect{0, 0, 884, 804}));
  EXPECT_EQ(settingsPanelDesktopFrame({{0, 0, 1280, 800}, {1280, 0, 1920, 1080}}),
            (Rect{210, 12, 860, 776}));
}

}  // namespace
}  // namespace glimmet
