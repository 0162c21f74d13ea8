#include "base/line_splitter.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace glimmet {
namespace {

struct Outcome {
  std::vector<std::string> lines;
  std::optional<size_t> oversized;
};

Outcome feed(const std::vector<std::string>& reads, size_t limit) {
  LineSplitter splitter(limit);
  Outcome outcome;
  for (const auto& bytes : reads) {
    splitter.append(bytes);
    while (auto line = splitter.nextLine()) outcome.lines.push_back(*line);
  }
  outcome.oversized = splitter.oversizedLength();
  return outcome;
}

TEST(LineSplitterTest, LinesDoNotDependOnWhereReadsEnd) {
  const std::vector<std::string> expected = {"{\"a\":1}", "", "x"};
  // One read, a cut inside a line, a cut right after a line feed, one byte per read.
  EXPECT_EQ(feed({"{\"a\":1}\n\nx\nrest"}, 16).lines, expected);
  EXPECT_EQ(feed({"{\"a\"", ":1}\n\nx", "\nrest"}, 16).lines, expected);
  EXPECT_EQ(feed({"{\"a\":1}\n", "\n", "x\n", "rest"}, 16).lines, expected);
  std::vector<std::string> bytes;
  for (const char c : std::string("{\"a\":1}\n\nx\nrest")) bytes.emplace_back(1, c);
  EXPECT_EQ(feed(bytes, 16).lines, expected);
}

TEST(LineSplitterTest, ALineOverTheLimitEndsTheStreamAfterTheLinesBeforeIt) {
  // Exactly at the limit is accepted, complete or still arriving.
  EXPECT_EQ(feed({"abcd\nabcd"}, 4).lines, std::vector<std::string>{"abcd"});
  EXPECT_FALSE(feed({"abcd\nabcd"}, 4).oversized);

  // One byte over: the earlier line still comes out, nothing after the long one does.
  const Outcome complete = feed({"ab\nabcde\ncd\n"}, 4);
  EXPECT_EQ(complete.lines, std::vector<std::string>{"ab"});
  EXPECT_EQ(complete.oversized, 5u);
  // A line still arriving is refused as soon as it is too long, before its line feed.
  const Outcome arriving = feed({"ab\nabc", "de", "\ncd\n"}, 4);
  EXPECT_EQ(arriving.lines, std::vector<std::string>{"ab"});
  EXPECT_EQ(arriving.oversized, 5u);
}

}  // namespace
}  // namespace glimmet
