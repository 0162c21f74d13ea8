#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace glimmet {

// Why a sound did not play.
enum class SoundFailure {
  unreadableFile,  // missing, or a format the decoder cannot read
  noAudioServer,   // nothing to play to: the cue is lost, the application goes on
  noNamedSound,    // the named system sound has no file on this system
};

// What happens to one playing sound. Called on the player's worker thread, never on the loop.
struct SoundPlaybackEvents {
  // Playback began; the file's whole duration in seconds when the decoder knows it.
  std::function<void(std::optional<double> duration)> started;
  // Playback did not begin; `reason` is for the log.
  std::function<void(SoundFailure failure, const std::string& reason)> failed;
};

// Plays short sounds through the system's audio output at the system volume. Decoding and
// writing to the audio server happen on worker threads so that the loop never waits for them.
class SoundPlayer {
 public:
  using Handle = uint64_t;
  virtual ~SoundPlayer() = default;

  // Starts `path` at `startSeconds` into the file. Any thread.
  virtual Handle playFile(const std::string& path, double startSeconds,
                          SoundPlaybackEvents events) = 0;
  // Starts a named system sound ("Glass", "Ping", ...). Any thread.
  virtual Handle playNamed(const std::string& name, SoundPlaybackEvents events) = 0;
  // Stops a sound early and releases it; a sound that already ended is ignored. Any thread.
  virtual void stop(Handle handle) = 0;
};

// The player of this platform.
std::unique_ptr<SoundPlayer> makeSystemSoundPlayer();

}  // namespace glimmet
