// Which events sound, which cue plays, and for how long: the pure rules, on real event lines.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "model/sound_choice.hpp"
#include "model/sound_events.hpp"
#include "model/sound_presets.hpp"
#include "support/event_lines.hpp"

namespace glimmet {
namespace {

using glimmet::testing::eventFrom;

GlimmetEvent approval(const std::string& id) {
  return eventFrom(R"({"event_id":")" + id +
                   R"(","source":"claude-code","event_type":"permission_request",)"
                   R"("action":{"kind":"Bash","decision_file":"/tmp/d"}})");
}

GlimmetEvent completion(const std::string& id) {
  return eventFrom(R"({"event_id":")" + id +
                   R"(","source":"codex","event_type":"task_completed","raw_event_name":"Stop",)"
                   R"("completion_snippet":"Refactored the parser"})");
}

GlimmetEvent usageOnly(const std::string& id) {
  return eventFrom(
      R"({"event_id":")" + id +
      R"(","source":"codex","event_type":"task_completed","notify_policy":"usage_only",)"
      R"("completion_snippet":"Tokens"})");
}

GlimmetEvent running(const std::string& id) {
  return eventFrom(R"({"event_id":")" + id + R"(","source":"codex","event_type":"task_started"})");
}

std::vector<std::string> ids(const std::vector<const GlimmetEvent*>& events) {
  std::vector<std::string> out;
  for (const auto* event : events) out.push_back(event->id);
  return out;
}

TEST(SoundEventsTest, OnlyAttentionEventsSoundAndEachOnlyOnce) {
  EXPECT_TRUE(eventPlaysSound(approval("a")));
  EXPECT_TRUE(eventPlaysSound(completion("c")));
  EXPECT_FALSE(eventPlaysSound(usageOnly("u")));
  EXPECT_FALSE(eventPlaysSound(running("r")));
  EXPECT_FALSE(eventPlaysSound(eventFrom(
      R"({"event_id":"f","source":"codex","event_type":"task_failed","message":"boom"})")));

  SoundEventTracker tracker;
  // What is already in the file at start-up is taken note of, not played.
  std::vector<GlimmetEvent> events = {approval("old")};
  EXPECT_TRUE(tracker.takeEventsToSound(events, false).empty());

  events.push_back(approval("a1"));
  events.push_back(usageOnly("u1"));
  events.push_back(running("r1"));
  events.push_back(completion("c1"));
  EXPECT_EQ(ids(tracker.takeEventsToSound(events, false)), (std::vector<std::string>{"a1", "c1"}));
  // The same events again, as after a rebuild of the store: nothing plays a second time.
  EXPECT_TRUE(tracker.takeEventsToSound(events, false).empty());
  EXPECT_EQ(tracker.notifiedEventIDs(),
            (std::unordered_set<std::string>{"old", "a1", "u1", "r1", "c1"}));
}

TEST(SoundEventsTest, MutedPlaysNothingAndDoesNotCatchUpAfterUnmuting) {
  SoundEventTracker tracker;
  std::vector<GlimmetEvent> events;
  EXPECT_TRUE(tracker.takeEventsToSound(events, false).empty());
  events.push_back(approval("while-muted"));
  EXPECT_TRUE(tracker.takeEventsToSound(events, true).empty());
  EXPECT_TRUE(tracker.takeEventsToSound(events, false).empty());
  events.push_back(approval("after"));
  EXPECT_EQ(ids(tracker.takeEventsToSound(events, false)), (std::vector<std::string>{"after"}));
}

TEST(SoundPresetsTest, TableKeepsEveryCueShortAndTheDefaultExists) {
  const auto& categories = builtInSoundCategories();
  ASSERT_EQ(categories.size(), 3u);
  EXPECT_EQ(categories[1].id, "piano-classics");
  std::set<std::string> seen;
  for (const auto& category : categories) {
    ASSERT_EQ(category.sounds.size(), 3u) << category.id;
    for (const auto& preset : category.sounds) {
      EXPECT_TRUE(seen.insert(preset.id).second) << preset.id;
      ASSERT_TRUE(preset.previewDuration.has_value()) << preset.id;
      EXPECT_LE(*preset.previewDuration, kPresetCueLimitSeconds) << preset.id;
      if (category.id == "focus") {
        EXPECT_LT(*preset.previewDuration, kCabinCueLimitSeconds) << preset.id;
      }
      EXPECT_FALSE(preset.systemSoundName.empty()) << preset.id;
    }
  }
  const auto* turkish = builtInSoundPreset("turkish-march");
  ASSERT_NE(turkish, nullptr);
  EXPECT_EQ(turkish->bundledAudioPath, "Sounds/classics/rondo-alla-turca.ogg");
  EXPECT_EQ(turkish->systemSoundName, "Funk");
  EXPECT_NE(builtInSoundPreset(kDefaultSoundID), nullptr);
  EXPECT_EQ(builtInSoundPreset("kenney-confirm")->source, "Kenney Interface Sounds, CC0");
}

TEST(SoundPresetsTest, PackageIDsFromFileNames) {
  EXPECT_EQ(soundPackageID("/music/My Song_v2.final.mp3"), "my-song-v2-final");
  EXPECT_EQ(soundPackageID("Ding!.wav"), "ding");
  EXPECT_EQ(soundPackageID("/x/ÉÉ.ogg"), "sound");
  EXPECT_EQ(soundPackageID("/x/.wav"), "-wav");
  EXPECT_EQ(soundPackageID("-loud.wav"), "-loud");
}

TEST(SoundChoiceTest, AssignedImportedSoundThenSelectionThenNamedSound) {
  std::set<std::string> existing = {"/res/Sounds/generated/cabin-chime.wav"};
  SoundChoiceContext context;
  context.resourceDirectory = "/res";
  context.fileExists = [&](const std::string& path) { return existing.count(path) > 0; };
  context.importedSounds = {{"horn", "/s/horn/audio.mp3", "Horn", false}};
  context.assignments = {{"permission_request", "horn"}, {"task_completed", "deleted-sound"}};
  context.selectedSoundID = "cabin-chime";

  const SoundCue assigned = chooseSoundCue(approval("a"), context);
  EXPECT_EQ(assigned.soundID, "horn");
  EXPECT_EQ(assigned.audioPath, "/s/horn/audio.mp3");
  EXPECT_EQ(assigned.maxDuration, kPresetCueLimitSeconds);

  // An assignment to a sound that is gone falls through to the selected preset's file.
  const SoundCue selected = chooseSoundCue(completion("c"), context);
  EXPECT_EQ(selected.soundID, "cabin-chime");
  EXPECT_EQ(selected.audioPath, "/res/Sounds/generated/cabin-chime.wav");
  EXPECT_EQ(selected.maxDuration, 1.4);
  EXPECT_EQ(selected.systemSoundName, "Ping");

  // Without its file a preset plays its named sound; an unknown selection is the default.
  context.selectedSoundID = "no-such-sound";
  const SoundCue fallback = chooseSoundCue(completion("c"), context);
  EXPECT_EQ(fallback.soundID, "moonlight-sonata");
  EXPECT_FALSE(fallback.audioPath.has_value());
  EXPECT_EQ(fallback.systemSoundName, "Glass");
}

TEST(SoundChoiceTest, StopDelayIsTheShorterOfRemainingAndLimitPlusAQuarterSecond) {
  EXPECT_DOUBLE_EQ(soundStopDelaySeconds(10.0, 0.0, 3.0), 3.25);
  EXPECT_DOUBLE_EQ(soundStopDelaySeconds(10.0, 0.0, 1.4), 1.65);
  EXPECT_DOUBLE_EQ(soundStopDelaySeconds(2.0, 0.5, 3.0), 1.75);
  // Started at or past the end: at least 0.3 s remain.
  EXPECT_DOUBLE_EQ(soundStopDelaySeconds(2.0, 2.0, 3.0), 0.55);
  EXPECT_DOUBLE_EQ(soundStopDelaySeconds(2.0, 5.0, std::nullopt), 0.55);
  // Unknown length: 30 s unless the cue has a shorter limit.
  EXPECT_DOUBLE_EQ(soundStopDelaySeconds(std::nullopt, 0.0, std::nullopt), 30.25);
  EXPECT_DOUBLE_EQ(soundStopDelaySeconds(std::nullopt, 0.0, 3.0), 3.25);
}

}  // namespace
}  // namespace glimmet
