#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/json_values.hpp"
#include "base/time.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// Claude Code bills in 5-hour windows. Most users never get the window's real figures (the
// status line only carries `rate_limits` for some sign-ins), so the window is estimated from
// the assistant messages of the recent transcripts.

inline constexpr double kClaudeBlockSeconds = 18'000;
inline constexpr double kClaudeBlockLookbackSeconds = 19'800;

// One assistant message's usage.
struct ClaudeTranscriptBlockEntry {
  Timestamp timestamp;
  std::string filePath;
  std::optional<std::string> dedupeID;  // message id and request id
  double inputTokens = 0;
  double outputTokens = 0;
  double cacheCreationInputTokens = 0;
  double cacheReadInputTokens = 0;

  double totalTokens() const {
    return inputTokens + outputTokens + cacheCreationInputTokens + cacheReadInputTokens;
  }
};

struct ClaudeTranscriptUsageBlock {
  Timestamp startTime;
  Timestamp endTime;        // start + 5 hours
  Timestamp actualEndTime;  // the last entry
  std::vector<ClaudeTranscriptBlockEntry> entries;
  double totalTokens() const;
};

// None for records without a message usage or a usable time.
std::optional<ClaudeTranscriptBlockEntry> claudeTranscriptBlockEntry(const Json& record,
                                                                     const std::string& filePath);

// Entries sorted by time and grouped into 5-hour blocks starting on whole hours; a block ends
// after 5 hours or at a 5-hour gap. Entries with a dedupe id already seen count once.
std::vector<ClaudeTranscriptUsageBlock> claudeTranscriptUsageBlocks(
    std::vector<ClaudeTranscriptBlockEntry> entries, double duration = kClaudeBlockSeconds);

// The block still open at `now`, if any.
std::optional<ClaudeTranscriptUsageBlock> currentClaudeBlock(
    const std::vector<ClaudeTranscriptUsageBlock>& blocks, Timestamp now,
    double duration = kClaudeBlockSeconds);

// What the block will have used at its end if the pace of its active part goes on.
double projectedClaudeBlockTotalTokens(const ClaudeTranscriptUsageBlock& block, Timestamp now,
                                       double duration = kClaudeBlockSeconds);

// The summary of the open block over the newest 256 transcripts under the root, reused while
// those files and the hour are unchanged.
std::optional<GlimmetEvent> loadClaudeTranscriptBlockUsageEvent(
    const std::optional<std::string>& root, Timestamp now);

void clearClaudeBlockEntryCache();

}  // namespace glimmet
