#include <gtest/gtest.h>

#include "model/usage_brands.hpp"
#include "model/usage_reset_label.hpp"
#include "usage/usage_test_support.hpp"

namespace glimmet {
namespace {

using testing::at;

TEST(UsageBrandsTest, ToolsOfOneFamilyShareTheirBrandAndOthersStandAlone) {
  using IDs = std::vector<std::string>;
  for (const char* name : {"codex", "Codex", "codex-cli", "codex-app", "OpenAI Codex Desktop"}) {
    EXPECT_EQ(usageToolIDs(name), (IDs{"codex-cli", "codex-app"})) << name;
    EXPECT_EQ(usageBrandName(name), "Codex") << name;
  }
  for (const char* name : {"claude", "Claude Code", "claude-app"}) {
    EXPECT_EQ(usageToolIDs(name), (IDs{"claude-code", "claude-app"})) << name;
    EXPECT_EQ(usageBrandName(name), "Claude") << name;
  }
  EXPECT_EQ(usageToolIDs("cursor-agent-cli"), (IDs{"cursor-ide", "cursor-agent-cli"}));
  EXPECT_EQ(usageBrandName("Cursor IDE"), "Cursor");
  for (const char* name : {"trae", "trae-ide", "Trae SOLO", "trae-agent-cli"}) {
    EXPECT_EQ(usageToolIDs(name), (IDs{"trae-ide", "trae-agent-cli", "trae-solo"})) << name;
    EXPECT_EQ(usageBrandName(name), "Trae") << name;
  }
  EXPECT_EQ(usageToolIDs("OpenCode"), IDs{"opencode-cli"});
  EXPECT_EQ(usageBrandName("opencode-cli"), "OpenCode");

  // Claude Dev is Cline's old name, not a Claude tool.
  EXPECT_EQ(usageToolIDs("claude-dev"), IDs{"cline"});
  EXPECT_EQ(usageBrandName("Claude Dev"), "Cline");
  EXPECT_EQ(usageToolIDs("Gemini CLI"), IDs{"gemini-cli"});
  EXPECT_EQ(usageBrandName("gemini-cli"), "Gemini CLI");
  EXPECT_EQ(usageBrandName("my tool"), "my tool");
}

TEST(UsageResetLabelTest, TimeWithinADayDateLaterYearOnlyOutsideTheCurrentOne) {
  const Timestamp now = at("2026-05-11T10:00:00Z");
  const auto utc = [&](const char* reset) {
    return shortUsageResetLabel(reset, LabelTimeZone::utc(), now).value_or("<none>");
  };
  EXPECT_EQ(utc("2026-05-11T12:56:00Z"), "12:56 PM");
  EXPECT_EQ(utc("  2026-05-11T12:56:00Z\n"), "12:56 PM");
  EXPECT_EQ(utc("1778504160"), "12:56 PM");  // epoch seconds
  EXPECT_EQ(utc("2026-05-12T00:00:00Z"), "12:00 AM");
  EXPECT_EQ(utc("2026-05-11T10:05:00Z"), "10:05 AM");
  EXPECT_EQ(utc("2026-05-12T09:59:59Z"), "9:59 AM");  // 86,399 s away
  EXPECT_EQ(utc("2026-05-12T10:00:00Z"), "May 12");   // 86,400 s away
  EXPECT_EQ(utc("2026-05-18T08:00:00Z"), "May 18");
  EXPECT_EQ(utc("2026-12-31T23:59:00Z"), "Dec 31");
  EXPECT_EQ(utc("2027-01-03T10:00:00Z"), "Jan 3, 2027");
  EXPECT_EQ(utc("2026-05-10T11:00:00Z"), "11:00 AM");  // already passed, within a day

  // The words a metric puts before its reset are not part of the label.
  EXPECT_EQ(utc("resets 2026-05-11T12:56:00Z"), "12:56 PM");
  EXPECT_EQ(utc("Resets at 2026-05-18T08:00:00Z"), "May 18");
  for (const char* unreadable : {"", "soon", "5h limit", "resets", "in 2 hours"}) {
    EXPECT_FALSE(shortUsageResetLabel(unreadable, LabelTimeZone::utc(), now)) << unreadable;
  }
}

TEST(UsageResetLabelTest, TheZoneDecidesTheClockAndTheYear) {
  const Timestamp now = at("2026-05-11T10:00:00Z");
  const auto india = LabelTimeZone::fixedOffset(5 * 3600 + 1800);
  const auto pacific = LabelTimeZone::fixedOffset(-7 * 3600);
  EXPECT_EQ(shortUsageResetLabel("2026-05-11T12:56:00Z", india, now), "6:26 PM");
  EXPECT_EQ(shortUsageResetLabel("2026-05-11T12:56:00Z", pacific, now), "5:56 AM");
  EXPECT_EQ(shortUsageResetLabel("2026-05-11T12:56:00+05:30", pacific, now), "12:26 AM");
  // The date is the zone's date too.
  EXPECT_EQ(shortUsageResetLabel("2026-05-18T20:00:00Z", india, now), "May 19");

  // On New Year's Eve in UTC it is already next year in UTC+5: there the reset is this year's.
  const Timestamp newYear = at("2026-12-31T20:00:00Z");
  EXPECT_EQ(
      shortUsageResetLabel("2027-01-05T00:00:00Z", LabelTimeZone::fixedOffset(5 * 3600), newYear),
      "Jan 5");
  EXPECT_EQ(shortUsageResetLabel("2027-01-05T00:00:00Z", LabelTimeZone::utc(), newYear),
            "Jan 5, 2027");
}

}  // namespace
}  // namespace glimmet
