// Version order and the automatic check's schedule.

#include <gtest/gtest.h>

#include "updates/update_schedule.hpp"
#include "updates/update_version.hpp"

namespace glimmet {
namespace {

TEST(UpdateVersionTest, ComparesNumericPartsAndIgnoresSuffixes) {
  EXPECT_EQ(compareVersionStrings("1.10", "1.9"), VersionOrder::descending)
      << "numbers, not text: 10 > 9";
  EXPECT_EQ(compareVersionStrings("0.1.9", "0.1.10"), VersionOrder::ascending);
  EXPECT_EQ(compareVersionStrings("1.0", "1.0.0"), VersionOrder::same);
  EXPECT_EQ(compareVersionStrings("1.2.0.0", "1.2"), VersionOrder::same);
  EXPECT_EQ(compareVersionStrings("1.2.0.1", "1.2"), VersionOrder::descending)
      << "a longer list decides on its extra non-zero part";
  EXPECT_EQ(compareVersionStrings("1.2.3-beta+7", "1.2.3"), VersionOrder::same)
      << "pre-release text and build metadata are cut off";
  EXPECT_EQ(compareVersionStrings("1.2.3-rc.9", "1.2.4"), VersionOrder::ascending)
      << "\".9\" of the pre-release suffix is not a fourth part";
  EXPECT_EQ(compareVersionStrings("1.2+build.99", "1.2.1"), VersionOrder::ascending);
  EXPECT_EQ(compareVersionStrings("1.x.5", "1.0.5"), VersionOrder::same)
      << "a piece that is not a number counts 0";

  EXPECT_EQ(numericVersionParts("1..2."), (std::vector<int64_t>{1, 2})) << "empty pieces drop";
  EXPECT_EQ(numericVersionParts("2.1.0-alpha-3+exp.sha.5114f85"), (std::vector<int64_t>{2, 1, 0}));
  EXPECT_EQ(numericVersionParts("v1.2"), (std::vector<int64_t>{0, 2}));
  EXPECT_TRUE(numericVersionParts("").empty());
  EXPECT_EQ(compareVersionStrings("", "0.0"), VersionOrder::same);
}

TEST(UpdateScheduleTest, AutomaticCheckRunsOncePerTwelveHoursCountingFromTheAttempt) {
  const Timestamp last{std::chrono::seconds{1'800'000'000}};
  const auto after = [&](double seconds) {
    return last + std::chrono::duration_cast<std::chrono::microseconds>(Seconds(seconds));
  };

  EXPECT_TRUE(shouldRunAutomaticUpdateCheck(last, std::nullopt)) << "never tried: run";
  EXPECT_FALSE(shouldRunAutomaticUpdateCheck(after(43199), last));
  EXPECT_FALSE(shouldRunAutomaticUpdateCheck(after(43199.999), last));
  EXPECT_TRUE(shouldRunAutomaticUpdateCheck(after(43200), last)) << "exactly 12 hours is enough";
  EXPECT_TRUE(shouldRunAutomaticUpdateCheck(after(50000), last));

  EXPECT_DOUBLE_EQ(nextAutomaticUpdateDelay(last, std::nullopt).count(), 30);
  EXPECT_DOUBLE_EQ(nextAutomaticUpdateDelay(after(3600), last).count(), 43200 - 3600)
      << "the rest of the window";
  EXPECT_DOUBLE_EQ(nextAutomaticUpdateDelay(after(43199.5), last).count(), 1)
      << "never sooner than 1 s";
  EXPECT_DOUBLE_EQ(nextAutomaticUpdateDelay(after(43200), last).count(), 30)
      << "a window that has passed waits the initial delay";
  EXPECT_DOUBLE_EQ(nextAutomaticUpdateDelay(after(100), last, Seconds(5), Seconds(60)).count(), 5);

  // The reminder announces each version once.
  EXPECT_TRUE(shouldNotifyAutomaticUpdate("0.2.0", std::nullopt));
  EXPECT_FALSE(shouldNotifyAutomaticUpdate("0.2.0", std::string("0.2.0")));
  EXPECT_FALSE(shouldNotifyAutomaticUpdate(" 0.2.0\n", std::string("0.2.0 ")));
  EXPECT_TRUE(shouldNotifyAutomaticUpdate("0.2.1", std::string("0.2.0")));
  EXPECT_FALSE(shouldNotifyAutomaticUpdate("  ", std::nullopt)) << "no version, no reminder";

  const auto text = formatUpdateTimestamp(last);
  EXPECT_EQ(text.size(), 16u) << text;
  EXPECT_EQ(text[4], '-');
  EXPECT_EQ(text[10], ' ');
  EXPECT_EQ(text[13], ':');
}

}  // namespace
}  // namespace glimmet
