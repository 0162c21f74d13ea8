#include "ui/overlay/alert_dialog_window.hpp"

#include <cmath>

#include "platform/keysyms.hpp"
#include "ui/cairo/text_width.hpp"
#include "ui/overlay/window_content.hpp"
#include "ui/paint/alert_dialog_painter.hpp"

namespace glimmet {

AlertDialogWindow::~AlertDialogWindow() {
  close();
}

bool AlertDialogWindow::show(AlertDialogSpec spec, Answer answer) {
  close();
  const auto measure = sharedTextWidthMeasure();
  if (!measure) {
    writeLog(log_, "[Glimmet] cannot lay out the alert: " + measure.error());
    return false;
  }
  spec_ = std::move(spec);
  layout_ = layoutAlertDialog(spec_, measure.value());
  window_ = host_.createDialogWindow({spec_.title, static_cast<int>(std::ceil(layout_.size.width)),
                                      static_cast<int>(std::ceil(layout_.size.height))});
  if (!window_) {
    writeLog(log_, "[Glimmet] cannot open the alert: no window system");
    return false;
  }
  answer_ = std::move(answer);
  redraw();
  host_.setKeyboardFocus(window_, true);
  return true;
}

void AlertDialogWindow::close() {
  if (window_) host_.destroyWindow(window_);
  window_ = 0;
  answer_ = {};
}

void AlertDialogWindow::redraw() {
  if (!window_) return;
  auto image = renderToImage(layout_.size, 1.0,
                             [this](Canvas& canvas) { paintAlertDialog(canvas, spec_, layout_); });
  if (!image) {
    writeLog(log_, "[Glimmet] cannot draw the alert: " + image.error());
    return;
  }
  HostWindowContent content = windowContentOf(image.value());
  content.stateJson = alertDialogStateJson(spec_, layout_);
  host_.present(window_, content);
}

void AlertDialogWindow::press(std::optional<int> button) {
  if (!button || !window_) return;
  // Closed before the answer runs, so that the answer may open the next alert.
  const Answer answer = std::move(answer_);
  close();
  if (answer) answer(*button);
}

void AlertDialogWindow::onKey(const HostKeyEvent& event) {
  if (event.keysym == kKeysymReturn || event.keysym == kKeysymKeypadEnter) {
    press(alertButtonForKey(spec_, AlertDialogKey::returnKey));
  } else if (event.keysym == kKeysymEscape) {
    press(alertButtonForKey(spec_, AlertDialogKey::escape));
  }
}

void AlertDialogWindow::onPointer(const HostPointerEvent& event) {
  if (event.kind != HostPointerEvent::Kind::press || event.button != 1) return;
  press(alertButtonAt(layout_, {event.x, event.y}));
}

void AlertDialogWindow::onCloseRequested() {
  press(alertButtonForKey(spec_, AlertDialogKey::escape));
}

}  // namespace glimmet
