// Cue playback on a fake clock: the stop time, the fallback to the named sound and the logged
// reasons, with a player that records instead of playing.

#include "sounds/sound_cue_player.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "model/sound_presets.hpp"
#include "support/recording_sound_player.hpp"

namespace glimmet {
namespace {

using glimmet::testing::RecordingSoundPlayer;

struct FakeLoop {
  std::deque<std::function<void()>> posted;
  std::vector<std::pair<double, std::function<void()>>> timers;

  void drain() {
    while (!posted.empty()) {
      auto work = std::move(posted.front());
      posted.pop_front();
      work();
    }
  }
};

class SoundCuePlayerTest : public ::testing::Test {
 protected:
  SoundCuePlayerTest()
      : cues(
            player, [this](std::function<void()> work) { loop.posted.push_back(std::move(work)); },
            [this](double delay, std::function<void()> work) {
              loop.timers.emplace_back(delay, std::move(work));
            },
            [this](const std::string& line) { log.push_back(line); }) {}

  SoundCue presetCue(const std::string& id, const std::string& path) {
    const auto* preset = builtInSoundPreset(id);
    SoundCue cue;
    cue.soundID = id;
    cue.audioPath = path;
    cue.systemSoundName = preset->systemSoundName;
    cue.start = preset->previewStart;
    cue.maxDuration = preset->previewDuration;
    return cue;
  }

  RecordingSoundPlayer player;
  FakeLoop loop;
  std::vector<std::string> log;
  SoundCuePlayer cues;
};

TEST_F(SoundCuePlayerTest, TenSecondFileIsStoppedAtItsPresetLimitPlusAQuarterSecond) {
  player.durations["/long.ogg"] = 10.0;
  player.durations["/cabin.wav"] = 10.0;
  cues.play(presetCue("moonlight-sonata", "/long.ogg"));
  cues.play(presetCue("cabin-chime", "/cabin.wav"), "preview-cabin");
  ASSERT_EQ(player.plays.size(), 2u);
  EXPECT_FALSE(player.plays[0].named);
  EXPECT_EQ(player.plays[0].what, "/long.ogg");

  // The start reports come back through the loop; only then is the stop scheduled.
  EXPECT_TRUE(loop.timers.empty());
  loop.drain();
  ASSERT_EQ(loop.timers.size(), 2u);
  EXPECT_DOUBLE_EQ(loop.timers[0].first, 3.25);
  EXPECT_DOUBLE_EQ(loop.timers[1].first, 1.65);
  EXPECT_TRUE(cues.isSoundPlaying("moonlight-sonata"));
  EXPECT_TRUE(cues.isSoundPlaying("preview-cabin"));
  EXPECT_TRUE(player.stopped.empty());

  loop.timers[1].second();
  EXPECT_EQ(player.stopped, (std::vector<SoundPlayer::Handle>{player.plays[1].handle}));
  EXPECT_FALSE(cues.isSoundPlaying("preview-cabin"));
  EXPECT_TRUE(cues.isSoundPlaying("moonlight-sonata"));
  loop.timers[0].second();
  EXPECT_EQ(player.stopped.size(), 2u);
  EXPECT_EQ(cues.activeSoundCount(), 0u);
  // A timer that fires twice stops nothing twice.
  loop.timers[0].second();
  EXPECT_EQ(player.stopped.size(), 2u);
}

TEST_F(SoundCuePlayerTest, UndecodableFileFallsBackToTheNamedSoundWithALoggedReason) {
  player.failures["/notes.wav"] = {SoundFailure::unreadableFile,
                                   "/notes.wav cannot be decoded: Format not recognised"};
  player.durations["Glass"] = 1.2;
  cues.play(presetCue("goldberg-aria", "/notes.wav"));
  loop.drain();
  ASSERT_EQ(player.plays.size(), 2u);
  EXPECT_TRUE(player.plays[1].named);
  EXPECT_EQ(player.plays[1].what, "Glass");
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0],
            "[Glimmet] Sound goldberg-aria: /notes.wav cannot be decoded: Format not recognised; "
            "playing the system sound Glass instead");
  ASSERT_EQ(loop.timers.size(), 1u);
  EXPECT_DOUBLE_EQ(loop.timers[0].first, 1.2 + 0.25);
  EXPECT_TRUE(cues.isSoundPlaying("goldberg-aria"));
}

TEST_F(SoundCuePlayerTest, NoAudioServerIsLoggedAndNothingElseHappens) {
  player.failures["/cue.wav"] = {SoundFailure::noAudioServer,
                                 "no audio server to play /cue.wav: Connection refused"};
  cues.play(presetCue("kenney-confirm", "/cue.wav"));
  loop.drain();
  EXPECT_EQ(player.plays.size(), 1u);
  EXPECT_TRUE(loop.timers.empty());
  EXPECT_EQ(cues.activeSoundCount(), 0u);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0],
            "[Glimmet] Sound kenney-confirm not played: no audio server to play /cue.wav: "
            "Connection refused");
}

TEST(SoundCuePlayerLifetimeTest, ReportsAfterTheCuePlayerIsGoneAreDropped) {
  RecordingSoundPlayer player;
  player.durations["/a.wav"] = 2.0;
  FakeLoop loop;
  {
    SoundCuePlayer cues(
        player, [&](std::function<void()> work) { loop.posted.push_back(std::move(work)); },
        [&](double delay, std::function<void()> work) {
          loop.timers.emplace_back(delay, std::move(work));
        });
    SoundCue cue;
    cue.soundID = "a";
    cue.audioPath = "/a.wav";
    cues.play(cue);
  }
  // Destroying it stopped the sound it held; the late report finds nobody.
  EXPECT_EQ(player.stopped.size(), 1u);
  loop.drain();
  EXPECT_TRUE(loop.timers.empty());
}

}  // namespace
}  // namespace glimmet

namespace glimmet {
namespace {

TEST_F(SoundCuePlayerTest, EndedIsReportedOnceForStoppedPlayedOutAndUnplayableSounds) {
  std::vector<std::string> ended;
  cues.setOnSoundEnded([&ended](const std::string& key) { ended.push_back(key); });
  player.durations["/a.wav"] = 0.5;
  player.failures["/bad.wav"] = {SoundFailure::unreadableFile, "cannot be decoded"};
  player.failures["Glass"] = {SoundFailure::noNamedSound, "no Glass here"};
  cues.play(presetCue("kenney-confirm", "/a.wav"), "a");
  cues.play(presetCue("goldberg-aria", "/bad.wav"), "bad");
  cues.play(presetCue("epic-quest", "/a.wav"), "stopped");
  loop.drain();
  // The undecodable file gave way to its named sound, which failed too: that is its end.
  EXPECT_EQ(ended, std::vector<std::string>{"bad"});

  cues.stop("stopped");
  EXPECT_EQ(ended, (std::vector<std::string>{"bad", "stopped"}));
  EXPECT_FALSE(cues.isSoundPlaying("stopped"));
  EXPECT_EQ(player.stopped, std::vector<SoundPlayer::Handle>{player.plays[2].handle});
  cues.stop("stopped");  // nothing left to stop
  EXPECT_EQ(ended.size(), 2u);

  ASSERT_FALSE(loop.timers.empty());
  loop.timers[0].second();
  EXPECT_EQ(ended, (std::vector<std::string>{"bad", "stopped", "a"}));
  EXPECT_EQ(cues.activeSoundCount(), 0u);
}

}  // namespace
}  // namespace glimmet
