#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/linux/x11_connection.hpp"
#include "platform/overlay_host.hpp"

namespace glimmet {

// One overlay window: 32-bit ARGB where the server offers it, override-redirect so no window
// manager frames or moves it, kept above the others by its host. It keeps the last picture so
// that it can repaint on Expose without asking the view.
class X11OverlayWindow {
 public:
  X11OverlayWindow(X11Connection& x, const PixelRect& frame);
  ~X11OverlayWindow();
  X11OverlayWindow(const X11OverlayWindow&) = delete;
  X11OverlayWindow& operator=(const X11OverlayWindow&) = delete;

  Window id() const { return window_; }
  bool isVisible() const { return visible_; }

  void setFrame(const PixelRect& frame);
  void setVisible(bool visible);
  // `clipToPicture`: no compositor blends the transparent parts, so the window's shape is cut
  // to the visible pixels.
  void present(const HostWindowContent& content, bool clipToPicture);
  void setClippedToPicture(bool clipToPicture);
  void repaint();

 private:
  void applyBoundingShape();

  X11Connection& x_;
  Window window_ = 0;
  Colormap colormap_ = 0;
  GC gc_ = nullptr;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  PixelRect frame_;
  bool visible_ = true;
  bool clipped_ = false;
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;
  std::vector<uint32_t> picture_;
  std::vector<PixelRect> visibleParts_;
};

}  // namespace glimmet
