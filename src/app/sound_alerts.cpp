#include "app/sound_alerts.hpp"

#include <algorithm>

#include "model/sound_presets.hpp"
#include "platform/file_system.hpp"

#ifndef GLIMMET_SOUND_RESOURCE_DIR
#define GLIMMET_SOUND_RESOURCE_DIR ""
#endif

namespace glimmet {

std::string soundResourceDirectory(const Environment& environment) {
  return environment.nonEmptyString("GLIMMET_SOUND_RESOURCES")
      .value_or(std::string(GLIMMET_SOUND_RESOURCE_DIR));
}

SoundAlerts::SoundAlerts(Core& core, std::unique_ptr<SoundPlayer> player,
                         std::string resourceDirectory, LogSink log)
    : core_(core),
      player_(std::move(player)),
      resourceDirectory_(std::move(resourceDirectory)),
      log_(std::move(log)),
      library_(core.paths().glimmetHome + "/sounds") {
  MainLoop& loop = core_.loop();
  cues_ = std::make_unique<SoundCuePlayer>(
      *player_, [&loop](std::function<void()> work) { loop.post(std::move(work)); },
      [this](double delaySeconds, std::function<void()> work) {
        std::erase_if(stopTimers_, [](const WorkItem& timer) { return !timer.isPending(); });
        stopTimers_.push_back(core_.loop().schedule(Seconds(delaySeconds), std::move(work)));
      },
      log_);
}

SoundAlerts::~SoundAlerts() {
  if (subscription_ != 0) core_.unsubscribe(subscription_);
  stopTimers_.clear();
  cues_.reset();
}

void SoundAlerts::start() {
  // What the event file held at launch never plays.
  tracker_.prime(core_.store().events());
  subscription_ = core_.subscribe(
      [this](const SnapshotPtr& snapshot) { playSoundsForNewEvents(snapshot->storeRevision); });
}

void SoundAlerts::playSoundsForNewEvents(int64_t storeRevision) {
  if (lastSoundEventRevision_ == storeRevision) return;
  lastSoundEventRevision_ = storeRevision;
  const bool muted = core_.userDefaults().boolValue("muted", false);
  const auto toSound = tracker_.takeEventsToSound(core_.store().events(), muted);
  if (toSound.empty()) return;
  library_.refreshIfChanged(systemNow());
  // The newest of the burst speaks for it.
  const GlimmetEvent* newest = *std::max_element(
      toSound.begin(), toSound.end(),
      [](const GlimmetEvent* a, const GlimmetEvent* b) { return a->timestamp < b->timestamp; });
  cues_->play(chooseSoundCue(*newest, choiceContext()));
}

SoundChoiceContext SoundAlerts::choiceContext() const {
  SoundChoiceContext context;
  context.assignments = library_.assignments();
  context.importedSounds = library_.importedSounds();
  context.selectedSoundID =
      core_.userDefaults().stringValue("selectedSoundID").value_or(std::string(kDefaultSoundID));
  context.resourceDirectory = resourceDirectory_;
  context.fileExists = [](const std::string& path) { return fileExists(path); };
  return context;
}

}  // namespace glimmet
