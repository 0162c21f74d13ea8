// The integer shortcuts for usage figures against the formatter they stand in for: the same
// characters for whole and fractional values, half-way tenths, negatives, negative zero, values
// at the edges of the shortcut and values that are no numbers at all.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <fmt/format.h>

#include "model/usage_number_text.hpp"
#include "model/usage_snapshot.hpp"

namespace glimmet {
namespace {

std::vector<double> awkwardValues() {
  std::vector<double> values = {0.0,
                                -0.0,
                                0.5,
                                1.5,
                                2.5,
                                -2.5,
                                999.0,
                                999.5,
                                1000.0,
                                1049.0,
                                1050.0,
                                1051.0,
                                1250.0,
                                12050.0,
                                12150.0,
                                99950.0,
                                999949.0,
                                999950.0,
                                1e6,
                                1050000.0,
                                1250000.0,
                                1249999.0,
                                1e12 - 1,
                                1e12,
                                1e12 + 50000,
                                1e15 - 1,
                                1e15,
                                1e15 + 2,
                                9007199254740993.0,
                                1e20,
                                -1e20,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::denorm_min()};
  std::mt19937_64 random(20260511);
  std::uniform_int_distribution<int64_t> whole(0, 5'000'000'000);
  std::uniform_real_distribution<double> fraction(-2e6, 2e6);
  for (int i = 0; i < 20000; ++i) {
    values.push_back(static_cast<double>(whole(random)));
    // Whole counts ending on 50 and 50000: the half-way tenths.
    values.push_back(static_cast<double>(whole(random) / 100 * 100 + 50));
    values.push_back(static_cast<double>(whole(random) / 100000 * 100000 + 50000));
    values.push_back(fraction(random));
  }
  return values;
}

TEST(UsageNumberText, MatchesTheFormatterForEveryKindOfValue) {
  for (const double value : awkwardValues()) {
    EXPECT_EQ(wholeNumberText(value), fmt::format("{:.0f}", value)) << value;
    EXPECT_EQ(wholeNumberText(std::round(value)), fmt::format("{:.0f}", std::round(value)))
        << value;
    EXPECT_EQ(tenthsText(value, 1'000), fmt::format("{:.1f}", value / 1'000)) << value;
    EXPECT_EQ(tenthsText(value, 1'000'000), fmt::format("{:.1f}", value / 1'000'000)) << value;
  }
}

TEST(UsageNumberText, CompactCountsReadAsBefore) {
  EXPECT_EQ(compactCount(0), "0");
  EXPECT_EQ(compactCount(999), "999");
  EXPECT_EQ(compactCount(1000), "1.0k");
  EXPECT_EQ(compactCount(1250), "1.2k");    // an exact half goes to the even tenth
  EXPECT_EQ(compactCount(12050), "12.1k");  // 12.05 is held a little above the half
  EXPECT_EQ(compactCount(999949), "999.9k");
  EXPECT_EQ(compactCount(999950), "1000.0k");
  EXPECT_EQ(compactCount(1'000'000), "1.0m");
  EXPECT_EQ(compactCount(1'049'999), "1.0m");
  EXPECT_EQ(compactCount(1'050'001), "1.1m");
  EXPECT_EQ(compactCount(-0.0), "-0");
}

}  // namespace
}  // namespace glimmet
