#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/core.hpp"
#include "base/environment.hpp"
#include "model/sound_events.hpp"
#include "platform/sound_player.hpp"
#include "sounds/sound_cue_player.hpp"
#include "sounds/sound_library.hpp"

namespace glimmet {

// The folder holding the presets' audio ("Sounds/generated/...", "Sounds/classics/..."):
// GLIMMET_SOUND_RESOURCES when set, else the one the build generated.
std::string soundResourceDirectory(const Environment& environment);

// Plays a cue when an event that needs the user arrives: on every new store revision the events
// not yet considered go through the sound policy, with the user's "muted" and "selectedSoundID"
// read from the user defaults at that moment and the imported sounds rescanned when the sounds
// folder changed. A burst of events plays one cue, not a chord. Loop thread.
class SoundAlerts {
 public:
  SoundAlerts(Core& core, std::unique_ptr<SoundPlayer> player, std::string resourceDirectory,
              LogSink log = {});
  ~SoundAlerts();
  SoundAlerts(const SoundAlerts&) = delete;
  SoundAlerts& operator=(const SoundAlerts&) = delete;

  // Takes note of the events loaded at launch without sounding them and subscribes to the
  // core's snapshots. Call after Core::start(), which loads them.
  void start();

  SoundLibrary& library() { return library_; }
  SoundCuePlayer& cues() { return *cues_; }

 private:
  void playSoundsForNewEvents(int64_t storeRevision);
  SoundChoiceContext choiceContext() const;

  Core& core_;
  std::unique_ptr<SoundPlayer> player_;
  std::string resourceDirectory_;
  LogSink log_;
  SoundLibrary library_;
  SoundEventTracker tracker_;
  std::vector<WorkItem> stopTimers_;
  std::unique_ptr<SoundCuePlayer> cues_;
  std::optional<int64_t> lastSoundEventRevision_;
  uint64_t subscription_ = 0;
};

}  // namespace glimmet
