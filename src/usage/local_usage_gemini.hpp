#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/json_values.hpp"
#include "base/time.hpp"
#include "model/glimmet_event.hpp"
#include "model/usage_reset_label.hpp"

namespace glimmet {

// The counts Gemini CLI records for one model response. `input` already includes `cached`;
// `total` is the model's own sum and is kept as written.
struct GeminiTokenCounts {
  double input = 0, output = 0, cached = 0, thoughts = 0, tool = 0, total = 0;

  GeminiTokenCounts& operator+=(const GeminiTokenCounts& other);
  bool operator==(const GeminiTokenCounts&) const = default;
};

struct GeminiMessage {
  std::string id;
  std::optional<Timestamp> time;
  std::optional<GeminiTokenCounts> tokens;  // only the model's own messages carry them
  std::string model;
};

// A Gemini CLI chat transcript folded record by record, the way Gemini CLI itself replays it:
// a message written again replaces the earlier copy but keeps its place, `$rewindTo` drops that
// message and everything after it, `$set` patches the session metadata (a `messages` list in it
// replaces the conversation). Other records are ignored.
class GeminiTranscript {
 public:
  void apply(const Json& record);

  const std::vector<GeminiMessage>& messages() const { return messages_; }
  const std::optional<std::string>& lastUpdated() const { return lastUpdated_; }

 private:
  void putMessage(const Json& record);
  void rewindTo(const std::string& id);

  std::vector<GeminiMessage> messages_;
  std::unordered_map<std::string, size_t> positions_;
  std::optional<std::string> lastUpdated_;
};

// The session's token counts: the sum over its messages, each counted once. None when no
// message carries tokens.
std::optional<GeminiTokenCounts> geminiSessionTokens(const GeminiTranscript& transcript);

// The counts of the messages written on the calendar day of `now` in `zone`; none when there
// are none.
std::optional<GeminiTokenCounts> geminiTokensOnDay(const GeminiTranscript& transcript,
                                                   Timestamp now, const LabelTimeZone& zone);

// When the session's figures were last true: the later of its `lastUpdated` and its newest
// message, never later than the file's modification time (which it is without either).
std::string geminiObservedAt(const GeminiTranscript& transcript, Timestamp fileModified);

// The usage-only event of one session; none when no message carries tokens. Token rows only:
// Gemini CLI writes no quota figures.
std::optional<GlimmetEvent> geminiTranscriptUsageEvent(const GeminiTranscript& transcript,
                                                       const std::string& filePath,
                                                       Timestamp fileModified);

// One event for today's counts over the recent sessions, listed first so that it is the one
// shown when it is as new as the newest session; then one event per recent session (newest 64
// "session-" transcripts under the root). Each transcript is read once and then only from where
// the last complete line ended; an unchanged file is not read at all, and a half-written last
// line waits until it is complete.
std::vector<GlimmetEvent> loadGeminiTranscriptUsageEvents(
    const std::optional<std::string>& root, Timestamp now,
    const LabelTimeZone& zone = LabelTimeZone::local());

// Forgets what was read, so that the next scan reads every transcript whole.
void clearGeminiTranscriptCache();

}  // namespace glimmet
