// The SIMD event reader against the tree parser it replaces: every line of the project's event
// and agent fixtures and of the hostile corpus must give the identical event, field for field.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/json_line_reader.hpp"
#include "base/text.hpp"
#include "model/glimmet_event.hpp"
#include "model/glimmet_event_lines.hpp"
#include "store/usage_candidate_filter.hpp"

namespace glimmet {
namespace {

const EventParseContext kContext{"/home/dev"};

std::string readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The object with an event id put first, so that fixtures written by agents (which carry none)
// are read all the way through instead of being refused at their first key.
std::string withEventID(std::string_view text) {
  const size_t brace = text.find('{');
  if (brace == std::string_view::npos) return std::string(text);
  return std::string(text.substr(0, brace + 1)) + R"("event_id":"fixture",)" +
         std::string(text.substr(brace + 1));
}

// The quick look the full read takes at older lines never loses a usage-only event: a line it
// rules out is none, and for one that is, it names the event's tool. (It may name a tool for a
// line that turns out broken: parsed or skipped, that line gives no usage-only event anyway.)
void expectProbeAgrees(std::string_view line, const std::optional<GlimmetEvent>& tree,
                       const std::string& where) {
  static UsageLineProber prober;
  const UsageLineProbe probe = prober.probe(line, 0);
  const bool usageOnly = tree && isUsageOnly(*tree);
  switch (probe.verdict) {
    case UsageLineProbe::Verdict::parse:
      break;
    case UsageLineProbe::Verdict::never:
      EXPECT_FALSE(usageOnly) << where << ": " << line.substr(0, 300);
      break;
    case UsageLineProbe::Verdict::tool:
      if (usageOnly) {
        EXPECT_EQ(probe.toolID, tree->usage->toolID) << where << ": " << line.substr(0, 300);
      }
      break;
  }
}

void expectSameEvent(std::string_view line, const std::string& where) {
  const auto fast = parseGlimmetEventLine(line, kContext);
  const auto tree = parseGlimmetEventLineAsTree(line, kContext);
  ASSERT_EQ(fast.has_value(), tree.has_value()) << where << ": " << line.substr(0, 300);
  if (fast) {
    EXPECT_TRUE(*fast == *tree) << where << ": " << line.substr(0, 300);
  }
  expectProbeAgrees(line, tree, where);
}

// Each line of a JSON Lines file, and each whole JSON file, with and without an event id.
size_t compareFile(const std::filesystem::path& path) {
  const std::string bytes = readBytes(path);
  std::vector<std::string> documents;
  if (path.extension() == ".jsonl") {
    for (const auto& line : split(bytes, '\n')) documents.emplace_back(line);
  } else {
    documents.push_back(bytes);
  }
  size_t events = 0;
  for (const auto& document : documents) {
    expectSameEvent(document, path.string());
    const std::string identified = withEventID(document);
    expectSameEvent(identified, path.string() + " (with an id)");
    events += parseGlimmetEventLineAsTree(identified, kContext) ? 1 : 0;
  }
  return events;
}

std::vector<std::filesystem::path> fixtureFiles(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const auto extension = entry.path().extension();
    if (entry.is_regular_file() && (extension == ".json" || extension == ".jsonl")) {
      files.push_back(entry.path());
    }
  }
  return files;
}

TEST(EventLineReader, FixturesAndHostileLinesGiveTheTreeParsersEvents) {
  const std::filesystem::path fixtures = GLIMMET_FIXTURES_DIR;
  size_t files = 0;
  size_t events = 0;
  for (const auto* folder : {"events", "agents"}) {
    for (const auto& path : fixtureFiles(fixtures / folder)) {
      ++files;
      events += compareFile(path);
    }
  }
  // The hostile corpus and the real payloads are all there and mostly become events.
  EXPECT_GE(files, 30u);
  EXPECT_GE(events, 600u);
}

TEST(EventLineReader, RepeatedKeysKeepTheirLastValue) {
  const auto event = parseGlimmetEventLine(
      R"({"event_id":"a","event_id":"b","source":"codex","source":"claude-code"})", kContext);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->id, "b");
  EXPECT_EQ(event->source, "claude-code");
  // The last value decides even when it is the wrong type.
  EXPECT_FALSE(parseGlimmetEventLine(R"({"event_id":"a","event_id":42})", kContext));
}

TEST(EventLineReader, ReadsALineInPlaceOnlyWithinItsCapacity) {
  // The line is followed by bytes that are not JSON; with the padding the reader reads the
  // line where it lies and must stop at its end.
  std::string buffer = R"({"event_id":"in-place","source":"codex"})";
  const size_t length = buffer.size();
  buffer += std::string(JsonLineReader::kPadding, 'x');
  const auto event =
      parseGlimmetEventLine(std::string_view(buffer.data(), length), kContext, buffer.size());
  ASSERT_TRUE(event);
  EXPECT_EQ(event->id, "in-place");
}

// Hostile sizes: they must finish, in bounded memory and without exhausting the stack.
TEST(EventLineReader, HugeAndDeepLinesAreBounded) {
  std::string huge = R"({"event_id":"huge","source":"codex","message":")";
  huge.append(size_t{100} << 20, 'a');
  huge += R"(","title":"t"})";
  const auto start = std::chrono::steady_clock::now();
  const auto event = parseGlimmetEventLine(huge, kContext);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->message.size(), size_t{100} << 20);
  EXPECT_EQ(event->title, "t");

  // Deep nesting goes to the tree parser, which keeps no stack frames per level.
  std::string deep = R"({"event_id":"deep","payload":)";
  deep.append(size_t{1} << 17, '[');
  deep.append(size_t{1} << 17, ']');
  deep += "}";
  expectSameEvent(deep, "deep line");
  // Broken UTF-8 at the very end of a huge line is found without reading it twice per byte.
  huge.back() = '\xff';
  EXPECT_FALSE(parseGlimmetEventLine(huge, kContext));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 30.0);
}

}  // namespace
}  // namespace glimmet
