#include "platform/sound_player.hpp"

namespace glimmet {

namespace {

// Sound output on macOS belongs to the application shell, which plays cues with AppKit.
class UnavailableSoundPlayer final : public SoundPlayer {
 public:
  Handle playFile(const std::string&, double, SoundPlaybackEvents events) override {
    return fail(events);
  }
  Handle playNamed(const std::string&, SoundPlaybackEvents events) override { return fail(events); }
  void stop(Handle) override {}

 private:
  Handle fail(const SoundPlaybackEvents& events) {
    if (events.failed)
      events.failed(SoundFailure::noAudioServer, "sound output is provided by the macOS shell");
    return ++next_;
  }
  Handle next_ = 0;
};

}  // namespace

std::unique_ptr<SoundPlayer> makeSystemSoundPlayer() {
  return std::make_unique<UnavailableSoundPlayer>();
}

}  // namespace glimmet
