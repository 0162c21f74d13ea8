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
