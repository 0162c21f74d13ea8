#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/glimmet_event.hpp"

namespace glimmet {

// A sound the user installed under the sounds folder.
struct ImportedSound {
  std::string id;
  std::string audioPath;
  std::optional<std::string> displayName;
  bool showAssign = false;  // the assignment menu is open in the Sounds tab
  bool operator==(const ImportedSound&) const = default;
};

// What to play for one event: a stretch of an audio file, with the named system sound to fall
// back on when the file cannot be played.
struct SoundCue {
  std::string soundID;
  std::optional<std::string> audioPath;  // absent: only the named sound
  std::string systemSoundName;
  double start = 0;
  std::optional<double> maxDuration;
  bool operator==(const SoundCue&) const = default;
};

// Task type -> sound ID, as stored in the assignments file.
using SoundAssignments = std::map<std::string, std::string>;

// The task type sounds are assigned to: the event's type as written ("permission_request",
// "task_completed", ...).
std::string soundTaskType(const GlimmetEvent& event);

struct SoundChoiceContext {
  SoundAssignments assignments;
  std::vector<ImportedSound> importedSounds;
  std::string selectedSoundID;
  std::string resourceDirectory;  // where the presets' bundled files live
  std::function<bool(const std::string& path)> fileExists;
};

// The imported sound assigned to the event's task type; otherwise the selected sound (an
// imported one, or a preset: its bundled file when present, else its named system sound). An
// unknown selection falls back to the default preset. Imported sounds are cut like presets, so
// that a long song stays a reminder.
SoundCue chooseSoundCue(const GlimmetEvent& event, const SoundChoiceContext& context);

// The preview of one sound in the Sounds tab, by the same rules without an event.
std::optional<SoundCue> soundCueForID(std::string_view soundID, const SoundChoiceContext& context);

// When a playing cue is stopped and released: min(remaining, maxDuration) + 0.25 s, where the
// remaining time is the file's duration minus the start position, at least 0.3 s; a file of
// unknown length gets 30 s.
double soundStopDelaySeconds(std::optional<double> fileDuration, double position,
                             std::optional<double> maxDuration);

}  // namespace glimmet
