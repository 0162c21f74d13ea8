#include "ui/overlay/overlay_placement.hpp"

#include <gtest/gtest.h>

namespace glimmet {
namespace {

HostScreen screen(std::string id, int x, int width, bool primary = false, int reserved = 0) {
  HostScreen result;
  result.id = std::move(id);
  result.name = result.id;
  result.frame = {x, 0, width, 1080};
  result.primary = primary;
  result.topReservedHeight = reserved;
  return result;
}

std::vector<std::string> ids(const std::vector<HostScreen>& screens) {
  std::vector<std::string> result;
  for (const auto& s : screens) result.push_back(s.id);
  return result;
}

TEST(OverlayPlacement, PolicyPicksPrimaryPointerOrEveryScreen) {
  const std::vector<HostScreen> screens = {screen("left", 0, 960), screen("right", 960, 960, true),
                                           screen("right", 960, 960), screen("zero", 1920, 0)};
  EXPECT_EQ(ids(uniqueLogicalScreens(screens)), (std::vector<std::string>{"right", "left"}));
  EXPECT_EQ(ids(screensForPolicy(screens, DisplayPolicy::primary, std::nullopt)),
            std::vector<std::string>{"right"});
  EXPECT_EQ(ids(screensForPolicy(screens, DisplayPolicy::all, std::nullopt)),
            (std::vector<std::string>{"right", "left"}));
  EXPECT_EQ(ids(screensForPolicy(screens, DisplayPolicy::mouse, std::pair{959, 500})),
            std::vector<std::string>{"left"});
  EXPECT_EQ(ids(screensForPolicy(screens, DisplayPolicy::mouse, std::pair{960, 500})),
            std::vector<std::string>{"right"});
  // Off every screen, or unknown: the first one.
  EXPECT_EQ(ids(screensForPolicy(screens, DisplayPolicy::mouse, std::pair{5000, 5})),
            std::vector<std::string>{"right"});
  EXPECT_TRUE(screensForPolicy({}, DisplayPolicy::all, std::nullopt).empty());
  EXPECT_TRUE(
      screensForPolicy({screen("zero", 0, 0)}, DisplayPolicy::primary, std::nullopt).empty());

  EXPECT_EQ(displayPolicyFromRaw("all"), DisplayPolicy::all);
  EXPECT_EQ(displayPolicyFromRaw("mouse"), DisplayPolicy::mouse);
  EXPECT_EQ(displayPolicyFromRaw("Mouse"), DisplayPolicy::primary);
  EXPECT_EQ(displayPolicyFromRaw(std::nullopt), DisplayPolicy::primary);
}

TEST(OverlayPlacement, WindowsHangCentredFromTheTopOfTheirScreen) {
  EXPECT_EQ(overlayWindowFrame(screen("a", 0, 1920), {332, 32}), (PixelRect{794, 0, 332, 32}));
  EXPECT_EQ(overlayWindowFrame(screen("a", 0, 960), {332, 32}), (PixelRect{314, 0, 332, 32}));
  EXPECT_EQ(overlayWindowFrame(screen("b", 960, 960), {332, 32}), (PixelRect{1274, 0, 332, 32}));
  EXPECT_EQ(overlayWindowFrame(screen("a", 0, 1920), {540, 317}), (PixelRect{690, 0, 540, 317}));
  // A fractional height (a MacBook notch of 37.3 points) takes the whole last pixel row.
  EXPECT_EQ(overlayWindowFrame(screen("a", 0, 1920), {332, 37.3}).height, 38);
}

TEST(OverlayPlacement, SignatureChangesWithEveryScreenChangeThatMovesTheOverlay) {
  const auto base = screenSignature({screen("a", 0, 960), screen("b", 960, 960)});
  EXPECT_EQ(base, screenSignature({screen("a", 0, 960), screen("b", 960, 960)}));
  EXPECT_NE(base, screenSignature({screen("a", 0, 960)}));
  EXPECT_NE(base, screenSignature({screen("a", 0, 960), screen("b", 960, 1000)}));
  EXPECT_NE(base, screenSignature({screen("a", 0, 960, false, 27), screen("b", 960, 960)}));
}

// A 1512-point MacBook screen whose 176-point camera housing starts at x 668 and reaches 32
// points down, beside `offset` points of another screen on its left.
HostScreen macBook(int offset = 0, int notchX = 668) {
  HostScreen result = screen("1", offset, 1512, true, 32);
  result.name = "Built-in Liquid Retina XDR Display";
  result.frame.height = 982;
  result.safeAreaTopInset = 32;
  result.notch = PixelRect{offset + notchX, 0, 176, 32};
  return result;
}

TEST(OverlayPlacement, WindowsHangCentredOnTheCameraHousing) {
  EXPECT_EQ(overlayWindowFrame(macBook(), {332, 31.3}), (PixelRect{590, 0, 332, 32}));
  EXPECT_EQ(overlayWindowFrame(macBook(1920), {540, 317}), (PixelRect{1920 + 486, 0, 540, 317}));
  // A housing away from the middle takes the window with it.
  EXPECT_EQ(overlayWindowFrame(macBook(0, 400), {332, 32}), (PixelRect{322, 0, 332, 32}));
}

TEST(OverlayPlacement, CollapsedHeightFollowsTheHousingOnlyOnAMacBookDisplay) {
  HostScreen deep = macBook();
  deep.safeAreaTopInset = 38;
  deep.topReservedHeight = 0;
  EXPECT_DOUBLE_EQ(collapsedHeightOn(deep, DisplayKind::macBookPhysical), 37.3);
  EXPECT_DOUBLE_EQ(collapsedHeightOn(macBook(), DisplayKind::macBookPhysical), 32);
  // The same screen drawn as a virtual notch keeps the menu bar's height.
  deep.topReservedHeight = 24;
  EXPECT_DOUBLE_EQ(collapsedHeightOn(deep, DisplayKind::externalVirtual), 24);
  // No housing, no inset: a built-in panel elsewhere keeps the 32-point capsule.
  EXPECT_DOUBLE_EQ(collapsedHeightOn(screen("eDP-1", 0, 1920), DisplayKind::macBookPhysical), 32);
}

TEST(OverlayPlacement, SignatureChangesWhenTheHousingChanges) {
  const auto base = screenSignature({macBook()});
  EXPECT_EQ(base, screenSignature({macBook()}));
  EXPECT_NE(base, screenSignature({macBook(0, 600)}));
  HostScreen deeper = macBook();
  deeper.safeAreaTopInset = 38;
  EXPECT_NE(base, screenSignature({deeper}));
  HostScreen none = macBook();
  none.notch.reset();
  none.safeAreaTopInset = 0;
  EXPECT_NE(base, screenSignature({none}));
  // Screens without a housing keep the signature they always had.
  EXPECT_EQ(screenSignature({screen("a", 0, 960, false, 27)}), "a@0,0,960x1080+27;");
}

Environment withDisplayKind(const char* kind) {
  Environment environment;
  environment.set("GLIMMET_DISPLAY_KIND", kind);
  return environment;
}

TEST(OverlayPlacement, DisplayKindFromTheEnvironmentOrTheScreenName) {
  HostScreen builtIn = screen("eDP-1", 0, 1512);
  builtIn.name = "Built-in Retina Display";
  const Environment none = Environment();
  EXPECT_EQ(displayKindFor(builtIn, none), DisplayKind::macBookPhysical);
  EXPECT_EQ(displayKindFor(screen("HDMI-1", 0, 1920), none), DisplayKind::externalVirtual);
  EXPECT_EQ(displayKindFor(screen("HDMI-1", 0, 1920), withDisplayKind("macbook")),
            DisplayKind::macBookPhysical);
  EXPECT_EQ(displayKindFor(builtIn, withDisplayKind("external")), DisplayKind::externalVirtual);
}

}  // namespace
}  // namespace glimmet
