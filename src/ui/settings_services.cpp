#include "ui/settings_services.hpp"

#include <utility>

#include "integrations/settings_tool_actions.hpp"
#include "model/sound_presets.hpp"
#include "pets/pet_catalog.hpp"
#include "pets/pet_import.hpp"
#include "platform/file_system.hpp"
#include "ui/settings_content_builder.hpp"
#include "ui/view/settings_about.hpp"
#include "updates/update_schedule.hpp"

namespace glimmet {

namespace {

constexpr const char* kSoundManifestName = "sound.json";

bool hasFeed(const std::optional<UpdateClient>& client) {
  return client && (client->fixturePath || client->endpoint);
}

// A file chooser cannot pick a folder, so a package is chosen through its "sound.json".
std::string soundImportSource(const std::string& chosen) {
  const size_t slash = chosen.find_last_of('/');
  if (slash != std::string::npos && chosen.substr(slash + 1) == kSoundManifestName) {
    return chosen.substr(0, slash);
  }
  return chosen;
}

}  // namespace

template <class Work, class Apply>
void SettingsServices::offLoop(SerialQueue& queue, Work work, Apply apply) {
  ++pendingJobs_;
  std::weak_ptr<bool> alive = alive_;
  queue.asyncThen(std::move(work), [this, alive, apply = std::move(apply)](auto result) mutable {
    if (!alive.lock()) return;
    --pendingJobs_;
    apply(std::move(result));
  });
}

SettingsServices::SettingsServices(Core& core, UserSettings& settings, FolderPicker& picker,
                                   SoundPlayer& player, SettingsServicesParts parts, LogSink log)
    : core_(core),
      settings_(settings),
      picker_(picker),
      parts_(std::move(parts)),
      log_(std::move(log)),
      sounds_(parts_.soundRoot),
      about_(parts_.version),
      dialogs_(std::make_unique<SerialQueue>("glimmet.settings-dialogs", core.loop())),
      work_(std::make_unique<SerialQueue>("glimmet.settings-work", core.loop())) {
  MainLoop& loop = core_.loop();
  cues_ = std::make_unique<SoundCuePlayer>(
      player, [&loop](std::function<void()> work) { loop.post(std::move(work)); },
      [this](double delay, std::function<void()> work) {
        std::erase_if(soundTimers_, [](const WorkItem& timer) { return !timer.isPending(); });
        soundTimers_.push_back(core_.loop().schedule(Seconds(delay), std::move(work)));
      },
      log_);
  cues_->setOnSoundEnded([this](const std::string& animationKey) {
    if (playingSoundID_ != animationKey || cues_->isSoundPlaying(animationKey)) return;
    playingSoundID_.clear();
    changed();
  });
  reloadPets();
  reloadSounds();
}

SettingsServices::~SettingsServices() {
  // The queues finish what they hold before anything they use goes away; a chooser the user
  // left open would hold the quit up, so it is closed.
  picker_.cancelPending();
  work_.reset();
  dialogs_.reset();
}

void SettingsServices::changed() {
  if (onChange_) onChange_();
}

void SettingsServices::setBanner(std::string text) {
  statusBanner_ = std::move(text);
  changed();
}

void SettingsServices::reloadPets() {
  pets_ = refreshLocalPets(petSources(core_.paths(), core_.userDefaults()), log_);
}

void SettingsServices::reloadSounds() {
  importedSounds_ = sounds_.loadGlimmetSoundChoices();
  assignments_ = sounds_.readAssignmentsFile().assignments;
  std::erase_if(openAssignments_, [this](const std::string& id) {
    for (const auto& sound : importedSounds_) {
      if (sound.id == id) return false;
    }
    return true;
  });
}

SettingsContent SettingsServices::content() {
  SettingsContent content;
  content.pets = settingsPetTiles(pets_);
  content.soundCategories = settingsSoundCategories();
  content.importedSounds = settingsSoundRows(importedSounds_, assignments_, openAssignments_);
  content.soundTaskTypes = settingsSoundTaskTypes();
  content.playingSoundID = playingSoundID_;
  content.toolGroups = settingsAIToolGroups(toolHealth_);
  content.about = aboutContent();
  content.statusBanner = statusBanner_;
  const bool stale =
      !lastToolHealthRefreshAt_ ||
      secondsBetween(*lastToolHealthRefreshAt_, parts_.clock()) >= kToolHealthRefreshSeconds;
  // The window asks for the content whenever it changes or opens, which makes it the place
  // where an old list is noticed.
  if (stale && !toolHealthInFlight_) refreshToolHealth();
  return content;
}

SettingsAboutContent SettingsServices::aboutContent() const {
  if (!hasFeed(parts_.updateClient)) return settingsAboutContentWithoutUpdates(parts_.version);
  return settingsAboutContent(about_.state(), parts_.version);
}

SettingsPanelActions SettingsServices::actions(std::function<void()> close) {
  SettingsPanelActions actions;
  actions.close = std::move(close);
  actions.importPet = [this] { importPet(); };
  actions.refreshPets = [this] { refreshPets(); };
  actions.requestCodexPetsAccess = [this] { requestCodexPetsAccess(); };
  actions.playPreset = [this](const std::string& id) { playSound(id); };
  actions.playImportedSound = [this](const std::string& id) { playSound(id); };
  actions.toggleSoundAssignment = [this](const std::string& id) { toggleSoundAssignment(id); };
  actions.assignSound = [this](const std::string& id, const std::string& taskType) {
    assignSound(id, taskType);
  };
  actions.deleteImportedSound = [this](const std::string& id) { deleteImportedSound(id); };
  actions.importSound = [this] { importSound(); };
  actions.performToolAction = [this](const std::string& id) { performToolAction(id); };
  actions.performAboutPrimaryAction = [this] { performAboutPrimaryAction(); };
  return actions;
}

// Pets.

void SettingsServices::importPet() {
  offLoop(
      *dialogs_,
      [&picker = picker_, petsDirectory = glimmetPetsDirectory(core_.paths()), log = log_] {
        return importPetDirectory(picker, petsDirectory, log);
      },
      [this](PetImportOutcome outcome) {
        if (outcome.banner.empty()) return;  // cancelled
        reloadPets();
        if (outcome.pet) {
          const std::string id = outcome.pet->id;
          (void)settings_.update(
              [&id](SettingsPreferences& preferences) { preferences.selectedPetID = id; });
        }
        setBanner(outcome.banner);
      });
}

void SettingsServices::refreshPets() {
  reloadPets();
  setBanner("Reloaded " + std::to_string(pets_.size()) + " pets");
}

void SettingsServices::requestCodexPetsAccess() {
  const Status saved = settings_.update([](SettingsPreferences& preferences) {
    preferences.codexPetsDirectoryAuthorized = true;
    preferences.didRequestCodexPetsDirectoryAuthorization = true;
  });
  if (!saved) writeLog(log_, "[Glimmet] Could not save the Codex pets access: " + saved.error());
  reloadPets();
  setBanner("Authorized ~/.codex/pets");
}

// Sounds.

SoundChoiceContext SettingsServices::soundContext() const {
  SoundChoiceContext context;
  context.assignments = assignments_;
  context.importedSounds = importedSounds_;
  context.selectedSoundID = settings_.preferences().selectedSoundID;
  context.resourceDirectory = parts_.soundResourceDirectory;
  context.fileExists = [](const std::string& path) { return fileExists(path); };
  return context;
}

void SettingsServices::playSound(const std::string& soundID) {
  if (!playingSoundID_.empty()) {
    const std::string playing = playingSoundID_;
    cues_->stop(playing);
    playingSoundID_.clear();
    // A second press on the playing button only stops it.
    if (playing == soundID) {
      changed();
      return;
    }
  }
  const auto cue = soundCueForID(soundID, soundContext());
  if (!cue) {
    writeLog(log_, "[Glimmet] No sound " + soundID + " to play");
    changed();
    return;
  }
  playingSoundID_ = soundID;
  cues_->play(*cue, soundID);
  changed();
}

void SettingsServices::toggleSoundAssignment(const std::string& soundID) {
  if (!openAssignments_.erase(soundID)) openAssignments_.insert(soundID);
  changed();
}

void SettingsServices::assignSound(const std::string& soundID, const std::string& taskType) {
  const Status saved = sounds_.saveGlimmetSoundAssignment(soundID, taskType);
  openAssignments_.erase(soundID);
  reloadSounds();
  setBanner(saved ? "Assigned " + soundID + " to " + taskType
                  : "Sound assignment failed: " + saved.error());
}

void SettingsServices::deleteImportedSound(const std::string& soundID) {
  if (playingSoundID_ == soundID) {
    cues_->stop(soundID);
    playingSoundID_.clear();
  }
  const Status deleted = sounds_.deleteImportedSoundOnDisk(soundID);
  reloadSounds();
  setBanner(deleted ? "Deleted " + soundID : "Sound delete failed: " + deleted.error());
}

void SettingsServices::importSound() {
  offLoop(
      *dialogs_,
      [&picker = picker_, root = parts_.soundRoot]() -> std::optional<Result<ImportedSound>> {
        const auto chosen =
            picker.pickFile({"Import Glimmet sound",
                             "Choose a sound package folder or an audio file. Installed sounds "
                             "live in ~/.glimmet/sounds",
                             std::nullopt});
        if (!chosen) return std::nullopt;
        // A library of its own: the loop's one is not touched from this thread.
        return SoundLibrary(root).importSound(soundImportSource(*chosen));
      },
      [this](std::optional<Result<ImportedSound>> imported) {
        if (!imported) return;  // cancelled
        if (!*imported) {
          setBanner(imported->error());
          return;
        }
        reloadSounds();
        const ImportedSound& sound = imported->value();
        setBanner("Imported " + sound.displayName.value_or(sound.id) + " sound");
      });
}

// AI tools.

void SettingsServices::refreshToolHealth() {
  lastToolHealthRefreshAt_ = parts_.clock();
  toolHealthInFlight_ = true;
  offLoop(
      *work_, [manager = parts_.hookManager] { return manager->health(); },
      [this](std::vector<ToolHealth> health) {
        toolHealthInFlight_ = false;
        toolHealth_ = std::move(health);
        changed();
      });
}

const ToolHealth* SettingsServices::findTool(const std::string& toolID) const {
  for (const auto& tool : toolHealth_) {
    if (tool.id == toolID) return &tool;
  }
  return nullptr;
}

void SettingsServices::performToolAction(const std::string& toolID) {
  const ToolHealth* found = findTool(toolID);
  if (!found) {
    writeLog(log_, "[Glimmet] No tool " + toolID + " to act on");
    return;
  }
  const ToolHealth tool = *found;
  switch (settingsToolPrimaryAction(tool)) {
    case SettingsToolPrimaryAction::repair:
      installTool(tool, true);
      return;
    case SettingsToolPrimaryAction::bridge:
      installTool(tool, false);
      return;
    case SettingsToolPrimaryAction::jump:
      openTool(tool);
      return;
    case SettingsToolPrimaryAction::download: {
      if (!confirm_) return;
      std::weak_ptr<bool> alive = alive_;
      confirm_({"Install " + tool.name,
                tool.name + " is not installed on this computer. Its download page opens in " +
                    "your browser; once it is installed, come back here to connect it.\n\n" +
                    tool.jumpTarget.value_or(""),
                "Open Download Page", "Cancel", [this, alive, tool] {
                  if (alive.lock()) openTool(tool);
                }});
      return;
    }
    case SettingsToolPrimaryAction::none:
      return;
  }
}

void SettingsServices::installTool(const ToolHealth& tool, bool repair) {
  offLoop(
      *work_,
      [manager = parts_.hookManager, id = tool.id] { return manager->installationPreview(id); },
      [this, tool, repair](std::pair<std::string, std::string> preview) {
        if (!confirm_) {
          writeLog(log_, "[Glimmet] No way to confirm the install of " + tool.name);
          return;
        }
        std::weak_ptr<bool> alive = alive_;
        auto install = [this, alive, tool] {
          if (!alive.lock()) return;
          offLoop(
              *work_, [manager = parts_.hookManager, id = tool.id] { return manager->install(id); },
              [this, tool](Status installed) {
                setBanner(installed ? tool.name + " bridge installed"
                                    : "Install failed: " + installed.error());
                refreshToolHealth();
              });
        };
        confirm_({preview.first,
                  "Review the planned bridge script and config changes below.\n\n" + preview.second,
                  repair ? "Repair" : "Install", "Cancel", std::move(install)});
      });
}

void SettingsServices::openTool(const ToolHealth& tool) {
  if (!parts_.openTool) return;
  offLoop(
      *work_, [open = parts_.openTool, tool] { return open(tool); },
      [this, tool](bool opened) {
        setBanner(opened ? settingsToolOpenedStatus(tool) : settingsToolOpenFailedStatus(tool));
      });
}

// Updates.

void SettingsServices::performAboutPrimaryAction() {
  const auto showBanner = [this] {
    if (const auto& banner = about_.banner()) statusBanner_ = banner->text;
    changed();
  };
  if (!hasFeed(parts_.updateClient)) {
    about_.beginManualCheck(false);
    showBanner();
    return;
  }
  switch (aboutUpdatePrimaryAction(about_.state())) {
    case AboutUpdatePrimaryAction::checkForUpdates:
      if (!about_.beginManualCheck(true)) return;
      showBanner();
      offLoop(
          *work_,
          [client = *parts_.updateClient, version = parts_.version] {
            return client.check(version, version);
          },
          [this, showBanner](Result<UpgradeCheckResponse> result) {
            about_.finishManualCheck(result, currentUpdateTimestamp());
            showBanner();
          });
      return;
    case AboutUpdatePrimaryAction::download: {
      auto response = about_.beginDownload();
      showBanner();
      if (!response || !parts_.stageUpdate) return;
      std::weak_ptr<bool> alive = alive_;
      MainLoop& loop = core_.loop();
      const UpdateDownloadProgress progress = [this, alive, &loop](double fraction) {
        loop.post([this, alive, fraction] {
          if (!alive.lock()) return;
          about_.setDownloadProgress(fraction);
          changed();
        });
      };
      offLoop(
          *work_,
          [stage = parts_.stageUpdate, response = *response, progress] {
            return stage(response, *response.artifact, progress);
          },
          [this, showBanner, response = *response](Result<std::string> staged) {
            about_.finishDownload(response, staged);
            showBanner();
          });
      return;
    }
    case AboutUpdatePrimaryAction::restartAndInstall: {
      // Starting the installer only spawns a detached script; it does not wait for it.
      const bool started = parts_.installUpdate &&
                           about_.restartAndInstall(parts_.installUpdate, parts_.updateTargetPath);
      showBanner();
      if (started && parts_.quitForUpdate) parts_.quitForUpdate();
      return;
    }
    case AboutUpdatePrimaryAction::busy:
      return;
  }
}

}  // namespace glimmet
