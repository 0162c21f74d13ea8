// The Linux sound player against a real PulseAudio with a null sink that the test starts, and
// against no audio server at all.

#include "platform/linux/pulse_sound_player.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "model/sound_presets.hpp"
#include "support/child_process.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using glimmet::testing::ChildProcess;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

// A mono 16-bit PCM WAV of `seconds` of a quiet 440 Hz tone.
void writeWave(const std::string& path, double seconds, int rate = 22050) {
  const uint32_t frames = static_cast<uint32_t>(seconds * rate);
  std::string bytes;
  auto put32 = [&](uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
  };
  auto put16 = [&](uint16_t value) {
    bytes += static_cast<char>(value & 0xff);
    bytes += static_cast<char>(value >> 8);
  };
  bytes += "RIFF";
  put32(36 + frames * 2);
  bytes += "WAVEfmt ";
  put32(16);
  put16(1);
  put16(1);
  put32(static_cast<uint32_t>(rate));
  put32(static_cast<uint32_t>(rate) * 2);
  put16(2);
  put16(16);
  bytes += "data";
  put32(frames * 2);
  for (uint32_t i = 0; i < frames; ++i) put16(static_cast<uint16_t>(i % 50 < 25 ? 2000 : -2000));
  writeText(path, bytes);
}

// What one playback reported, waited for across the worker thread.
struct Reports {
  std::mutex mutex;
  std::condition_variable changed;
  std::optional<std::optional<double>> started;
  std::optional<std::pair<SoundFailure, std::string>> failed;

  SoundPlaybackEvents events() {
    SoundPlaybackEvents events;
    events.started = [this](std::optional<double> duration) {
      std::lock_guard lock(mutex);
      started = duration;
      changed.notify_all();
    };
    events.failed = [this](SoundFailure failure, const std::string& reason) {
      std::lock_guard lock(mutex);
      failed = std::make_pair(failure, reason);
      changed.notify_all();
    };
    return events;
  }
  bool wait(double seconds = 10) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::duration<double>(seconds),
                            [this] { return started.has_value() || failed.has_value(); });
  }
};

TEST(PulseSoundPlayerTest, AbsentAudioServerAndUndecodableFileReportTheirReasons) {
  TempDir dir;
  ::setenv("PULSE_SERVER", ("unix:" + dir.file("no-such-socket")).c_str(), 1);
  const std::string wave = dir.file("cue.wav");
  writeWave(wave, 0.5);
  const std::string notAudio = dir.file("notes.wav");
  writeText(notAudio, "these are meeting notes, not a wave file\n");

  auto player = makePulseSoundPlayer(dir.file("no-theme"));
  Reports server;
  player->playFile(wave, 0, server.events());
  ASSERT_TRUE(server.wait());
  ASSERT_TRUE(server.failed.has_value());
  EXPECT_EQ(server.failed->first, SoundFailure::noAudioServer);
  EXPECT_NE(server.failed->second.find("no audio server"), std::string::npos)
      << server.failed->second;

  Reports undecodable;
  player->playFile(notAudio, 0, undecodable.events());
  ASSERT_TRUE(undecodable.wait());
  ASSERT_TRUE(undecodable.failed.has_value());
  EXPECT_EQ(undecodable.failed->first, SoundFailure::unreadableFile);
  EXPECT_NE(undecodable.failed->second.find(notAudio + " cannot be decoded"), std::string::npos);

  Reports named;
  player->playNamed("Glass", named.events());
  ASSERT_TRUE(named.wait());
  ASSERT_TRUE(named.failed.has_value());
  EXPECT_EQ(named.failed->first, SoundFailure::noNamedSound);
  ::unsetenv("PULSE_SERVER");
}

TEST(PulseSoundPlayerTest, NamedSoundsMapToTheFreedesktopThemeWhenItsFilesExist) {
  TempDir dir;
  writeText(dir.file("complete.oga"), "OggS");
  writeText(dir.file("bell.oga"), "OggS");
  EXPECT_EQ(namedSoundFile("Glass", dir.path()), dir.file("complete.oga"));
  EXPECT_EQ(namedSoundFile("Hero", dir.path()), dir.file("complete.oga"));
  EXPECT_EQ(namedSoundFile("Funk", dir.path()), dir.file("bell.oga"));
  EXPECT_EQ(namedSoundFile("Submarine", dir.path()), dir.file("bell.oga"));
  EXPECT_EQ(namedSoundFile("Ping", dir.path()), std::nullopt);  // message.oga is missing
}

// A private PulseAudio with one null sink, listening on a socket in a temp folder.
class NullSinkServer {
 public:
  explicit NullSinkServer(const TempDir& dir) : socket_(dir.file("pulse/native")) {
    ::mkdir(dir.file("pulse").c_str(), 0700);
    const std::string runtime = dir.file("pulse");
    server_ = ChildProcess::spawn(
        {"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--disable-shm=yes",
         "--use-pid-file=no", "--load=module-null-sink",
         "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_},
        {"HOME=" + runtime, "PULSE_RUNTIME_PATH=" + runtime, "XDG_RUNTIME_DIR=" + runtime,
         "PATH=/usr/bin:/bin"});
    ready_ = server_.waitUntil([&] { return sinkInputs() >= 0; }, 10);
  }
  ~NullSinkServer() {
    server_.signal(SIGTERM);
    server_.waitExit(5);
  }

  bool ready() const { return ready_; }
  std::string address() const { return "unix:" + socket_; }
  std::string log() { return server_.output(); }

  // How many streams play into the server now; -1 when it does not answer.
  int sinkInputs() {
    auto pactl = ChildProcess::spawn(
        {"pactl", "list", "short", "sink-inputs"},
        {"PULSE_SERVER=unix:" + socket_, "PATH=/usr/bin:/bin", "HOME=/nonexistent"});
    if (!pactl.waitExit(5) || pactl.exitCode() != 0) return -1;
    int lines = 0;
    for (const char c : pactl.output()) lines += c == '\n';
    return lines;
  }

 private:
  std::string socket_;
  ChildProcess server_;
  bool ready_ = false;
};

bool waitFor(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

bool havePulseAudio() {
  return ::access("/usr/bin/pulseaudio", X_OK) == 0 && ::access("/usr/bin/pactl", X_OK) == 0;
}

TEST(PulseSoundPlayerTest, PlaysIntoANullSinkAndStopsWhenAsked) {
  if (!havePulseAudio()) GTEST_SKIP() << "pulseaudio and pactl are needed (scripts/setup.sh)";
  TempDir dir;
  NullSinkServer server(dir);
  ASSERT_TRUE(server.ready()) << server.log();
  ::setenv("PULSE_SERVER", server.address().c_str(), 1);

  const std::string wave = dir.file("long.wav");
  writeWave(wave, 10.0);
  auto player = makePulseSoundPlayer(dir.file("no-theme"));
  Reports reports;
  const auto handle = player->playFile(wave, 1.0, reports.events());
  ASSERT_TRUE(reports.wait());
  ASSERT_FALSE(reports.failed.has_value()) << reports.failed->second;
  ASSERT_TRUE(reports.started->has_value());
  EXPECT_NEAR(**reports.started, 10.0, 0.01);

  EXPECT_TRUE(waitFor([&] { return server.sinkInputs() == 1; }, 5));
  player->stop(handle);
  // Well before the file's own end the stream is gone.
  EXPECT_TRUE(waitFor([&] { return server.sinkInputs() == 0; }, 3));
  ::unsetenv("PULSE_SERVER");
}

// The preset cues the build synthesised decode, and none runs past its limit: every cue at most
// 3 s, the cabin cues under 1.5 s.
TEST(PulseSoundPlayerTest, GeneratedPresetCuesDecodeWithinTheirLimits) {
  if (!havePulseAudio()) GTEST_SKIP() << "pulseaudio and pactl are needed (scripts/setup.sh)";
  const std::string binary = GLIMMET_BINARY;
  const std::string buildDirectory = binary.substr(0, binary.rfind("/src/"));
  const std::string resources = buildDirectory + "/resources";
  TempDir dir;
  NullSinkServer server(dir);
  ASSERT_TRUE(server.ready()) << server.log();
  ::setenv("PULSE_SERVER", server.address().c_str(), 1);
  auto player = makePulseSoundPlayer(dir.file("no-theme"));
  for (const auto& category : builtInSoundCategories()) {
    for (const auto& preset : category.sounds) {
      const std::string path = resources + "/" + *preset.bundledAudioPath;
      Reports reports;
      const auto handle = player->playFile(path, 0, reports.events());
      ASSERT_TRUE(reports.wait()) << path;
      player->stop(handle);
      ASSERT_FALSE(reports.failed.has_value()) << reports.failed->second;
      ASSERT_TRUE(reports.started->has_value()) << path;
      const double duration = **reports.started;
      EXPECT_GT(duration, 0.5) << path;
      EXPECT_LE(duration, kPresetCueLimitSeconds + 0.01) << path;
      if (category.id == "focus") {
        EXPECT_LT(duration, kCabinCueLimitSeconds) << path;
      }
    }
  }
  ::unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace glimmet
