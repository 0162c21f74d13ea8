#include "sounds/sound_cue_player.hpp"

#include <fmt/format.h>

#include <vector>

namespace glimmet {

SoundCuePlayer::SoundCuePlayer(SoundPlayer& player, Post post, Schedule schedule, LogSink log)
    : player_(player),
      post_(std::move(post)),
      schedule_(std::move(schedule)),
      log_(std::move(log)),
      self_(std::make_shared<SoundCuePlayer*>(this)) {}

SoundCuePlayer::~SoundCuePlayer() {
  *self_ = nullptr;
  for (const auto& [key, sound] : activeSounds_) player_.stop(sound.handle);
}

void SoundCuePlayer::play(const SoundCue& cue, const std::string& animationKey) {
  const bool named = !cue.audioPath.has_value();
  start(cue, animationKey.empty() ? cue.soundID : animationKey, named);
}

bool SoundCuePlayer::isSoundPlaying(const std::string& animationKey) const {
  for (const auto& [key, sound] : activeSounds_) {
    if (sound.animationKey == animationKey) return true;
  }
  return false;
}

void SoundCuePlayer::start(SoundCue cue, std::string animationKey, bool named) {
  const uint64_t key = nextKey_++;
  std::weak_ptr<SoundCuePlayer*> weak = self_;
  auto onLoop = [this, weak](std::function<void(SoundCuePlayer&)> work) {
    post_([weak, work = std::move(work)] {
      if (auto self = weak.lock(); self && *self) work(**self);
    });
  };
  SoundPlaybackEvents events;
  events.started = [onLoop, key](std::optional<double> duration) {
    onLoop([key, duration](SoundCuePlayer& cues) { cues.onStarted(key, duration); });
  };
  events.failed = [onLoop, key](SoundFailure failure, const std::string& reason) {
    onLoop([key, failure, reason](SoundCuePlayer& cues) { cues.onFailed(key, failure, reason); });
  };
  const std::string systemSoundName = cue.systemSoundName;
  const std::optional<std::string> audioPath = cue.audioPath;
  const double startSeconds = cue.start;
  activeSounds_[key] = ActiveSound{0, std::move(cue), std::move(animationKey), named};
  const auto handle = named ? player_.playNamed(systemSoundName, std::move(events))
                            : player_.playFile(*audioPath, startSeconds, std::move(events));
  if (const auto found = activeSounds_.find(key); found != activeSounds_.end())
    found->second.handle = handle;
}

void SoundCuePlayer::onStarted(uint64_t key, std::optional<double> duration) {
  const auto found = activeSounds_.find(key);
  if (found == activeSounds_.end()) return;
  const auto& cue = found->second.cue;
  const double position = found->second.named ? 0.0 : cue.start;
  const double delay = soundStopDelaySeconds(duration, position, cue.maxDuration);
  std::weak_ptr<SoundCuePlayer*> weak = self_;
  schedule_(delay, [weak, key] {
    if (auto self = weak.lock(); self && *self) (*self)->release(key);
  });
}

void SoundCuePlayer::onFailed(uint64_t key, SoundFailure failure, const std::string& reason) {
  const auto found = activeSounds_.find(key);
  if (found == activeSounds_.end()) return;
  ActiveSound sound = std::move(found->second);
  activeSounds_.erase(found);
  if (failure == SoundFailure::unreadableFile && !sound.named &&
      !sound.cue.systemSoundName.empty()) {
    writeLog(log_, fmt::format("[Glimmet] Sound {}: {}; playing the system sound {} instead",
                               sound.cue.soundID, reason, sound.cue.systemSoundName));
    start(std::move(sound.cue), std::move(sound.animationKey), true);
    return;
  }
  writeLog(log_, fmt::format("[Glimmet] Sound {} not played: {}", sound.cue.soundID, reason));
  ended(sound.animationKey);
}

void SoundCuePlayer::release(uint64_t key) {
  const auto found = activeSounds_.find(key);
  if (found == activeSounds_.end()) return;
  const auto handle = found->second.handle;
  const std::string animationKey = std::move(found->second.animationKey);
  activeSounds_.erase(found);
  player_.stop(handle);
  ended(animationKey);
}

void SoundCuePlayer::stop(const std::string& animationKey) {
  std::vector<uint64_t> keys;
  for (const auto& [key, sound] : activeSounds_) {
    if (sound.animationKey == animationKey) keys.push_back(key);
  }
  for (const uint64_t key : keys) release(key);
}

void SoundCuePlayer::ended(const std::string& animationKey) {
  if (onEnded_) onEnded_(animationKey);
}

}  // namespace glimmet
