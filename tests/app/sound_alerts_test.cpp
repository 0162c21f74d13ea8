// The running core with sound alerts: events appended to a real event file play their cue once
// through a recording player; usage-only events and a muted user play nothing.

#include "app/sound_alerts.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "support/recording_sound_player.hpp"
#include "support/test_support.hpp"

namespace glimmet {
namespace {

using testing::isolatedHome;

using glimmet::testing::appendText;
using glimmet::testing::RecordingSoundPlayer;
using glimmet::testing::TempDir;
using glimmet::testing::writeText;

std::string approvalLine(const std::string& id) {
  return R"({"event_id":")" + id +
         R"(","source":"claude-code","event_type":"permission_request","session_id":"s1",)"
         R"("title":"Run tests?","action":{"kind":"Bash","decision_file":"/tmp/d-)" +
         id + R"("}})" + "\n";
}

std::string completionLine(const std::string& id) {
  return R"({"event_id":")" + id +
         R"(","source":"codex","event_type":"task_completed","raw_event_name":"Stop",)"
         R"("session_id":"s2","completion_snippet":"All green"})" +
         "\n";
}

std::string usageOnlyLine(const std::string& id) {
  return R"({"event_id":")" + id +
         R"(","source":"codex","event_type":"task_completed","notify_policy":"usage_only",)"
         R"("session_id":"s3","completion_snippet":"Tokens used"})" +
         "\n";
}

class SoundAlertsTest : public ::testing::Test {
 protected:
  SoundAlertsTest()
      : resources(dir.file("resources")),
        core(isolatedHome(dir), false, [this](const std::string& line) { log += line + "\n"; }) {
    ::mkdir(resources.c_str(), 0755);
    ::mkdir((resources + "/Sounds").c_str(), 0755);
    ::mkdir((resources + "/Sounds/classics").c_str(), 0755);
    writeText(resources + "/Sounds/classics/moonlight-sonata.ogg", "OggS");
    writeText(dir.file("events.jsonl"), approvalLine("already-there"));
    auto recording = std::make_unique<RecordingSoundPlayer>();
    player = recording.get();
    alerts = std::make_unique<SoundAlerts>(core, std::move(recording), resources);
    core.start();
    alerts->start();
  }
  ~SoundAlertsTest() override {
    alerts.reset();
    core.shutDown();
  }

  bool waitForPlays(size_t count) {
    return core.loop().runUntil([&] { return player->plays.size() >= count; }, Seconds(10));
  }
  void settle() {
    core.loop().runUntil([] { return false; }, Seconds(0.5));
  }

  TempDir dir;
  std::string resources;
  std::string log;
  Core core;
  RecordingSoundPlayer* player = nullptr;
  std::unique_ptr<SoundAlerts> alerts;
};

TEST_F(SoundAlertsTest, ApprovalPlaysItsCueOnceUsageOnlyAndMutedPlayNothing) {
  settle();
  EXPECT_TRUE(player->plays.empty()) << "the request already in the file must not sound";

  appendText(dir.file("events.jsonl"), approvalLine("approve-1"));
  ASSERT_TRUE(waitForPlays(1)) << log;
  EXPECT_EQ(player->plays[0].what, resources + "/Sounds/classics/moonlight-sonata.ogg");
  EXPECT_FALSE(player->plays[0].named);
  settle();
  EXPECT_EQ(player->plays.size(), 1u);

  appendText(dir.file("events.jsonl"), usageOnlyLine("usage-1"));
  settle();
  EXPECT_EQ(player->plays.size(), 1u);

  ASSERT_TRUE(core.userDefaults().setValue("muted", true).ok());
  appendText(dir.file("events.jsonl"), approvalLine("approve-2"));
  settle();
  EXPECT_EQ(player->plays.size(), 1u);

  // Unmuted, with a preset whose file is not there: its named sound plays.
  ASSERT_TRUE(core.userDefaults().setValue("muted", false).ok());
  ASSERT_TRUE(core.userDefaults().setValue("selectedSoundID", "cabin-chime").ok());
  appendText(dir.file("events.jsonl"), completionLine("done-1"));
  ASSERT_TRUE(waitForPlays(2)) << log;
  EXPECT_TRUE(player->plays[1].named);
  EXPECT_EQ(player->plays[1].what, "Ping");
  settle();
  EXPECT_EQ(player->plays.size(), 2u);
}

TEST_F(SoundAlertsTest, AnImportedSoundAssignedToTheTaskTypeWins) {
  const std::string source = dir.file("horn.mp3");
  writeText(source, "ID3 fake");
  ASSERT_TRUE(alerts->library().importSound(source).ok());
  ASSERT_TRUE(alerts->library().saveGlimmetSoundAssignment("horn", "permission_request").ok());

  appendText(dir.file("events.jsonl"), approvalLine("approve-horn"));
  ASSERT_TRUE(waitForPlays(1)) << log;
  EXPECT_EQ(player->plays[0].what, dir.file("home/.glimmet/sounds/horn/audio.mp3"));
}

TEST(SoundAlertsLaunchTest, FirstApprovalSoundsWhenTheEventFileStartedEmpty) {
  TempDir dir;
  Core core(isolatedHome(dir), false);
  auto recording = std::make_unique<RecordingSoundPlayer>();
  RecordingSoundPlayer* player = recording.get();
  SoundAlerts alerts(core, std::move(recording), dir.file("no-resources"));
  core.start();
  alerts.start();
  core.loop().runUntil([] { return false; }, Seconds(0.5));
  appendText(dir.file("events.jsonl"), approvalLine("first"));
  EXPECT_TRUE(core.loop().runUntil([&] { return !player->plays.empty(); }, Seconds(10)));
  ASSERT_EQ(player->plays.size(), 1u);
  EXPECT_TRUE(player->plays[0].named);
  EXPECT_EQ(player->plays[0].what, "Glass");
  core.shutDown();
}

}  // namespace
}  // namespace glimmet
