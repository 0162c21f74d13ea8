#include "model/sound_choice.hpp"

#include <algorithm>

#include "model/sound_presets.hpp"

namespace glimmet {

namespace {

constexpr double kStopGraceSeconds = 0.25;
constexpr double kShortestRemainingSeconds = 0.3;
constexpr double kUnknownDurationLimitSeconds = 30.0;

const ImportedSound* findImported(const std::vector<ImportedSound>& sounds, std::string_view id) {
  const auto found =
      std::find_if(sounds.begin(), sounds.end(), [&](const auto& sound) { return sound.id == id; });
  return found == sounds.end() ? nullptr : &*found;
}

SoundCue importedCue(const ImportedSound& sound) {
  SoundCue cue;
  cue.soundID = sound.id;
  cue.audioPath = sound.audioPath;
  cue.systemSoundName = builtInSoundPreset(kDefaultSoundID)->systemSoundName;
  cue.maxDuration = kPresetCueLimitSeconds;
  return cue;
}

SoundCue presetCue(const SoundPreset& preset, const SoundChoiceContext& context) {
  SoundCue cue;
  cue.soundID = preset.id;
  cue.systemSoundName = preset.systemSoundName;
  if (preset.bundledAudioPath) {
    std::string path = context.resourceDirectory;
    if (!path.empty() && path.back() != '/') path += '/';
    path += *preset.bundledAudioPath;
    if (context.fileExists && context.fileExists(path)) {
      cue.audioPath = std::move(path);
      cue.start = preset.previewStart;
      cue.maxDuration = preset.previewDuration;
    }
  }
  return cue;
}

}  // namespace

std::string soundTaskType(const GlimmetEvent& event) {
  return std::string(event.eventType.raw());
}

std::optional<SoundCue> soundCueForID(std::string_view soundID, const SoundChoiceContext& context) {
  if (const auto* imported = findImported(context.importedSounds, soundID))
    return importedCue(*imported);
  if (const auto* preset = builtInSoundPreset(soundID)) return presetCue(*preset, context);
  return std::nullopt;
}

SoundCue chooseSoundCue(const GlimmetEvent& event, const SoundChoiceContext& context) {
  if (const auto assigned = context.assignments.find(soundTaskType(event));
      assigned != context.assignments.end()) {
    if (const auto* imported = findImported(context.importedSounds, assigned->second))
      return importedCue(*imported);
  }
  if (auto cue = soundCueForID(context.selectedSoundID, context)) return *std::move(cue);
  return presetCue(*builtInSoundPreset(kDefaultSoundID), context);
}

double soundStopDelaySeconds(std::optional<double> fileDuration, double position,
                             std::optional<double> maxDuration) {
  double remaining = kUnknownDurationLimitSeconds;
  if (fileDuration) remaining = std::max(*fileDuration - position, kShortestRemainingSeconds);
  if (maxDuration) remaining = std::min(remaining, *maxDuration);
  return remaining + kStopGraceSeconds;
}

}  // namespace glimmet
