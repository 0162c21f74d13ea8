#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/log.hpp"
#include "platform/main_loop.hpp"
#include "platform/overlay_host.hpp"
#include "ui/view/text_panel_view.hpp"

namespace glimmet {

// The one text panel: a dialog window of the host showing the panel's model, fed with the
// window's keys and clicks. Opening a panel closes the one before it. Loop thread only.
class TextPanelWindow {
 public:
  struct Callbacks {
    std::function<void(const std::string& text)> onSubmit;
    std::function<void()> onCancel;
    std::function<void()> onJump;
  };

  TextPanelWindow(OverlayHost& host, MainLoop& loop, LogSink log)
      : host_(host), loop_(loop), log_(std::move(log)) {}
  ~TextPanelWindow();
  TextPanelWindow(const TextPanelWindow&) = delete;
  TextPanelWindow& operator=(const TextPanelWindow&) = delete;

  void show(std::string_view prompt, bool multiline, Callbacks callbacks);
  // Closes without calling anything.
  void close();
  bool isOpen() const { return window_ != 0; }
  bool owns(HostWindowID window) const { return window_ != 0 && window == window_; }
  const std::optional<TextPanelModel>& model() const { return model_; }

  void onKey(const HostKeyEvent& event);
  void onPointer(const HostPointerEvent& event);
  // The window's close box: the same as Cancel.
  void onCloseRequested();
  // The window system is gone with the window.
  void forget() { window_ = 0; }

 private:
  void redraw();
  // Keys come in bursts (a paste, an input method's commit, a fast typist): one picture for
  // all of them, drawn once the burst has been read.
  void redrawSoon();
  void apply(const TextPanelOutcome& outcome);

  OverlayHost& host_;
  MainLoop& loop_;
  LogSink log_;
  bool redrawPosted_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  HostWindowID window_ = 0;
  std::optional<TextPanelModel> model_;
  Callbacks callbacks_;
};

}  // namespace glimmet
