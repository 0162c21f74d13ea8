#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/log.hpp"
#include "model/sound_choice.hpp"
#include "platform/sound_player.hpp"

namespace glimmet {

// Plays cues on the main loop's behalf: starts them on the player's workers, keeps each one
// alive while it plays and stops it after its limit (soundStopDelaySeconds), and when a file
// cannot be decoded plays the cue's named system sound instead. Loop thread only; the player's
// reports are brought back to the loop through `post`.
class SoundCuePlayer {
 public:
  using Post = std::function<void(std::function<void()>)>;
  using Schedule = std::function<void(double delaySeconds, std::function<void()>)>;

  SoundCuePlayer(SoundPlayer& player, Post post, Schedule schedule, LogSink log = {});
  ~SoundCuePlayer();
  SoundCuePlayer(const SoundCuePlayer&) = delete;
  SoundCuePlayer& operator=(const SoundCuePlayer&) = delete;

  // `animationKey` names the button that shows the sound as playing (the sound ID by default).
  void play(const SoundCue& cue, const std::string& animationKey = {});

  // Stops every sound shown by `animationKey` now.
  void stop(const std::string& animationKey);
  // Called on the loop with the animation key of each sound that ended: played out, stopped, or
  // not playable at all.
  void setOnSoundEnded(std::function<void(const std::string& animationKey)> ended) {
    onEnded_ = std::move(ended);
  }

  // Whether the sound shown by `animationKey` is still playing (playingSoundKey).
  bool isSoundPlaying(const std::string& animationKey) const;
  size_t activeSoundCount() const { return activeSounds_.size(); }

 private:
  struct ActiveSound {
    SoundPlayer::Handle handle = 0;
    SoundCue cue;
    std::string animationKey;
    bool named = false;
  };

  void start(SoundCue cue, std::string animationKey, bool named);
  void onStarted(uint64_t key, std::optional<double> duration);
  void onFailed(uint64_t key, SoundFailure failure, const std::string& reason);
  void release(uint64_t key);
  void ended(const std::string& animationKey);

  SoundPlayer& player_;
  Post post_;
  Schedule schedule_;
  LogSink log_;
  // Keyed by our own number, known before the player reports anything.
  std::map<uint64_t, ActiveSound> activeSounds_;
  uint64_t nextKey_ = 1;
  std::function<void(const std::string&)> onEnded_;
  // Reports that reach the loop after this object is gone are dropped.
  std::shared_ptr<SoundCuePlayer*> self_;
};

}  // namespace glimmet
