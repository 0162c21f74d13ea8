#include "platform/linux/pulse_sound_player.hpp"

#include <fmt/format.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <sndfile.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace glimmet {

namespace {

constexpr size_t kFramesPerWrite = 1024;

struct Playback {
  std::atomic<bool> stopRequested{false};
  std::atomic<bool> finished{false};
  std::thread thread;
};

struct SoundFileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
struct PulseCloser {
  void operator()(pa_simple* stream) const { pa_simple_free(stream); }
};

void reportFailure(const SoundPlaybackEvents& events, SoundFailure failure,
                   const std::string& reason) {
  if (events.failed) events.failed(failure, reason);
}

void playOnWorker(const std::string& path, double startSeconds, const SoundPlaybackEvents& events,
                  const std::atomic<bool>& stopRequested) {
  SF_INFO info{};
  std::unique_ptr<SNDFILE, SoundFileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) {
    reportFailure(events, SoundFailure::unreadableFile,
                  fmt::format("{} cannot be decoded: {}", path, sf_strerror(nullptr)));
    return;
  }
  if (info.channels < 1 || info.channels > 32 || info.samplerate < 1) {
    reportFailure(events, SoundFailure::unreadableFile,
                  fmt::format("{} has an unsupported layout ({} channels at {} Hz)", path,
                              info.channels, info.samplerate));
    return;
  }
  std::optional<double> duration;
  if (info.frames > 0) duration = static_cast<double>(info.frames) / info.samplerate;
  if (startSeconds > 0 && info.seekable) {
    sf_seek(file.get(), static_cast<sf_count_t>(startSeconds * info.samplerate), SEEK_SET);
  }

  pa_sample_spec sampleFormat{};
  sampleFormat.format = PA_SAMPLE_FLOAT32NE;
  sampleFormat.rate = static_cast<uint32_t>(info.samplerate);
  sampleFormat.channels = static_cast<uint8_t>(info.channels);
  int error = 0;
  std::unique_ptr<pa_simple, PulseCloser> stream(
      pa_simple_new(nullptr, "Glimmet", PA_STREAM_PLAYBACK, nullptr, "Reminder cue", &sampleFormat,
                    nullptr, nullptr, &error));
  if (!stream) {
    reportFailure(events, SoundFailure::noAudioServer,
                  fmt::format("no audio server to play {}: {}", path, pa_strerror(error)));
    return;
  }
  if (events.started) events.started(duration);

  std::vector<float> buffer(kFramesPerWrite * static_cast<size_t>(info.channels));
  while (!stopRequested.load()) {
    const sf_count_t frames =
        sf_readf_float(file.get(), buffer.data(), static_cast<sf_count_t>(kFramesPerWrite));
    if (frames <= 0) break;
    const size_t bytes = static_cast<size_t>(frames) * info.channels * sizeof(float);
    if (pa_simple_write(stream.get(), buffer.data(), bytes, &error) < 0) break;
  }
  if (stopRequested.load()) {
    pa_simple_flush(stream.get(), &error);
  } else {
    pa_simple_drain(stream.get(), &error);
  }
}

class PulseSoundPlayer final : public SoundPlayer {
 public:
  explicit PulseSoundPlayer(std::string themeDirectory)
      : themeDirectory_(std::move(themeDirectory)) {}

  ~PulseSoundPlayer() override {
    std::map<Handle, std::unique_ptr<Playback>> playbacks;
    {
      std::lock_guard lock(mutex_);
      playbacks.swap(playbacks_);
    }
    for (auto& [handle, playback] : playbacks) playback->stopRequested = true;
    for (auto& [handle, playback] : playbacks) playback->thread.join();
  }

  Handle playFile(const std::string& path, double startSeconds,
                  SoundPlaybackEvents events) override {
    std::lock_guard lock(mutex_);
    reapFinished();
    const Handle handle = nextHandle_++;
    auto playback = std::make_unique<Playback>();
    Playback* raw = playback.get();
    raw->thread = std::thread([path, startSeconds, events = std::move(events), raw] {
      playOnWorker(path, startSeconds, events, raw->stopRequested);
      raw->finished = true;
    });
    playbacks_.emplace(handle, std::move(playback));
    return handle;
  }

  Handle playNamed(const std::string& name, SoundPlaybackEvents events) override {
    if (const auto file = namedSoundFile(name, themeDirectory_)) {
      return playFile(*file, 0, std::move(events));
    }
    reportFailure(events, SoundFailure::noNamedSound,
                  fmt::format("the system sound {} has no file under {} (the freedesktop sound "
                              "theme is not installed)",
                              name, themeDirectory_));
    std::lock_guard lock(mutex_);
    return nextHandle_++;
  }

  void stop(Handle handle) override {
    std::lock_guard lock(mutex_);
    if (const auto found = playbacks_.find(handle); found != playbacks_.end())
      found->second->stopRequested = true;
  }

 private:
  // Joins the threads of sounds that ended by themselves. Caller holds mutex_.
  void reapFinished() {
    for (auto it = playbacks_.begin(); it != playbacks_.end();) {
      if (it->second->finished.load()) {
        it->second->thread.join();
        it = playbacks_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::string themeDirectory_;
  std::mutex mutex_;
  std::map<Handle, std::unique_ptr<Playback>> playbacks_;
  Handle nextHandle_ = 1;
};

}  // namespace

std::optional<std::string> namedSoundFile(std::string_view name,
                                          const std::string& themeDirectory) {
  // The closest freedesktop theme sound to each of the system sounds the presets name.
  static const std::map<std::string_view, std::string_view> kThemeNames = {
      {"Glass", "complete"},
      {"Hero", "complete"},
      {"Funk", "bell"},
      {"Ping", "message"},
      {"Tink", "message-new-instant"},
      {"Pop", "dialog-information"},
  };
  const auto found = kThemeNames.find(name);
  const std::string_view themeName = found == kThemeNames.end() ? "bell" : found->second;
  std::string path = fmt::format("{}/{}.oga", themeDirectory, themeName);
  if (::access(path.c_str(), R_OK) != 0) return std::nullopt;
  return path;
}

std::unique_ptr<SoundPlayer> makePulseSoundPlayer(std::string themeDirectory) {
  return std::make_unique<PulseSoundPlayer>(std::move(themeDirectory));
}

std::unique_ptr<SoundPlayer> makeSystemSoundPlayer() {
  return makePulseSoundPlayer(std::string(kFreedesktopSoundDirectory));
}

}  // namespace glimmet
