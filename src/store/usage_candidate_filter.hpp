#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/json_line_reader.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// What a line's few members tell about it as a usage-history candidate, read without building
// its event.
struct UsageLineProbe {
  enum class Verdict : uint8_t {
    parse,  // the members did not decide: the line must be parsed
    never,  // no event id, no usage object or another notify policy: never a candidate
    tool,   // a usage-only snapshot of `toolID`: a candidate while that tool has room
  };
  Verdict verdict = Verdict::parse;
  std::string toolID;
};

// Probes lines with a reader of its own: one prober per thread.
class UsageLineProber {
 public:
  // Only these members decide; a line whose other members are broken may be judged here,
  // which is harmless: it would give no event anyway.
  UsageLineProbe probe(std::string_view line, size_t capacity);

 private:
  // Straight from a line without escapes; absent when that cannot settle it.
  std::optional<UsageLineProbe> probePlain(std::string_view line, size_t capacity);
  // Through the decoded members, for every other line.
  UsageLineProbe probeDecoded(std::string_view line, size_t capacity);

  JsonLineReader reader_;
};

// Counts the usage-only history candidates per tool while the window is read newest first.
class UsageCandidateFilter {
 public:
  explicit UsageCandidateFilter(size_t perTool) : perTool_(perTool) {}
  // Whether the probed line cannot add a candidate.
  bool skips(const UsageLineProbe& probe) const;
  // Counts the event when it is a candidate; false once its tool has its share.
  bool accepts(const GlimmetEvent& event);

 private:
  size_t perTool_;
  std::map<std::string, size_t, std::less<>> counts_;
};

bool isUsageOnly(const GlimmetEvent& event);

}  // namespace glimmet
