// The update check a launch makes by itself, against a real feed on 127.0.0.1: when it runs,
// what it records, and that each version is announced once.

#include "app/automatic_update_check.hpp"

#include <gtest/gtest.h>

#include "support/test_support.hpp"
#include "updates/feed_server.hpp"

namespace glimmet {
namespace {

using glimmet::testing::FeedServer;
using glimmet::testing::TempDir;

const std::string kManifest = R"({
  "schemaVersion": 1, "app": "Glimmet", "latestVersion": "99.0.0", "releaseDate": "2026-05-14",
  "linux": {"arch": "x86_64", "kind": "tar.gz", "url": "https://example.com/g.tar.gz",
            "sha256": "0123abcd", "sizeBytes": 786432},
  "mac": {"arch": "arm64", "kind": "dmg", "url": "https://example.com/g.dmg",
          "sha256": "0123abcd", "sizeBytes": 786432}})";

class AutomaticUpdateCheckTest : public ::testing::Test {
 protected:
  AutomaticUpdateCheckTest() : defaults(dir.file("defaults.json")) {
    server.put("version.json", kManifest);
  }

  // One launch: the check's timer, run until it has fired and its result is applied (or
  // `seconds` passed). Returns the reminders shown.
  std::vector<std::string> launch(Timestamp now, double seconds = 5) {
    std::vector<std::string> reminders;
    AutomaticUpdateCheck::Options options;
    options.client.endpoint = server.url("/version.json");
    options.currentVersion = "0.1.0";
    options.defaults = &defaults;
    options.initialDelay = Seconds(0.01);
    options.clock = [now] { return now; };
    options.remind = [&](const std::string& text) { reminders.push_back(text); };
    AutomaticUpdateCheck check(loop, std::move(options));
    check.schedule();
    bool applied = false;
    loop.runUntil(
        [&] {
          applied = applied || check.inFlight();
          return applied && !check.inFlight();
        },
        Seconds(seconds));
    lastState = check.about().state();
    return reminders;
  }

  // The attempt as recorded, to the second.
  std::optional<Timestamp> recordedAttempt() const {
    const auto text = defaults.stringValue(kLastAutoUpdateCheckAtKey);
    return text ? parseInternetDateTime(*text, false) : std::nullopt;
  }

  Timestamp hoursAfterStart(double hours) const {
    return start + std::chrono::duration_cast<Timestamp::duration>(Seconds(hours * 3600));
  }

  TempDir dir;
  FeedServer server;
  MainLoop loop;
  JsonFileUserDefaults defaults;
  Timestamp start = systemNow();
  UpdateState lastState;
};

TEST_F(AutomaticUpdateCheckTest, RunsOncePerTwelveHoursAndAnnouncesEachVersionOnce) {
  // First launch: the check runs, records its attempt and announces the new version.
  EXPECT_EQ(launch(start), (std::vector<std::string>{"Glimmet v99.0.0 available"}));
  EXPECT_TRUE(std::holds_alternative<UpdateAvailable>(lastState));
  ASSERT_TRUE(defaults.stringValue(kLastAutoUpdateCheckAtKey));
  EXPECT_EQ(recordedAttempt(), std::chrono::floor<std::chrono::seconds>(start));
  EXPECT_EQ(defaults.stringValue(kLastNotifiedUpdateVersionKey), "99.0.0");

  // Eleven hours later nothing is asked: the wait runs to the end of the window.
  server.put("version.json", "not a feed");
  EXPECT_TRUE(launch(hoursAfterStart(11), 0.5).empty());
  EXPECT_TRUE(std::holds_alternative<UpdateIdle>(lastState));

  // Thirteen hours later the same version is found again but not announced again.
  server.put("version.json", kManifest);
  EXPECT_TRUE(launch(hoursAfterStart(13)).empty());
  EXPECT_TRUE(std::holds_alternative<UpdateAvailable>(lastState));

  // A feed that fails still counts as an attempt and shows nothing.
  server.put("version.json", "<html>down</html>");
  EXPECT_TRUE(launch(hoursAfterStart(26)).empty());
  EXPECT_TRUE(std::holds_alternative<UpdateIdle>(lastState));
  EXPECT_EQ(recordedAttempt(), std::chrono::floor<std::chrono::seconds>(hoursAfterStart(26)));

  // A newer version is news again.
  std::string newer = kManifest;
  newer.replace(newer.find("99.0.0"), 6, "99.1.0");
  server.put("version.json", newer);
  EXPECT_EQ(launch(hoursAfterStart(39)), (std::vector<std::string>{"Glimmet v99.1.0 available"}));
}

}  // namespace
}  // namespace glimmet
