#include "ui/overlay/settings_window.hpp"

#include <algorithm>

#include "base/json_values.hpp"
#include "ui/overlay/settings_window_input.hpp"
#include "ui/overlay/window_content.hpp"
#include "ui/paint/settings_painter.hpp"
#include "ui/view/settings_frames.hpp"

namespace glimmet {

SettingsWindow::SettingsWindow(OverlayHost& host, MainLoop& loop, UserSettings& settings,
                               LogSink log, SettingsPanelActions actions)
    : host_(host),
      loop_(loop),
      settings_(settings),
      log_(std::move(log)),
      panel_(settings, {}, settingsWindowSize(host.screens())) {
  setActions(std::move(actions));
  // A preference changed here or anywhere else: the switches show it, and motion may have
  // been allowed or reduced.
  settings_.addObserver([this, alive = alive_](const SettingsPreferences&) {
    if (*alive) preferencesChanged();
  });
}

SettingsWindow::~SettingsWindow() {
  *alive_ = false;
  close();
}

void SettingsWindow::setActions(SettingsPanelActions actions) {
  auto then = std::move(actions.close);
  actions.close = [this, alive = alive_, then = std::move(then)] {
    if (!*alive) return;
    close();
    if (then) then();
  };
  panel_.setActions(std::move(actions));
}

void SettingsWindow::open(std::optional<SettingsTab> tab) {
  if (tab) panel_.activateSettingsTab(*tab);
  if (!window_) {
    const Size size = settingsWindowSize(host_.screens());
    panel_.setSize(size);
    window_ =
        host_.createDialogWindow({kSettingsPanelTitle, std::max(1, static_cast<int>(size.width)),
                                  std::max(1, static_cast<int>(size.height))});
    if (!window_) {
      writeLog(log_, "[Glimmet] cannot open the settings: no window system");
      return;
    }
    pointerPressed_ = false;
  } else {
    host_.setVisible(window_, true);
  }
  redraw();
  host_.setKeyboardFocus(window_, true);
  updatePreviewTimer();
}

void SettingsWindow::close() {
  if (window_) host_.destroyWindow(window_);
  window_ = 0;
  pointerPressed_ = false;
  previewTimer_.cancel();
}

void SettingsWindow::forget() {
  window_ = 0;
  pointerPressed_ = false;
  previewTimer_.cancel();
}

void SettingsWindow::setContent(SettingsContent content) {
  panel_.setContent(std::move(content));
  if (window_) redrawSoon();
}

void SettingsWindow::preferencesChanged() {
  if (!window_) return;
  updatePreviewTimer();
  redrawSoon();
}

void SettingsWindow::updatePreviewTimer() {
  const bool wanted = window_ != 0 && panel_.state().activeSettingsTab == SettingsTab::pets &&
                      !settings_.preferences().reduceMotion;
  if (wanted == previewTimer_.isPending()) return;
  if (!wanted) {
    previewTimer_.cancel();
    return;
  }
  lastPreviewTick_ = std::chrono::steady_clock::now();
  const Seconds interval(1.0 / kPreviewFramesPerSecond);
  previewTimer_ = loop_.every(interval, interval / 2, [this, alive = alive_] {
    if (*alive) previewTick();
  });
}

void SettingsWindow::previewTick() {
  const auto now = std::chrono::steady_clock::now();
  const double elapsed = std::chrono::duration<double>(now - lastPreviewTick_).count();
  lastPreviewTick_ = now;
  // Nothing moves any more (the tab or the preference changed without telling): stop asking.
  if (!panel_.advancePreview(elapsed)) {
    previewTimer_.cancel();
    return;
  }
  redraw();
}

void SettingsWindow::redrawSoon() {
  if (redrawPosted_) return;
  redrawPosted_ = true;
  loop_.post([this, alive = alive_] {
    if (!*alive) return;
    redrawPosted_ = false;
    redraw();
  });
}

void SettingsWindow::redraw() {
  if (!window_) return;
  const SettingsFrame frame = panel_.layout();
  auto image =
      renderToImage(frame.size, 1.0, [&frame](Canvas& canvas) { paintSettings(canvas, frame); });
  if (!image) {
    writeLog(log_, "[Glimmet] cannot draw the settings: " + image.error());
    return;
  }
  HostWindowContent content = windowContentOf(image.value());
  content.stateJson = stateJson(frame);
  host_.present(window_, content);
}

std::string SettingsWindow::stateJson(const SettingsFrame& frame) const {
  const SettingsViewState& state = panel_.state();
  Json description =
      Json::parse(settingsStateJson(frame, state.activeSettingsTab, 1.0), nullptr, false);
  if (!description.is_object()) description = Json::object();
  const SettingsContent& content = panel_.content();
  size_t tools = 0;
  for (const auto& group : content.toolGroups) tools += group.tools.size();
  description["kind"] = "settings";
  description["title"] = kSettingsPanelTitle;
  description["preferences"] = settingsJson(settings_.preferences());
  description["counts"] = {{"pets", content.pets.size()},
                           {"soundCategories", content.soundCategories.size()},
                           {"importedSounds", content.importedSounds.size()},
                           {"tools", tools}};
  description["statusBanner"] = content.statusBanner.value_or("");
  description["scrollOffset"] = state.scrollOffset();
  description["contentHeight"] = frame.contentHeight;
  description["viewportHeight"] = frame.viewport.height;
  description["previewPhase"] = state.previewPhase;
  description["previewAnimating"] = previewTimer_.isPending();
  return description.dump(2) + "\n";
}

void SettingsWindow::onPointer(const HostPointerEvent& event) {
  if (!window_) return;
  const Point point{event.x, event.y};
  bool changed = false;
  switch (event.kind) {
    case HostPointerEvent::Kind::press:
      if (event.button != 1) return;
      pointerPressed_ = true;
      changed = panel_.pointerDown(point);
      break;
    case HostPointerEvent::Kind::motion:
      if (!pointerPressed_) return;
      changed = panel_.pointerDragged(point);
      break;
    case HostPointerEvent::Kind::release:
      if (event.button != 1 || !pointerPressed_) return;
      pointerPressed_ = false;
      changed = panel_.pointerUp(point);
      // A click may have closed the window or moved to another tab.
      updatePreviewTimer();
      break;
    case HostPointerEvent::Kind::scroll:
      if (const auto delta = settingsScrollFor(event.button)) changed = panel_.scroll(*delta);
      break;
    case HostPointerEvent::Kind::enter:
    case HostPointerEvent::Kind::leave:
      return;
  }
  if (changed) redrawSoon();
}

void SettingsWindow::onKey(const HostKeyEvent& event) {
  if (!window_) return;
  const auto key = settingsKeyFor(event);
  if (!key) return;
  const bool changed = panel_.key(*key);
  updatePreviewTimer();
  if (changed) redrawSoon();
}

}  // namespace glimmet
