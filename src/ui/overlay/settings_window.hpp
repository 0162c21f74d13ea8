#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/user_settings.hpp"
#include "base/log.hpp"
#include "platform/main_loop.hpp"
#include "platform/overlay_host.hpp"
#include "ui/settings_panel.hpp"

namespace glimmet {

// The settings panel in a window of its own: a titled dialog window of the host, sized to the
// primary screen, showing one SettingsPanel and feeding it the window's pointer and keys. The
// panel (its tab, scroll offsets and preview choices) outlives the window, so reopening comes
// back where the user left. Loop thread only.
class SettingsWindow {
 public:
  // Frames of the Pets tab's live preview per second while motion is allowed.
  static constexpr double kPreviewFramesPerSecond = 30;

  SettingsWindow(OverlayHost& host, MainLoop& loop, UserSettings& settings, LogSink log,
                 SettingsPanelActions actions = {});
  ~SettingsWindow();
  SettingsWindow(const SettingsWindow&) = delete;
  SettingsWindow& operator=(const SettingsWindow&) = delete;

  // Replaces what the panel's buttons do. The panel's own close (Escape, the close button)
  // always closes this window first and then calls `actions.close` when set.
  void setActions(SettingsPanelActions actions);
  // Shows the window, on `tab` when given; an open window is raised, given the keyboard and
  // switched to the tab.
  void open(std::optional<SettingsTab> tab = std::nullopt);
  void close();
  bool isOpen() const { return window_ != 0; }
  bool owns(HostWindowID window) const { return window_ != 0 && window == window_; }
  // What the tabs list; drawn at once when the window is open.
  void setContent(SettingsContent content);
  const SettingsPanel& panel() const { return panel_; }
  bool isPreviewAnimating() const { return previewTimer_.isPending(); }

  void onPointer(const HostPointerEvent& event);
  void onKey(const HostKeyEvent& event);
  // The frame's close box.
  void onCloseRequested() { close(); }
  // The window system is gone with the window.
  void forget();

 private:
  void redraw();
  // Pointer moves and wheel steps come in bursts: one picture for all of them.
  void redrawSoon();
  // One preview timer while the Pets tab shows and motion is allowed, none otherwise.
  void updatePreviewTimer();
  void previewTick();
  void preferencesChanged();
  std::string stateJson(const SettingsFrame& frame) const;

  OverlayHost& host_;
  MainLoop& loop_;
  UserSettings& settings_;
  LogSink log_;
  SettingsPanel panel_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  HostWindowID window_ = 0;
  bool redrawPosted_ = false;
  bool pointerPressed_ = false;
  WorkItem previewTimer_;
  std::chrono::steady_clock::time_point lastPreviewTick_{};
};

}  // namespace glimmet
