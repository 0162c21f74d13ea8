#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "base/log.hpp"
#include "platform/overlay_host.hpp"
#include "ui/view/alert_dialog.hpp"

namespace glimmet {

// One alert at a time in a dialog window of the host: the answer is the index of the button
// pressed (by a click, Return for the default one, Escape or the close box for the cancel
// one), given once, after the window has closed. Loop thread only.
class AlertDialogWindow {
 public:
  using Answer = std::function<void(int buttonIndex)>;

  AlertDialogWindow(OverlayHost& host, LogSink log) : host_(host), log_(std::move(log)) {}
  ~AlertDialogWindow();
  AlertDialogWindow(const AlertDialogWindow&) = delete;
  AlertDialogWindow& operator=(const AlertDialogWindow&) = delete;

  // Replaces an alert already open, which then answers nothing. False when no window could be
  // opened or the text cannot be measured.
  bool show(AlertDialogSpec spec, Answer answer);
  // Closes without answering.
  void close();
  bool isOpen() const { return window_ != 0; }
  bool owns(HostWindowID window) const { return window_ != 0 && window == window_; }

  void onKey(const HostKeyEvent& event);
  void onPointer(const HostPointerEvent& event);
  void onCloseRequested();
  // The window system is gone with the window.
  void forget() { window_ = 0; }

 private:
  void redraw();
  void press(std::optional<int> button);

  OverlayHost& host_;
  LogSink log_;
  HostWindowID window_ = 0;
  AlertDialogSpec spec_;
  AlertDialogLayout layout_;
  Answer answer_;
};

}  // namespace glimmet
