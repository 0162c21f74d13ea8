#include "integrations/line_diff.hpp"

#include <gtest/gtest.h>

#include "base/text.hpp"

namespace glimmet {
namespace {

std::string numbered(std::string_view prefix, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::string(prefix) + std::to_string(i) + "\n";
  return text;
}

TEST(LineDiffTest, IdenticalTextsSaySoInOneSentence) {
  EXPECT_EQ(unifiedDiff("/h/settings.json", "a\nb\n", "a\nb\n"),
            "/h/settings.json\nNo config line changes; bridge scripts will be refreshed.");
}

TEST(LineDiffTest, ComparesLinesByPosition) {
  EXPECT_EQ(unifiedDiff("f", "keep\nold\nsame", "keep\nnew\nsame\nadded"),
            "--- f\n+++ f\n- old\n+ new\n+ added");
  // A final line feed is an empty last line, compared like any other.
  EXPECT_EQ(unifiedDiff("f", "a\n", "a\nb\n"), "--- f\n+++ f\n- \n+ b\n+ ");
  EXPECT_EQ(unifiedDiff("f", "a\nb\nc", "a"), "--- f\n+++ f\n- b\n- c");
  // Empty lines are lines too.
  EXPECT_EQ(unifiedDiff("f", "a\n\nb", "a\nx\nb"), "--- f\n+++ f\n- \n+ x");
}

TEST(LineDiffTest, LongDiffStopsAfterEightyOneLines) {
  const auto lines = split(unifiedDiff("f", numbered("old ", 200), numbered("new ", 200)), '\n');
  ASSERT_EQ(lines.size(), kDiffLineLimit + 1);
  EXPECT_EQ(lines[kDiffLineLimit - 2], "+ new 38");
  EXPECT_EQ(lines[kDiffLineLimit - 1], "- old 39");
  EXPECT_EQ(lines.back(), "… diff truncated");
}

TEST(LineDiffTest, DiffOfExactlyTheLimitIsNotMarked) {
  // Old is one empty line: "- " plus one "+ " line per new line after the two headers.
  const auto lines = [](int count) {
    std::string text = numbered("n", count);
    text.pop_back();  // no final line feed, so no trailing empty line
    return text;
  };
  const auto full = split(unifiedDiff("f", "", lines(78)), '\n');
  ASSERT_EQ(full.size(), kDiffLineLimit);
  EXPECT_EQ(full.back(), "+ n77");
  const auto cut = split(unifiedDiff("f", "", lines(79)), '\n');
  ASSERT_EQ(cut.size(), kDiffLineLimit + 1);
  EXPECT_EQ(cut[kDiffLineLimit - 1], "+ n77");
  EXPECT_EQ(cut.back(), "… diff truncated");
}

}  // namespace
}  // namespace glimmet
