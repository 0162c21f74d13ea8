#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/core.hpp"
#include "app/user_settings.hpp"
#include "base/log.hpp"
#include "platform/main_loop.hpp"
#include "platform/overlay_host.hpp"
#include "ui/overlay/alert_dialog_window.hpp"
#include "ui/overlay/companion_window.hpp"
#include "ui/overlay/overlay_placement.hpp"
#include "ui/overlay/settings_window.hpp"
#include "ui/overlay/startup_permission_flow.hpp"
#include "ui/overlay/text_panel_window.hpp"
#include "ui/settings_services.hpp"
#include "ui/view/overlay_events.hpp"
#include "ui/view/overlay_frame.hpp"
#include "ui/view/overlay_view_state.hpp"
#include "ui/view/pet_drag_out.hpp"

namespace glimmet {

// Owns the overlay windows: one surface per screen of the display policy, each with its own view
// state, laid out and painted from the core's newest snapshot and presented through the window
// system host. Turns pointer, key and hot-key events into view events, and the view's intents
// into the core's commands. Decides nothing a view function could decide. Loop thread only.
class OverlayController {
 public:
  static constexpr double kFullScreenScanSeconds = 5.0;

  // Hot key ids: toggle the panel, jump to the newest waiting request, cycle through them.
  enum HotKeyID { toggleHotKey = 1, jumpLatestHotKey = 2, cycleHotKey = 3 };

  OverlayController(Core& core, Environment environment, LogSink log);
  ~OverlayController();
  OverlayController(const OverlayController&) = delete;
  OverlayController& operator=(const OverlayController&) = delete;

  // Connects to the window system; false, with the reason in `error`, when there is none.
  bool connect(std::string* error);
  // Builds the surfaces in `mode`, registers the hot keys and starts the runtime work on the core's
  // tick.
  void start(OverlayMode mode);
  // Removes the windows and stops the timers; runs once.
  void shutDown();

  // Opens the text panel for a waiting input request (closing one already open): its submit
  // answers the request, Cancel leaves it waiting.
  void showTextPanel(const PendingAction& action);

  // Opens the settings window (on `tab` when given), or raises the one already open.
  void openSettings(std::optional<SettingsTab> tab);
  // The live preferences every window here follows; a change through them takes effect at once.
  UserSettings& userSettings() { return *settings_; }
  // The settings window, once connected: where its content and actions are given.
  SettingsWindow* settingsWindow() { return settingsWindow_.get(); }

  // Called once when the window system goes away or the user quits from the panel.
  void setOnStop(std::function<void(const std::string& reason)> onStop) {
    onStop_ = std::move(onStop);
  }

 private:
  struct Surface {
    HostScreen screen;
    DisplayKind displayKind = DisplayKind::externalVirtual;
    HostWindowID window = 0;
    PixelRect windowFrame;
    OverlayViewState state;
    OverlayFrame frame;
    bool hidden = false;  // another program is full screen there
    bool hasKeyboard = false;
    WorkItem wake;
  };

  void rebuildSurfaces(OverlayMode mode);
  void destroySurfaces();
  Surface* surfaceForWindow(HostWindowID window);
  // Lays out and presents one surface from the newest snapshot; resizes its window when the
  // frame's size changed.
  void redraw(Surface& surface);
  void redrawAll();
  void apply(Surface& surface, const OverlayIntent& intent);
  void scheduleWake(Surface& surface);
  HoverContext hoverContext(const Surface& surface);
  double collapsedHeight(const Surface& surface) const;

  // A click on a text request's Reply button opens the text panel; true when it did.
  bool openTextPanelFromReply(const Surface& surface, Point point);
  void jumpToRequestAgent(const std::string& requestID);
  void onPointer(HostWindowID window, const HostPointerEvent& event);
  void onKey(HostWindowID window, const HostKeyEvent& event);
  void onHotKey(int id);
  void onScreensChanged();
  void refreshRuntime();
  void refreshFullScreen();
  DisplayPolicy currentDisplayPolicy() const;
  // The chosen pet and the motion preference, read from the user defaults.
  void loadPetSettings();
  Surface* activeSurface();
  void stop(const std::string& reason);
  // Shows, changes or removes the desktop companion as "desktopCompanionMode" and its settings
  // say.
  void refreshCompanion();
  void openCompanionStatus(const CompanionStatusItem& item);
  void openCompanionPetSettings();
  std::unique_ptr<CompanionWindow> makeCompanionWindow();
  // The settings window's content and the work behind its buttons.
  void startSettingsServices();
  // Asks before an install or repair; only the confirming button acts.
  void confirmSettingsAction(SettingsConfirmation confirmation);
  // A press on the open panel's pet: a click opens the Pets settings, a drag off the panel
  // drops the pet on the desktop. True when the event belonged to such a press.
  bool handlePetPress(Surface& surface, const HostPointerEvent& event);
  void dropCompanion(Point rootPoint);
  // settingsDidChange: a preference changed, in the settings window or elsewhere; the pet,
  // the capsule surfaces and the companion follow it without a restart.
  void settingsDidChange(const SettingsPreferences& preferences);
  // Adds or removes the session's start entry when the preference and the system differ.
  void applyOpenAtLogin(bool wanted);
  bool showsCapsule() const { return settings_->preferences().showCapsuleMode; }
  // Asks, once the surfaces are up, for what the first run needs.
  void startStartupPermissionFlow();

  Core& core_;
  Environment environment_;
  LogSink log_;
  std::unique_ptr<UserSettings> settings_;
  std::unique_ptr<OverlayHost> host_;
  std::unique_ptr<TextPanelWindow> textPanel_;
  std::unique_ptr<FolderPicker> folderPicker_;
  std::unique_ptr<SoundPlayer> settingsSoundPlayer_;
  std::unique_ptr<SettingsServices> settingsServices_;
  std::unique_ptr<SettingsWindow> settingsWindow_;
  std::unique_ptr<AlertDialogWindow> alert_;
  std::unique_ptr<StartupPermissionFlow> startupPermissions_;
  std::vector<std::unique_ptr<Surface>> surfaces_;
  std::unique_ptr<CompanionWindow> companion_;
  PetDragOutState petPress_;
  SnapshotPtr snapshot_;
  uint64_t subscription_ = 0;
  OverlayMode currentMode_ = OverlayMode::collapsed;
  DisplayPolicy lastDisplayPolicy_ = DisplayPolicy::primary;
  PetChoice selectedPet_ = defaultPetChoice();
  bool reduceMotion_ = true;
  bool lastShowCapsule_ = true;
  std::string lastScreenSignature_;
  std::set<std::string> lastFullScreenIDs_;
  Timestamp lastFullScreenScanAt_{};
  std::optional<std::string> lastCycledRequestID_;
  // Cleared on shut-down: the core's tick may outlive this controller.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  WorkItem screensChangedSoon_;
  bool started_ = false;
  bool stopped_ = false;
  std::function<void(const std::string&)> onStop_;
};

}  // namespace glimmet
