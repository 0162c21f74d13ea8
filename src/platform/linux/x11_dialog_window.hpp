#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/x11_connection.hpp"
#include "platform/overlay_host.hpp"

namespace glimmet {

// A window the window manager frames like any dialog: titled, focusable, kept above normal
// windows, opaque and of a fixed size. Typed text arrives through the input method context
// `ic` (composed and non-Latin text), when there is one. Keeps the last picture for Expose.
class X11DialogWindow {
 public:
  // `frame`: where the content goes, in root coordinates.
  X11DialogWindow(X11Connection& x, const PixelRect& frame, const std::string& title, XIM im);
  ~X11DialogWindow();
  X11DialogWindow(const X11DialogWindow&) = delete;
  X11DialogWindow& operator=(const X11DialogWindow&) = delete;

  Window id() const { return window_; }
  XIC inputContext() const { return ic_; }

  void setFrame(const PixelRect& frame);
  void setVisible(bool visible);
  void present(const HostWindowContent& content);
  void repaint();
  // Takes the keyboard: once the window is mapped, and again whenever asked.
  void focus();
  void focusChanged(bool focused);

 private:
  X11Connection& x_;
  Window window_ = 0;
  GC gc_ = nullptr;
  XIC ic_ = nullptr;
  PixelRect frame_;
  bool visible_ = true;
  int pictureWidth_ = 0;
  int pictureHeight_ = 0;
  std::vector<uint32_t> picture_;
};

}  // namespace glimmet
