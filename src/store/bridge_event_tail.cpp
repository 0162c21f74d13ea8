#include "store/bridge_event_tail.hpp"

#include <algorithm>
#include <map>
#include <set>

#include "base/text.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return lines;
}

bool isUsageOnly(const GlimmetEvent& event) {
  return event.usage.has_value() && event.notifyPolicy == NotifyPolicy::usageOnly;
}

}  // namespace

std::vector<GlimmetEvent> bridgeUsageHistoryEvents(const std::vector<GlimmetEvent>& candidates) {
  std::map<std::string, size_t> keptPerTool;
  std::vector<GlimmetEvent> kept;
  for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
    if (!isUsageOnly(*it)) continue;
    size_t& count = keptPerTool[it->usage->toolID];
    if (count >= BridgeEventTail::kUsageHistoryPerTool) continue;
    ++count;
    kept.push_back(*it);
  }
  std::reverse(kept.begin(), kept.end());
  return kept;
}

BridgeEventTail::BridgeEventTail(std::string eventFile, EventParseContext context)
    : eventFile_(std::move(eventFile)), context_(std::move(context)) {}

void BridgeEventTail::reset() {
  lastSize_.reset();
  lastModified_.reset();
  lastInode_.reset();
  lastMetadataCheckAt_ = kDistantPast;
  fragment_.clear();
  activeTail_.clear();
  usageHistory_.clear();
  bridgeEvents_.clear();
}

bool BridgeEventTail::reload(Timestamp now, bool force) {
  if (!force && secondsBetween(lastMetadataCheckAt_, now) < kMetadataCheckThrottleSeconds) {
    return false;
  }
  lastMetadataCheckAt_ = now;

  const auto metadata = fileMetadata(eventFile_);
  if (!metadata || metadata->isDirectory) {
    const bool hadEvents = !bridgeEvents_.empty();
    const Timestamp checkedAt = lastMetadataCheckAt_;
    reset();
    lastMetadataCheckAt_ = checkedAt;
    return hadEvents;
  }
  if (lastSize_ == metadata->size && lastModified_ == metadata->modified &&
      lastInode_ == metadata->inode) {
    return false;
  }
  const auto previousSize = lastSize_;
  const bool sameFile = lastInode_ == metadata->inode;
  lastSize_ = metadata->size;
  lastModified_ = metadata->modified;
  lastInode_ = metadata->inode;

  const bool grew = previousSize && metadata->size > *previousSize;
  if (grew && sameFile && (!activeTail_.empty() || !usageHistory_.empty() || !fragment_.empty())) {
    switch (readAppended(*previousSize, metadata->size)) {
      case AppendOutcome::unchanged:
        return false;
      case AppendOutcome::changed:
        return true;
      case AppendOutcome::needsFullRead:
        break;
    }
  }
  return readFull(metadata->size);
}

BridgeEventTail::AppendOutcome BridgeEventTail::readAppended(uint64_t previousSize, uint64_t size) {
  // More new bytes than the read window: the full path reads only the window's worth.
  if (size - previousSize > kTailReadWindow) return AppendOutcome::needsFullRead;
  auto appended = readFileFrom(eventFile_, previousSize);
  if (!appended) return AppendOutcome::needsFullRead;
  std::string text = fragment_ + *appended;
  const size_t lastNewline = text.rfind('\n');
  if (lastNewline == std::string::npos) {
    fragment_ = std::move(text);
    return AppendOutcome::unchanged;
  }
  fragment_ = text.substr(lastNewline + 1);
  text.resize(lastNewline + 1);
  std::vector<GlimmetEvent> parsed = parseLines(text);
  if (parsed.empty()) return AppendOutcome::unchanged;

  std::vector<GlimmetEvent> candidates = usageHistory_;
  candidates.insert(candidates.end(), parsed.begin(), parsed.end());
  for (auto& event : parsed) activeTail_.push_back(std::move(event));
  if (activeTail_.size() > kActiveTailLength) {
    activeTail_.erase(
        activeTail_.begin(),
        activeTail_.begin() + static_cast<long>(activeTail_.size() - kActiveTailLength));
  }
  rebuildUsageHistory(candidates);
  rebuildBridgeEvents();
  return AppendOutcome::changed;
}

bool BridgeEventTail::readFull(uint64_t size) {
  fragment_.clear();
  const uint64_t start = size > kTailReadWindow ? size - kTailReadWindow : 0;
  auto text = readFileFrom(eventFile_, start, kTailReadWindow);
  if (!text) return false;
  std::string_view view = *text;
  if (start > 0) {
    // The window began inside a line: that partial line is not an event.
    const size_t firstNewline = view.find('\n');
    view =
        firstNewline == std::string_view::npos ? std::string_view{} : view.substr(firstNewline + 1);
  }
  // A line still being written is held until its newline arrives, like on the append path.
  const size_t lastNewline = view.rfind('\n');
  fragment_ =
      std::string(lastNewline == std::string_view::npos ? view : view.substr(lastNewline + 1));
  view =
      lastNewline == std::string_view::npos ? std::string_view{} : view.substr(0, lastNewline + 1);

  // Parse from the newest line backwards: only the last 500 events are kept whole. Older lines
  // matter only when they carry usage-only snapshots, and a line without the text "usage_only"
  // cannot be one, so most of a large file is skipped without being parsed.
  std::vector<std::string_view> lines = splitLines(view);
  std::vector<GlimmetEvent> newestFirst;
  std::vector<GlimmetEvent> candidatesNewestFirst;
  std::map<std::string, size_t> candidatesPerTool;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    const bool inTail = newestFirst.size() < kActiveTailLength;
    if (!inTail && it->find("usage_only") == std::string_view::npos) continue;
    auto event = parseLine(*it);
    if (!event) continue;
    if (isUsageOnly(*event) && candidatesPerTool[event->usage->toolID]++ < kUsageHistoryPerTool) {
      candidatesNewestFirst.push_back(*event);
    }
    if (inTail) newestFirst.push_back(std::move(*event));
  }
  std::vector<GlimmetEvent> parsed(std::make_move_iterator(newestFirst.rbegin()),
                                   std::make_move_iterator(newestFirst.rend()));
  std::vector<GlimmetEvent> candidates(std::make_move_iterator(candidatesNewestFirst.rbegin()),
                                       std::make_move_iterator(candidatesNewestFirst.rend()));
  activeTail_ = std::move(parsed);
  rebuildUsageHistory(candidates);
  rebuildBridgeEvents();
  return true;
}

std::optional<GlimmetEvent> BridgeEventTail::parseLine(std::string_view line) const {
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) return std::nullopt;
  // A line with broken UTF-8 is skipped on its own; its neighbours are still read.
  if (!isValidUtf8(line)) return std::nullopt;
  return parseGlimmetEventLine(line, context_);
}

std::vector<GlimmetEvent> BridgeEventTail::parseLines(std::string_view text) const {
  std::vector<GlimmetEvent> events;
  for (const auto line : splitLines(text)) {
    if (auto event = parseLine(line)) events.push_back(std::move(*event));
  }
  return events;
}

void BridgeEventTail::rebuildUsageHistory(const std::vector<GlimmetEvent>& candidates) {
  usageHistory_ = bridgeUsageHistoryEvents(candidates);
}

void BridgeEventTail::rebuildBridgeEvents() {
  bridgeEvents_.clear();
  bridgeEvents_.reserve(usageHistory_.size() + activeTail_.size());
  std::set<std::string_view> seen;
  for (const auto* list : {&usageHistory_, &activeTail_}) {
    for (const auto& event : *list) {
      if (seen.insert(event.id).second) bridgeEvents_.push_back(event);
    }
  }
}

}  // namespace glimmet
