// The decisions of the macOS shell, taken on facts as AppKit, Carbon and Core Graphics report
// them on real Macs.

#include "platform/mac_shell_rules.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glimmet {
namespace {

// A 14-inch MacBook Pro in its default scaling: 1512 × 982 points, a 32-point safe-area inset
// and the camera housing between x 668 and 844. The Dock (70 points) sits at the bottom.
constexpr double kMacBookHeight = 982;

CocoaScreenFacts macBookScreen() {
  CocoaScreenFacts screen;
  screen.id = "1";
  screen.localizedName = "Built-in Liquid Retina XDR Display";
  screen.frame = {0, 0, 1512, kMacBookHeight};
  screen.visibleFrame = {0, 70, 1512, kMacBookHeight - 70 - 32};
  screen.safeAreaTopInset = 32;
  screen.auxiliaryTopLeftArea = CocoaRect{0, kMacBookHeight - 32, 668, 32};
  screen.auxiliaryTopRightArea = CocoaRect{844, kMacBookHeight - 32, 668, 32};
  screen.backingScaleFactor = 2;
  return screen;
}

CocoaScreenFacts externalScreen(CocoaRect frame, double menuBarHeight) {
  CocoaScreenFacts screen;
  screen.id = "2";
  screen.localizedName = "DELL U2720Q";
  screen.frame = frame;
  screen.visibleFrame = {frame.x, frame.y, frame.width, frame.height - menuBarHeight};
  return screen;
}

// --- Coordinates and the notch --------------------------------------------------------------

TEST(MacScreenGeometry, CocoaRectanglesFlipAroundThePrimaryScreenHeight) {
  // The primary screen itself fills the top-left space from the origin.
  EXPECT_EQ(topLeftRect({0, 0, 1512, 982}, kMacBookHeight), (PixelRect{0, 0, 1512, 982}));
  // The menu bar strip: the top 32 points of the primary screen.
  EXPECT_EQ(topLeftRect({0, 950, 1512, 32}, kMacBookHeight), (PixelRect{0, 0, 1512, 32}));
  // A window 100 points high whose bottom edge is 200 points above the screen's bottom.
  EXPECT_EQ(topLeftRect({40, 200, 300, 100}, kMacBookHeight), (PixelRect{40, 682, 300, 100}));
}

TEST(MacScreenGeometry, SecondaryScreensAboveOrLeftOfThePrimaryGetNegativeCoordinates) {
  // Above the primary: its bottom edge lies on the primary's top edge.
  const CocoaRect above{-200, 982, 1920, 1080};
  EXPECT_EQ(topLeftRect(above, kMacBookHeight), (PixelRect{-200, -1080, 1920, 1080}));
  // Left of the primary, dropped 100 points below its bottom edge.
  const CocoaRect left{-2560, -100, 2560, 1440};
  EXPECT_EQ(topLeftRect(left, kMacBookHeight), (PixelRect{-2560, -358, 2560, 1440}));
  // Right of the primary, top edges aligned.
  const CocoaRect right{1512, -98, 1920, 1080};
  EXPECT_EQ(topLeftRect(right, kMacBookHeight), (PixelRect{1512, 0, 1920, 1080}));

  // And back: every one of them comes home unchanged.
  for (const CocoaRect& rect : {above, left, right, CocoaRect{0, 0, 1512, 982}}) {
    EXPECT_EQ(cocoaRect(topLeftRect(rect, kMacBookHeight), kMacBookHeight), rect);
  }
  // A window 38 points high at the top of the secondary screen above the primary.
  EXPECT_EQ(cocoaRect({590, -1080, 332, 38}, kMacBookHeight), (CocoaRect{590, 2024, 332, 38}));
}

TEST(MacScreenGeometry, FractionalPointsRoundByTheirEdgesSoNeighboursStillTouch) {
  // Two windows that share an edge at x 100.5 still share one after rounding.
  const PixelRect a = topLeftRect({0.25, 0, 100.25, 50}, kMacBookHeight);
  const PixelRect b = topLeftRect({100.5, 0, 50, 50}, kMacBookHeight);
  EXPECT_EQ(a.x + a.width, b.x);
}

TEST(MacNotch, TheHousingLiesBetweenTheTwoAuxiliaryAreas) {
  const auto notch = notchRect(macBookScreen(), kMacBookHeight);
  ASSERT_TRUE(notch.has_value());
  EXPECT_EQ(*notch, (PixelRect{668, 0, 176, 32}));
}

TEST(MacNotch, NoneWithoutAnInsetOrWithoutBothAreas) {
  CocoaScreenFacts noInset = macBookScreen();
  noInset.safeAreaTopInset = 0;
  EXPECT_FALSE(notchRect(noInset, kMacBookHeight).has_value());

  CocoaScreenFacts onlyLeft = macBookScreen();
  onlyLeft.auxiliaryTopRightArea.reset();
  EXPECT_FALSE(notchRect(onlyLeft, kMacBookHeight).has_value());

  CocoaScreenFacts onlyRight = macBookScreen();
  onlyRight.auxiliaryTopLeftArea.reset();
  EXPECT_FALSE(notchRect(onlyRight, kMacBookHeight).has_value());

  // Objective-C reports an unobscured corner as NSZeroRect rather than nil.
  CocoaScreenFacts zeroLeft = macBookScreen();
  zeroLeft.auxiliaryTopLeftArea = CocoaRect{};
  EXPECT_FALSE(notchRect(zeroLeft, kMacBookHeight).has_value());
  CocoaScreenFacts zeroRight = macBookScreen();
  zeroRight.auxiliaryTopRightArea = CocoaRect{};
  EXPECT_FALSE(notchRect(zeroRight, kMacBookHeight).has_value());

  // Areas that meet or overlap leave no housing between them.
  CocoaScreenFacts touching = macBookScreen();
  touching.auxiliaryTopRightArea = CocoaRect{668, kMacBookHeight - 32, 844, 32};
  EXPECT_FALSE(notchRect(touching, kMacBookHeight).has_value());

  EXPECT_FALSE(notchRect(externalScreen({0, 0, 1920, 1080}, 24), 1080).has_value());
}

TEST(MacNotch, AMacBookAsASecondaryScreenKeepsItsNotchInGlobalCoordinates) {
  // The MacBook right of a 1080-high primary, bottoms aligned: its areas are global too.
  CocoaScreenFacts screen = macBookScreen();
  screen.frame = {1920, 0, 1512, 982};
  screen.auxiliaryTopLeftArea = CocoaRect{1920, 950, 668, 32};
  screen.auxiliaryTopRightArea = CocoaRect{1920 + 844, 950, 668, 32};
  const auto notch = notchRect(screen, 1080);
  ASSERT_TRUE(notch.has_value());
  EXPECT_EQ(*notch, (PixelRect{1920 + 668, 98, 176, 32}));
}

TEST(MacHostScreen, AMacBookScreenCarriesItsMenuBarInsetAndNotch) {
  const HostScreen screen = hostScreenFromCocoa(macBookScreen(), true, kMacBookHeight);
  EXPECT_EQ(screen.id, "1");
  EXPECT_EQ(screen.name, "Built-in Liquid Retina XDR Display");
  EXPECT_EQ(screen.frame, (PixelRect{0, 0, 1512, 982}));
  EXPECT_TRUE(screen.primary);
  EXPECT_EQ(screen.topReservedHeight, 32);
  EXPECT_DOUBLE_EQ(screen.safeAreaTopInset, 32);
  ASSERT_TRUE(screen.notch.has_value());
  EXPECT_EQ(*screen.notch, (PixelRect{668, 0, 176, 32}));
}

TEST(MacHostScreen, AnExternalScreenHasNoNotchAndItsOwnMenuBar) {
  // Above the MacBook, with a 25-point menu bar (1080 − 1055).
  const HostScreen screen =
      hostScreenFromCocoa(externalScreen({-200, 982, 1920, 1080}, 25), false, kMacBookHeight);
  EXPECT_EQ(screen.frame, (PixelRect{-200, -1080, 1920, 1080}));
  EXPECT_FALSE(screen.primary);
  EXPECT_EQ(screen.topReservedHeight, 25);
  EXPECT_DOUBLE_EQ(screen.safeAreaTopInset, 0);
  EXPECT_FALSE(screen.notch.has_value());

  // A hidden menu bar reserves nothing; a fractional one reserves the whole last point.
  EXPECT_EQ(
      hostScreenFromCocoa(externalScreen({0, 0, 1920, 1080}, 0), true, 1080).topReservedHeight, 0);
  EXPECT_EQ(
      hostScreenFromCocoa(externalScreen({0, 0, 1920, 1080}, 24.3), true, 1080).topReservedHeight,
      25);
}

// --- Full-screen windows --------------------------------------------------------------------

constexpr int kOwnPID = 4242;

WindowSnapshot window(PixelRect bounds, int pid = 77) {
  WindowSnapshot snapshot;
  snapshot.ownerPID = pid;
  snapshot.bounds = bounds;
  return snapshot;
}

const std::map<std::string, PixelRect> kDisplays = {
    {"1", {0, 0, 1000, 1000}},
    {"2", {1000, 0, 1000, 1000}},
};

std::set<std::string> covered(const std::vector<WindowSnapshot>& windows,
                              const std::map<std::string, PixelRect>& displays = kDisplays) {
  return displayIDsWithFullScreenWindows(windows, displays, kOwnPID);
}

TEST(MacFullScreen, NinetyEightPercentCoversADisplayNinetySevenDoesNot) {
  EXPECT_EQ(covered({window({1000, 0, 1000, 980})}), (std::set<std::string>{"2"}));
  EXPECT_TRUE(covered({window({1000, 0, 1000, 970})}).empty());
  EXPECT_TRUE(covered({window({1000, 20, 1000, 979})}).empty());
  // Spilling onto the neighbour counts only the part on each display.
  EXPECT_EQ(covered({window({500, 0, 1500, 1000})}), (std::set<std::string>{"2"}));
  EXPECT_EQ(covered({window({-10, -10, 2020, 1020})}), (std::set<std::string>{"1", "2"}));
}

TEST(MacFullScreen, OnlyOtherAppsOrdinaryVisibleWindowsCount) {
  const PixelRect whole{0, 0, 1000, 1000};
  EXPECT_TRUE(covered({window(whole, kOwnPID)}).empty());

  WindowSnapshot menuBarLayer = window(whole);
  menuBarLayer.layer = 24;
  WindowSnapshot belowNormal = window(whole);
  belowNormal.layer = -1;
  EXPECT_TRUE(covered({menuBarLayer, belowNormal}).empty());

  WindowSnapshot transparent = window(whole);
  transparent.alpha = 0.01;
  EXPECT_TRUE(covered({transparent}).empty());
  transparent.alpha = 0.02;
  EXPECT_EQ(covered({transparent}), (std::set<std::string>{"1"}));

  WindowSnapshot offScreen = window(whole);
  offScreen.isOnScreen = false;
  EXPECT_TRUE(covered({offScreen}).empty());
}

TEST(MacFullScreen, EmptyWindowsAndZeroAreaDisplaysAreSkipped) {
  EXPECT_TRUE(covered({window({0, 0, 0, 1000}), window({0, 0, 1000, 0})}).empty());
  const std::map<std::string, PixelRect> displays = {
      {"gone", {0, 0, 0, 0}}, {"line", {0, 0, 1000, 0}}, {"1", {0, 0, 1000, 1000}}};
  EXPECT_EQ(covered({window({0, 0, 1000, 1000})}, displays), (std::set<std::string>{"1"}));
  EXPECT_TRUE(covered({}).empty());
}

// --- Keys -----------------------------------------------------------------------------------

TEST(MacKeys, FunctionKeysMapByTheirVirtualKeyCode) {
  // NSEvent's characters for these are control characters or private-use function keys; the
  // key code decides.
  EXPECT_EQ(keysymForMacKey(53, 0x1b), 0xff1bu);     // Escape
  EXPECT_EQ(keysymForMacKey(36, '\r'), 0xff0du);     // Return
  EXPECT_EQ(keysymForMacKey(76, 0x03), 0xff8du);     // keypad Enter
  EXPECT_EQ(keysymForMacKey(51, 0x7f), 0xff08u);     // Delete, which erases backwards
  EXPECT_EQ(keysymForMacKey(117, 0xf728), 0xffffu);  // forward delete
  EXPECT_EQ(keysymForMacKey(123, 0xf702), 0xff51u);  // left
  EXPECT_EQ(keysymForMacKey(124, 0xf703), 0xff53u);  // right
  EXPECT_EQ(keysymForMacKey(125, 0xf701), 0xff54u);  // down
  EXPECT_EQ(keysymForMacKey(126, 0xf700), 0xff52u);  // up
  EXPECT_EQ(keysymForMacKey(115, 0xf729), 0xff50u);  // Home
  EXPECT_EQ(keysymForMacKey(119, 0xf72b), 0xff57u);  // End
  EXPECT_EQ(keysymForMacKey(48, '\t'), 0xff09u);     // Tab
}

TEST(MacKeys, TypedCharactersBecomeTheirKeysyms) {
  EXPECT_EQ(keysymForMacKey(0, 'a'), 0x61u);
  EXPECT_EQ(keysymForMacKey(0, 'A'), 0x41u);
  EXPECT_EQ(keysymForMacKey(49, ' '), 0x20u);
  EXPECT_EQ(keysymForMacKey(14, U'é'), 0xe9u);        // Latin-1: itself
  EXPECT_EQ(keysymForMacKey(14, U'€'), 0x010020acu);  // beyond Latin-1: Unicode keysym
  EXPECT_EQ(keysymForMacKey(0, U'😀'), 0x0101f600u);   // beyond the BMP too
  EXPECT_EQ(keysymForMacKey(0, U'\u00a0'), 0xa0u);    // no-break space
}

TEST(MacKeys, KeysWithoutAKeysymGiveNone) {
  EXPECT_EQ(keysymForMacKey(96, 0xf708), 0u);  // F5: a private-use function-key character
  EXPECT_EQ(keysymForMacKey(0, 0), 0u);
  EXPECT_EQ(keysymForMacKey(0, 0x01), 0u);  // control characters
  EXPECT_EQ(keysymForMacKey(0, 0x7f), 0u);
  EXPECT_EQ(keysymForMacKey(0, 0x85), 0u);
  EXPECT_EQ(keysymForMacKey(0, 0xd800), 0u);  // a lone surrogate
  EXPECT_EQ(keysymForMacKey(0, 0x110000), 0u);
}

constexpr uint32_t kCmdKey = 0x100;
constexpr uint32_t kShiftKey = 0x200;
constexpr uint32_t kOptionKey = 0x800;
constexpr uint32_t kControlKey = 0x1000;

HostHotKey hotKey(uint32_t keysym, bool control, bool alt, bool shift, bool super) {
  return {1, keysym, control, alt, shift, super};
}

TEST(MacHotKeys, TheControllersThreeHotKeysMapToCarbon) {
  // Control+Option+Space toggles the overlay.
  EXPECT_EQ(carbonHotKey(hotKey(0x20, true, true, false, false)),
            (CarbonHotKey{49, kControlKey | kOptionKey}));
  // Command+Shift+U jumps to the newest waiting request.
  EXPECT_EQ(carbonHotKey(hotKey(0x75, false, false, true, true)),
            (CarbonHotKey{32, kCmdKey | kShiftKey}));
  // Control+Command+U cycles through the waiting requests.
  EXPECT_EQ(carbonHotKey(hotKey(0x75, true, false, false, true)),
            (CarbonHotKey{32, kControlKey | kCmdKey}));
}

TEST(MacHotKeys, LettersDigitsAndFunctionKeysUseTheirAnsiCodes) {
  EXPECT_EQ(carbonHotKey(hotKey('a', false, false, false, true))->keyCode, 0u);
  EXPECT_EQ(carbonHotKey(hotKey('A', false, false, false, true))->keyCode, 0u);
  EXPECT_EQ(carbonHotKey(hotKey('b', false, false, false, false))->keyCode, 11u);
  EXPECT_EQ(carbonHotKey(hotKey('z', false, false, false, false))->keyCode, 6u);
  EXPECT_EQ(carbonHotKey(hotKey('Q', false, false, false, false))->keyCode, 12u);
  EXPECT_EQ(carbonHotKey(hotKey('5', false, false, false, false))->keyCode, 23u);
  EXPECT_EQ(carbonHotKey(hotKey('6', false, false, false, false))->keyCode, 22u);
  EXPECT_EQ(carbonHotKey(hotKey('0', false, false, false, false))->keyCode, 29u);
  EXPECT_EQ(carbonHotKey(hotKey(0xff1b, false, false, false, false))->keyCode, 53u);
  EXPECT_EQ(carbonHotKey(hotKey(0xff0d, false, false, false, false))->keyCode, 36u);
  EXPECT_EQ(carbonHotKey(hotKey(0xff09, false, false, false, false))->keyCode, 48u);
  EXPECT_EQ(carbonHotKey(hotKey(0xff52, false, false, false, false))->keyCode, 126u);
  // No modifier at all is a mask of zero.
  EXPECT_EQ(carbonHotKey(hotKey('a', false, false, false, false))->modifiers, 0u);
}

TEST(MacHotKeys, AKeysymWithoutAKeyCodeGivesNone) {
  EXPECT_FALSE(carbonHotKey(hotKey(0xe9, true, true, false, false)).has_value());  // é
  EXPECT_FALSE(carbonHotKey(hotKey(0x010020ac, true, false, false, false)).has_value());
  EXPECT_FALSE(carbonHotKey(hotKey(0, true, true, false, false)).has_value());
  EXPECT_FALSE(carbonHotKey(hotKey(0xffbe, false, false, false, false)).has_value());  // F1
}

// --- Windows and the application ------------------------------------------------------------

TEST(MacWindowLevels, OverlayAboveTheMenuBarSettingsAndDialogsNormalCompanionFloating) {
  EXPECT_EQ(macWindowLevel(MacWindowRole::overlay), 1000);
  EXPECT_EQ(macWindowLevel(MacWindowRole::settings), 0);
  EXPECT_EQ(macWindowLevel(MacWindowRole::dialog), 0);
  EXPECT_EQ(macWindowLevel(MacWindowRole::companion), 3);
}

TEST(MacActivation, AccessoryUnlessTheDockOrADebugRunAsksForARegularApp) {
  EXPECT_EQ(macActivationPolicy(false, false), MacActivationPolicy::accessory);
  EXPECT_EQ(macActivationPolicy(true, false), MacActivationPolicy::regular);
  EXPECT_EQ(macActivationPolicy(false, true), MacActivationPolicy::regular);
  EXPECT_EQ(macActivationPolicy(true, true), MacActivationPolicy::regular);
}

TEST(MacActivation, StartingInSettingsIsARegularAppAtLaunch) {
  EXPECT_EQ(macLaunchActivationPolicy(false, false, false), MacActivationPolicy::accessory);
  EXPECT_EQ(macLaunchActivationPolicy(false, false, true), MacActivationPolicy::regular);
  EXPECT_EQ(macLaunchActivationPolicy(true, false, false), MacActivationPolicy::regular);
  EXPECT_EQ(macLaunchActivationPolicy(false, true, false), MacActivationPolicy::regular);
}

std::vector<std::string> names(const std::vector<LaunchStep>& steps) {
  std::vector<std::string> result;
  for (LaunchStep step : steps) result.push_back(rawValue(step));
  return result;
}

TEST(MacLaunch, ServicesStartInTheirFixedOrder) {
  EXPECT_EQ(names(macLaunchSequence(false)),
            (std::vector<std::string>{"notificationCategories", "auditReconciliation",
                                      "socketServer", "eventMonitoring", "surfaces", "hotKeys",
                                      "refreshLoop", "firstRunFlow", "automaticUpdateCheck"}));
}

TEST(MacLaunch, AnIsolatedRunLeavesOutTheFirstRunFlowAndTheUpdateCheck) {
  EXPECT_EQ(
      names(macLaunchSequence(true)),
      (std::vector<std::string>{"notificationCategories", "auditReconciliation", "socketServer",
                                "eventMonitoring", "surfaces", "hotKeys", "refreshLoop"}));
}

}  // namespace
}  // namespace glimmet
