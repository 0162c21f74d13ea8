#include "ui/overlay/settings_window_input.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

HostKeyEvent key(uint32_t keysym, bool shift = false, std::string text = {}) {
  HostKeyEvent event;
  event.keysym = keysym;
  event.shift = shift;
  event.text = std::move(text);
  return event;
}

HostScreen screen(int width, int height, bool primary = false, int reserved = 0) {
  HostScreen result;
  result.id = "s" + std::to_string(width);
  result.frame = {0, 0, width, height};
  result.primary = primary;
  result.topReservedHeight = reserved;
  return result;
}

TEST(SettingsWindowInput, EscapeClosesAndTabWalksBothWays) {
  EXPECT_EQ(settingsKeyFor(key(0xff1b)), SettingsKey::escape);
  EXPECT_EQ(settingsKeyFor(key(0xff09)), SettingsKey::nextTab);
  EXPECT_EQ(settingsKeyFor(key(0xff09, /*shift=*/true)), SettingsKey::previousTab);
  // Shift+Tab as X keyboards report it, with and without the Shift flag.
  EXPECT_EQ(settingsKeyFor(key(0xfe20, /*shift=*/true)), SettingsKey::previousTab);
  EXPECT_EQ(settingsKeyFor(key(0xfe20)), SettingsKey::previousTab);
}

TEST(SettingsWindowInput, OtherKeysAreNotThePanels) {
  EXPECT_EQ(settingsKeyFor(key(0xff0d)), std::nullopt);            // Return
  EXPECT_EQ(settingsKeyFor(key(0x74, false, "t")), std::nullopt);  // a typed letter
  EXPECT_EQ(settingsKeyFor(key(0xff08)), std::nullopt);            // BackSpace
}

TEST(SettingsWindowInput, WheelUpScrollsBackAndDownForwardOneStepEach) {
  EXPECT_EQ(settingsScrollFor(4), -kSettingsWheelStep);
  EXPECT_EQ(settingsScrollFor(5), kSettingsWheelStep);
  EXPECT_GT(kSettingsWheelStep, 0);
  for (int button : {1, 2, 3, 6, 7}) EXPECT_EQ(settingsScrollFor(button), std::nullopt) << button;
}

TEST(SettingsWindowInput, SizeIsTheDefaultPanelOnThePrimaryScreensVisibleFrame) {
  EXPECT_EQ(settingsWindowSize({screen(1920, 1080, true)}), (Size{860, 780}));
  // Taller than the screen allows: the visible height less the margins.
  EXPECT_EQ(settingsWindowSize({screen(1280, 800, true)}), (Size{860, 776}));
  // A top panel takes its height from the visible frame.
  EXPECT_EQ(settingsWindowSize({screen(1920, 800, true, 40)}), (Size{860, 736}));
  // The primary screen, wherever it is listed; the first when none is primary.
  EXPECT_EQ(settingsWindowSize({screen(800, 600), screen(1920, 1080, true)}), (Size{860, 780}));
  EXPECT_EQ(settingsWindowSize({screen(800, 600), screen(1920, 1080)}), (Size{776, 576}));
  EXPECT_EQ(settingsWindowSize({}), (Size{860, 780}));
}

}  // namespace
}  // namespace glimmet
