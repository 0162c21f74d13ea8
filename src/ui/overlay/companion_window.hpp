#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "app/app_snapshot.hpp"
#include "base/environment.hpp"
#include "base/log.hpp"
#include "platform/main_loop.hpp"
#include "platform/overlay_host.hpp"
#include "ui/overlay/companion_animation_timer.hpp"
#include "ui/view/companion_frame.hpp"
#include "ui/view/companion_pointer.hpp"
#include "ui/view/companion_settings.hpp"

namespace glimmet {

// The desktop companion's own borderless, transparent window: the pet and its label drawn from
// the newest snapshot, moved by dragging, remembered where the user leaves it, and walking
// along the bottom of its screen in roaming mode.
//
// Roaming walks the window from edge to edge of the screen it is on, at the height the user last
// put it (the bottom of the work area when never moved), and only while motion is allowed:
// "reduceMotion" stops the walk with the animation.
class CompanionWindow {
 public:
  struct Actions {
    // A click on the label's status item: show the message it came from.
    std::function<void(const CompanionStatusItem&)> openStatus;
    // A click on the pet: the settings on the Pets tab.
    std::function<void()> openPetSettings;
  };

  CompanionWindow(OverlayHost& host, MainLoop& loop, Environment environment, LogSink log,
                  Actions actions);
  ~CompanionWindow();
  CompanionWindow(const CompanionWindow&) = delete;
  CompanionWindow& operator=(const CompanionWindow&) = delete;

  // Creates the window at the remembered origin, else at the bottom right of the primary
  // screen's work area. `placementMode` shows the placing hint until a confirming click.
  void show(const CompanionSettings& settings, SnapshotPtr snapshot, bool placementMode);
  void update(SnapshotPtr snapshot);
  // The pet chosen in the settings; redraws when it changed.
  void setPet(const PetChoice& pet);
  // The mode, scale or motion preference changed: resize, restart or stop the animation.
  void applySettings(const CompanionSettings& settings);
  void onPointer(const HostPointerEvent& event);

  HostWindowID window() const { return window_; }
  // The window system went away with the window: nothing may be asked of the host any more.
  void forgetWindow() { window_ = 0; }
  const PixelRect& frame() const { return frame_; }

 private:
  void redraw();
  void animationTick();
  std::vector<Rect> workAreas() const;
  PixelRect defaultFrame(Size size) const;
  void moveTo(const Rect& frame);
  void persistFrame(const Rect& frame);

  OverlayHost& host_;
  MainLoop& loop_;
  Environment environment_;
  LogSink log_;
  Actions actions_;
  HostWindowID window_ = 0;
  PixelRect frame_;
  CompanionSettings settings_;
  SnapshotPtr snapshot_;
  CompanionFrame view_;
  CompanionTicker ticker_;
  CompanionDragState drag_;
  CompanionRoamingWalk walk_;
  CompanionAnimationTimer animation_;
  Timestamp lastTickAt_{};
  bool placementMode_ = false;
  int animationStep_ = 0;
  PetChoice pet_ = defaultPetChoice();
};

}  // namespace glimmet
