#include "usage/local_usage_claude_block.hpp"

#include <algorithm>
#include <cmath>
#include <set>

#include <fmt/format.h>

#include "platform/file_system.hpp"
#include "usage/local_usage_values.hpp"
#include "usage/tail_reader.hpp"
#include "usage/usage_file_caches.hpp"

namespace glimmet {

namespace {

constexpr size_t kBlockCandidateLimit = 256;
constexpr size_t kEntryCacheFiles = 512;
constexpr int64_t kHourSeconds = 3600;

using EntryList = std::vector<ClaudeTranscriptBlockEntry>;

// The entries each transcript held when last read. Entries already outside the look-back when
// read stay outside it, since files only grow, so only the recent ones are kept.
StampedFileCache<EntryList>& entryCache() {
  static StampedFileCache<EntryList> cache(kEntryCacheFiles);
  return cache;
}

int64_t epochSeconds(Timestamp time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

Timestamp hourStart(Timestamp time) {
  const int64_t seconds = epochSeconds(time);
  const int64_t floored = seconds - ((seconds % kHourSeconds) + kHourSeconds) % kHourSeconds;
  return Timestamp{std::chrono::seconds{floored}};
}

Timestamp plusSeconds(Timestamp time, double seconds) {
  return time + std::chrono::microseconds{static_cast<int64_t>(seconds * 1e6)};
}

EntryList readEntries(const std::string& path, Timestamp since) {
  EntryList entries;
  const auto text = readFile(path);
  if (!text) return entries;
  size_t start = 0;
  while (start < text->size()) {
    size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    const std::string_view line(text->data() + start, end - start);
    start = end + 1;
    // Most lines are prompts and tool output; only assistant messages carry usage.
    if (line.find("\"usage\"") == std::string_view::npos) continue;
    const Json record = parseJsonText(line);
    if (!record.is_object()) continue;
    auto entry = claudeTranscriptBlockEntry(record, path);
    if (entry && entry->timestamp >= since) entries.push_back(std::move(*entry));
  }
  return entries;
}

}  // namespace

double ClaudeTranscriptUsageBlock::totalTokens() const {
  double total = 0;
  for (const auto& entry : entries) total += entry.totalTokens();
  return total;
}

std::optional<ClaudeTranscriptBlockEntry> claudeTranscriptBlockEntry(const Json& record,
                                                                     const std::string& filePath) {
  const Json* message = localUsageDictionary(record, "message");
  const Json* usage = message ? localUsageDictionary(*message, "usage") : nullptr;
  if (!usage) return std::nullopt;
  const auto time = parseLocalUsageTimestamp(firstString(record, {"timestamp"}).value_or(""));
  if (!time) return std::nullopt;
  ClaudeTranscriptBlockEntry entry;
  entry.timestamp = *time;
  entry.filePath = filePath;
  entry.inputTokens = firstLocalUsageNumber(*usage, {"input_tokens"}).value_or(0);
  entry.outputTokens = firstLocalUsageNumber(*usage, {"output_tokens"}).value_or(0);
  entry.cacheCreationInputTokens =
      firstLocalUsageNumber(*usage, {"cache_creation_input_tokens"}).value_or(0);
  entry.cacheReadInputTokens =
      firstLocalUsageNumber(*usage, {"cache_read_input_tokens"}).value_or(0);
  if (entry.totalTokens() <= 0) return std::nullopt;
  const auto messageID = firstString(*message, {"id"});
  const auto requestID = firstString(record, {"requestId", "request_id"});
  if (messageID && requestID) entry.dedupeID = *messageID + ":" + *requestID;
  return entry;
}

std::vector<ClaudeTranscriptUsageBlock> claudeTranscriptUsageBlocks(
    std::vector<ClaudeTranscriptBlockEntry> entries, double duration) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
  std::vector<ClaudeTranscriptUsageBlock> blocks;
  std::set<std::string> seen;
  for (auto& entry : entries) {
    // A resumed session copies earlier messages into its new transcript.
    if (entry.dedupeID && !seen.insert(*entry.dedupeID).second) continue;
    const bool startsNew = blocks.empty() || entry.timestamp >= blocks.back().endTime ||
                           secondsBetween(blocks.back().actualEndTime, entry.timestamp) >= duration;
    if (startsNew) {
      ClaudeTranscriptUsageBlock block;
      block.startTime = hourStart(entry.timestamp);
      block.endTime = plusSeconds(block.startTime, duration);
      blocks.push_back(std::move(block));
    }
    blocks.back().actualEndTime = entry.timestamp;
    blocks.back().entries.push_back(std::move(entry));
  }
  return blocks;
}

std::optional<ClaudeTranscriptUsageBlock> currentClaudeBlock(
    const std::vector<ClaudeTranscriptUsageBlock>& blocks, Timestamp now, double duration) {
  if (blocks.empty()) return std::nullopt;
  const auto& last = blocks.back();
  if (now < last.startTime || now >= last.endTime) return std::nullopt;
  if (secondsBetween(last.actualEndTime, now) >= duration) return std::nullopt;
  return last;
}

double projectedClaudeBlockTotalTokens(const ClaudeTranscriptUsageBlock& block, Timestamp now,
                                       double duration) {
  const double total = block.totalTokens();
  // The pace over the part of the block that saw work, at least a minute of it, so that a
  // single early message does not project to an absurd figure.
  const double active = std::max(60.0, secondsBetween(block.startTime, block.actualEndTime));
  const double left =
      std::max(0.0, secondsBetween(std::max(now, block.actualEndTime), block.endTime));
  (void)duration;
  return total + total / active * left;
}

std::optional<GlimmetEvent> loadClaudeTranscriptBlockUsageEvent(
    const std::optional<std::string>& root, Timestamp now) {
  if (!root) return std::nullopt;
  UsageFileQuery query;
  query.root = *root;
  query.limit = kBlockCandidateLimit;
  query.cacheKey = "claude-transcript-blocks";
  query.extensions = {".jsonl"};
  const auto files = recentUsageFiles(query, now);

  // Blocks start and end on whole hours, so the summary is reconsidered every hour even when
  // no file changed: a block that ended must not keep showing.
  std::string fingerprint = fmt::format("hour {}\n", epochSeconds(hourStart(now)));
  std::vector<std::pair<std::string, FileStamp>> stamped;
  for (const auto& path : files) {
    const auto stamp = fileStamp(path);
    if (!stamp) continue;
    fingerprint +=
        fmt::format("{}|{}|{}\n", path, stamp->size, stamp->modified.time_since_epoch().count());
    stamped.emplace_back(path, *stamp);
  }
  if (auto cached = cachedBlockEvent(*root, fingerprint); cached.hit) return cached.event;

  const Timestamp since = plusSeconds(now, -kClaudeBlockLookbackSeconds);
  EntryList entries;
  for (const auto& [path, stamp] : stamped) {
    // No record in a file can be newer than the file itself.
    if (stamp.modified < since) continue;
    auto fileEntries = entryCache().find(path, stamp);
    if (!fileEntries) {
      fileEntries = readEntries(path, since);
      entryCache().store(path, stamp, *fileEntries);
    }
    for (const auto& entry : *fileEntries) {
      if (entry.timestamp >= since && entry.timestamp <= now) entries.push_back(entry);
    }
  }

  std::optional<GlimmetEvent> event;
  const auto blocks = claudeTranscriptUsageBlocks(std::move(entries));
  if (const auto block = currentClaudeBlock(blocks, now)) {
    const double total = block->totalTokens();
    const double projected = std::max(total, projectedClaudeBlockTotalTokens(*block, now));
    const double used = projected > 0 ? total / projected * 100.0 : 0.0;
    Json usage = Json::object();
    usage["data_source"] = "transcript";
    usage["tool_id"] = "claude-code";
    usage["limit_5h_label"] = remainingShareLabel(used);
    usage["limit_5h_remaining_percent"] = 100.0 - used;
    usage["limit_5h_reset"] = formatIso8601(block->endTime);
    usage["total_tokens"] = total;
    usage["projected_total_tokens"] = projected;
    const std::string observedAt = formatIso8601(block->actualEndTime);
    usage["observed_at"] = observedAt;
    UsageOnlyEventFields fields;
    fields.idPrefix = "local-claude-transcript-block";
    fields.source = "claude_code";
    fields.title = "Claude Code usage block updated";
    // The id names the block, not the reading, so that the summary keeps its id all block long.
    fields.timestamp = observedAt;
    fields.filePath = block->entries.back().filePath;
    fields.usage = std::move(usage);
    event = usageOnlyEvent(fields);
    if (event)
      event->id = stableLocalUsageID(fields.idPrefix, *root, formatIso8601(block->startTime));
  }
  storeBlockEvent(*root, fingerprint, event);
  return event;
}

void clearClaudeBlockEntryCache() {
  entryCache().clear();
}

}  // namespace glimmet
