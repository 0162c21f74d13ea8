#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/core.hpp"
#include "app/user_settings.hpp"
#include "base/log.hpp"
#include "base/time.hpp"
#include "integrations/hook_manager.hpp"
#include "model/pet_choice.hpp"
#include "platform/folder_picker.hpp"
#include "platform/serial_queue.hpp"
#include "platform/sound_player.hpp"
#include "sounds/sound_cue_player.hpp"
#include "sounds/sound_library.hpp"
#include "ui/settings_panel.hpp"
#include "ui/view/settings_content.hpp"
#include "updates/update_about.hpp"
#include "updates/update_client.hpp"

namespace glimmet {

// A question the panel's window asks before an action that writes outside Glimmet's own folder
// (an install or repair rewrites the agent's configuration). Only `onConfirm` acts.
struct SettingsConfirmation {
  std::string title;
  std::string body;
  std::string confirmTitle;
  std::string cancelTitle;
  std::function<void()> onConfirm;
};

// What the services work with besides the core and the settings: each piece that reaches the
// machine is replaceable, so that tests pass their own.
struct SettingsServicesParts {
  std::shared_ptr<const HookManager> hookManager;
  // Brings a detected tool forward or opens its download page; blocking, run on a worker.
  std::function<bool(const ToolHealth& tool)> openTool;
  // The update feed; absent when this build has none (the About tab then shows one disabled row).
  std::optional<UpdateClient> updateClient;
  StageUpdateArtifact stageUpdate;
  InstallUpdate installUpdate;
  std::string updateTargetPath;
  // Called on the loop once the update installer started: the application should quit.
  std::function<void()> quitForUpdate;
  std::string soundRoot;               // ~/.glimmet/sounds
  std::string soundResourceDirectory;  // where the presets' audio lives
  std::string version;
  ClockFunction clock = systemNow;
};

// The parts of the running application: its hook manager, jump opener, update feed and
// folders, from the core's paths and `environment`.
SettingsServicesParts standardSettingsServicesParts(const Core& core,
                                                    const Environment& environment);

// Fills the settings panel from the pets, sounds, tool health and updater, and does what its
// buttons ask. Everything that may block (a folder chooser, reading tool configurations, an
// install, the update feed) runs on a worker and lands back on the loop; content() and the
// actions are for the loop thread.
class SettingsServices {
 public:
  // Tool health is read again at most this often unless an action forces it.
  static constexpr double kToolHealthRefreshSeconds = 10.0;

  SettingsServices(Core& core, UserSettings& settings, FolderPicker& picker, SoundPlayer& player,
                   SettingsServicesParts parts, LogSink log = {});
  ~SettingsServices();
  SettingsServices(const SettingsServices&) = delete;
  SettingsServices& operator=(const SettingsServices&) = delete;

  // What the tabs show now. Asks for fresh tool health when the last is older than the refresh
  // interval; the answer arrives through the change callback.
  SettingsContent content();

  // The panel's buttons. `close` leaves settings; `confirm` asks the user before an install or
  // repair and may be left unset, which declines every one.
  SettingsPanelActions actions(std::function<void()> close);
  void setConfirm(std::function<void(SettingsConfirmation)> confirm) {
    confirm_ = std::move(confirm);
  }
  // Called on the loop whenever content() would differ.
  void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

  // Rereads the tool health now (off the loop).
  void refreshToolHealth();

  void importPet();
  void refreshPets();
  void requestCodexPetsAccess();
  void playSound(const std::string& soundID);
  void toggleSoundAssignment(const std::string& soundID);
  void assignSound(const std::string& soundID, const std::string& taskType);
  void deleteImportedSound(const std::string& soundID);
  void importSound();
  void performToolAction(const std::string& toolID);
  void performAboutPrimaryAction();

  // For tests and diagnostics: whether worker results are still to arrive.
  bool busy() const { return pendingJobs_ > 0; }

 private:
  // Runs `work` on `queue`, then `apply` on the loop unless this object is gone by then.
  template <class Work, class Apply>
  void offLoop(SerialQueue& queue, Work work, Apply apply);
  void changed();
  void setBanner(std::string text);
  void reloadPets();
  void reloadSounds();
  void installTool(const ToolHealth& tool, bool repair);
  void openTool(const ToolHealth& tool);
  const ToolHealth* findTool(const std::string& toolID) const;
  SettingsAboutContent aboutContent() const;
  SoundChoiceContext soundContext() const;

  Core& core_;
  UserSettings& settings_;
  FolderPicker& picker_;
  SettingsServicesParts parts_;
  LogSink log_;
  std::function<void(SettingsConfirmation)> confirm_;
  std::function<void()> onChange_;

  std::vector<PetChoice> pets_;
  SoundLibrary sounds_;
  // As last read from the sounds folder; reread after every change made here.
  std::vector<ImportedSound> importedSounds_;
  SoundAssignments assignments_;
  std::set<std::string> openAssignments_;
  std::string playingSoundID_;
  std::unique_ptr<SoundCuePlayer> cues_;
  std::vector<ToolHealth> toolHealth_;
  std::optional<Timestamp> lastToolHealthRefreshAt_;
  bool toolHealthInFlight_ = false;
  AboutUpdateController about_;
  std::optional<std::string> statusBanner_;
  int pendingJobs_ = 0;
  std::vector<WorkItem> soundTimers_;

  // Declared last: their destructors finish the running jobs while everything above still
  // exists, and results that reach the loop later are dropped through `alive_`.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::unique_ptr<SerialQueue> dialogs_;
  std::unique_ptr<SerialQueue> work_;
};

}  // namespace glimmet
