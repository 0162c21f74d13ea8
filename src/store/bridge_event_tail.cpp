#include "store/bridge_event_tail.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <latch>
#include <map>
#include <set>
#include <system_error>
#include <thread>

#include <fmt/format.h>

#include "base/json_line_reader.hpp"
#include "base/text.hpp"
#include "model/glimmet_event_lines.hpp"
#include "platform/file_system.hpp"
#include "store/newest_lines.hpp"
#include "store/usage_candidate_filter.hpp"

namespace glimmet {

namespace {

std::optional<GlimmetEvent> parseEventFileLine(std::string_view line, size_t capacity,
                                               const EventParseContext& context) {
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) return std::nullopt;
  // A line with broken UTF-8 is skipped on its own; its neighbours are still read.
  if (!isValidUtf8Fast(line)) return std::nullopt;
  return parseGlimmetEventLine(line, context, capacity);
}

// Whether the line holds the text "usage_only": found from its last letter, which the other
// names of an event line rarely use, rather than from its first.
bool mentionsUsageOnly(std::string_view line) {
  constexpr std::string_view kText = "usage_only";
  const char* const end = line.data() + line.size();
  const char* at = line.data() + std::min(line.size(), kText.size() - 1);
  while (at < end) {
    const auto* y = static_cast<const char*>(std::memchr(at, 'y', static_cast<size_t>(end - at)));
    if (!y) return false;
    if (std::memcmp(y - (kText.size() - 1), kText.data(), kText.size()) == 0) return true;
    at = y + 1;
  }
  return false;
}

// Probes the lines at `indices` of `lines` into `probes` (by the same position), taking them a
// batch at a time from `next`, which two threads may share: whichever is free takes the next
// batch, so neither waits long for the other.
void probeLines(const std::vector<std::string_view>& lines, const NewestLines& bytes,
                const std::vector<size_t>& indices, std::atomic<size_t>& next,
                std::vector<UsageLineProbe>& probes) {
  constexpr size_t kBatch = 64;
  UsageLineProber prober;
  for (;;) {
    const size_t first = next.fetch_add(kBatch);
    if (first >= indices.size()) return;
    const size_t last = std::min(indices.size(), first + kBatch);
    for (size_t k = first; k < last; ++k) {
      const std::string_view line = lines[indices[k]];
      probes[k] = prober.probe(line, bytes.capacityAt(line));
    }
  }
}

// The older lines are probed on a second thread only when there are enough of them to repay
// starting it (a few tens of microseconds against some microseconds a line).
constexpr size_t kFewestLinesForSecondThread = 256;

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

BridgeEventTail::BridgeEventTail(std::string eventFile, EventParseContext context, LogSink log)
    : eventFile_(std::move(eventFile)), context_(std::move(context)), log_(std::move(log)) {}

void BridgeEventTail::reset() {
  deferredFullRead_.reset();
  lastSize_.reset();
  lastModified_.reset();
  lastInode_.reset();
  lastMetadataCheckAt_ = kDistantPast;
  fingerprint_.clear();
  fragment_.clear();
  skippingOverlongLine_ = false;
  reportedOverlongLines_.clear();
  activeTail_.clear();
  usageHistory_.clear();
  bridgeEvents_.clear();
}

bool BridgeEventTail::reload(Timestamp now, bool force) {
  if (deferredFullRead_) return false;
  if (!force && secondsBetween(lastMetadataCheckAt_, now) < kMetadataCheckThrottleSeconds) {
    return false;
  }
  lastMetadataCheckAt_ = now;

  const auto metadata = fileMetadata(eventFile_);
  const bool regular = metadata && metadata->kind == FileKind::regular;
  if (metadata && !regular) reportNotRegular(*metadata);
  if (!metadata || !regular) {
    // Missing, or something that cannot be tailed (a directory, a FIFO): no events, and
    // nothing is read from it.
    const bool hadEvents = !bridgeEvents_.empty();
    const Timestamp checkedAt = lastMetadataCheckAt_;
    reset();
    lastMetadataCheckAt_ = checkedAt;
    if (!metadata) reportedNotRegular_ = false;
    return hadEvents;
  }
  reportedNotRegular_ = false;
  if (lastSize_ == metadata->size && lastModified_ == metadata->modified &&
      lastInode_ == metadata->inode) {
    return false;
  }
  const auto previousSize = lastSize_;
  const bool sameFile = lastInode_ == metadata->inode;
  if (!sameFile || (previousSize && metadata->size < *previousSize)) {
    reportedOverlongLines_.clear();
  }
  lastSize_ = metadata->size;
  lastModified_ = metadata->modified;
  lastInode_ = metadata->inode;
  if (sizeMeasuredHook_) sizeMeasuredHook_();

  const bool grew = previousSize && metadata->size > *previousSize;
  const bool holdsAnything =
      !activeTail_.empty() || !usageHistory_.empty() || !fragment_.empty() || skippingOverlongLine_;
  if (grew && sameFile && holdsAnything) {
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
  // One read takes the fingerprint's bytes and the appended ones, and stops at `size`.
  const uint64_t back = std::min<uint64_t>(previousSize, kFingerprintLength);
  const uint64_t length = size - previousSize + back;
  const auto bytes = readFileFrom(eventFile_, previousSize - back, length);
  if (!bytes || bytes->size() != length) return AppendOutcome::needsFullRead;
  const std::string_view view = *bytes;
  if (view.substr(0, back) != fingerprint_) return AppendOutcome::needsFullRead;
  fingerprint_ = std::string(view.substr(view.size() - std::min(view.size(), kFingerprintLength)));

  std::vector<GlimmetEvent> parsed = takeAppendedText(view.substr(back), previousSize);
  if (parsed.empty()) return AppendOutcome::unchanged;

  std::vector<GlimmetEvent> candidates = usageHistory_;
  candidates.insert(candidates.end(), parsed.begin(), parsed.end());
  // The oldest make room first, so that the tail keeps its memory instead of growing past it.
  const size_t kept = kActiveTailLength - std::min(parsed.size(), kActiveTailLength);
  if (activeTail_.size() > kept) {
    activeTail_.erase(activeTail_.begin(),
                      activeTail_.begin() + static_cast<long>(activeTail_.size() - kept));
  }
  const size_t firstKept = parsed.size() - std::min(parsed.size(), kActiveTailLength);
  for (size_t i = firstKept; i < parsed.size(); ++i) activeTail_.push_back(std::move(parsed[i]));
  rebuildUsageHistory(candidates);
  rebuildBridgeEvents();
  return AppendOutcome::changed;
}

std::vector<GlimmetEvent> BridgeEventTail::takeAppendedText(std::string_view appended,
                                                            uint64_t offset) {
  if (skippingOverlongLine_) {
    const size_t newline = appended.find('\n');
    if (newline == std::string_view::npos) return {};
    skippingOverlongLine_ = false;
    appended.remove_prefix(newline + 1);
    offset += newline + 1;
  }
  const uint64_t textStart = offset - fragment_.size();
  std::string text = fragment_ + std::string(appended);
  const size_t lastNewline = text.rfind('\n');
  const size_t fragmentStart = lastNewline == std::string::npos ? 0 : lastNewline + 1;
  fragment_ = text.substr(fragmentStart);
  if (fragment_.size() > kTailReadWindow) {
    // Too long to ever be kept: drop it now rather than hold it until its newline.
    reportOverlongLine(textStart + fragmentStart);
    fragment_.clear();
    skippingOverlongLine_ = true;
  }
  text.resize(fragmentStart);

  std::vector<GlimmetEvent> events;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find('\n', pos);
    const std::string_view line = std::string_view(text).substr(pos, end - pos);
    if (line.size() + 1 > kTailReadWindow) {
      reportOverlongLine(textStart + pos);
    } else if (auto event = parseLine(line)) {
      events.push_back(std::move(*event));
    }
    pos = end + 1;
  }
  return events;
}

bool BridgeEventTail::readFull(uint64_t size) {
  if (deferAbove_ && std::min(size, kTailReadWindow) > *deferAbove_) {
    deferredFullRead_ = size;
    return false;
  }
  return applyFullRead(readNewestWindow(eventFile_, size, context_, true));
}

BridgeEventTail::FullRead BridgeEventTail::readNewestWindow(const std::string& eventFile,
                                                            uint64_t size,
                                                            const EventParseContext& context,
                                                            bool secondThread) {
  FullRead read;
  auto lines = readNewestLines(eventFile, size, kTailReadWindow, JsonLineReader::kPadding,
                               kFingerprintLength, secondThread);
  if (!lines) return read;
  read.succeeded = true;
  read.fingerprint = std::move(lines->ending);
  read.overlongLineStarts = std::move(lines->skippedLineStarts);
  if (lines->overlongFragmentStart) {
    read.overlongLineStarts.push_back(*lines->overlongFragmentStart);
    read.skippingOverlongLine = true;
  }
  // A line still being written is held until its newline arrives, like on the append path.
  read.fragment = std::move(lines->fragment);
  // Parse from the newest line backwards: only the last 500 events are kept whole. Older lines
  // matter only when they carry usage-only snapshots of a tool with fewer than twelve so far;
  // a line without the text "usage_only" cannot be one, so most of the window is never parsed.
  // The rest are first probed (a few members read, no event built): on a second thread while
  // this one parses the tail, then on both. That thread also finds them, after one UTF-8 check
  // of all older lines together (the read may start inside a character); only lines of a
  // region that fails it are checked one by one. Each parsed line is checked on its own anyway.
  const std::vector<std::string_view>& all = lines->newestFirst;
  const size_t tailEnd = std::min(kActiveTailLength, all.size());
  std::vector<size_t> older;  // indices of the older lines that may hold a candidate
  std::vector<UsageLineProbe> probes;
  std::atomic<size_t> nextProbe{0};
  auto findOlderCandidates = [&] {
    if (tailEnd < all.size()) {
      const char* regionStart = all.back().data();
      const char* regionEnd = all[tailEnd - 1].data();
      const bool regionIsUtf8 = isValidUtf8Fast(
          std::string_view(regionStart, static_cast<size_t>(regionEnd - regionStart)));
      for (size_t i = tailEnd; i < all.size(); ++i) {
        if (!mentionsUsageOnly(all[i])) continue;
        if (!regionIsUtf8 && !isValidUtf8Fast(all[i])) continue;
        older.push_back(i);
      }
    }
    probes.resize(older.size());
  };
  std::latch candidatesFound(1);
  std::exception_ptr findFailure;   // set before the latch opens
  std::exception_ptr probeFailure;  // read once the thread is joined
  std::jthread prober;              // joined on every way out, before what it uses is gone
  if (secondThread && all.size() - tailEnd >= kFewestLinesForSecondThread) {
    try {
      prober = std::jthread([&] {
        try {
          findOlderCandidates();
        } catch (...) {
          findFailure = std::current_exception();
        }
        candidatesFound.count_down();
        if (findFailure) return;
        try {
          probeLines(all, *lines, older, nextProbe, probes);
        } catch (...) {
          probeFailure = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      // No thread to be had: this one does it all.
    }
  }
  if (!prober.joinable()) {
    findOlderCandidates();
    candidatesFound.count_down();
  }

  std::vector<GlimmetEvent> newestFirst;
  std::vector<GlimmetEvent> candidatesNewestFirst;
  UsageCandidateFilter filter(kUsageHistoryPerTool);
  size_t next = 0;
  for (; next < all.size() && newestFirst.size() < kActiveTailLength; ++next) {
    const std::string_view line = all[next];
    auto event = parseEventFileLine(line, lines->capacityAt(line), context);
    if (!event) continue;
    if (filter.accepts(*event)) candidatesNewestFirst.push_back(*event);
    newestFirst.push_back(std::move(*event));
  }
  candidatesFound.wait();
  if (findFailure) std::rethrow_exception(findFailure);
  probeLines(all, *lines, older, nextProbe, probes);
  if (prober.joinable()) prober.join();
  if (probeFailure) std::rethrow_exception(probeFailure);
  // Lines the tail took (when some of the newest were no events) were probed for nothing.
  const size_t firstOlder =
      static_cast<size_t>(std::lower_bound(older.begin(), older.end(), next) - older.begin());
  for (size_t k = firstOlder; k < older.size(); ++k) {
    if (filter.skips(probes[k])) continue;
    const std::string_view line = all[older[k]];
    auto event = parseEventFileLine(line, lines->capacityAt(line), context);
    if (event && filter.accepts(*event)) candidatesNewestFirst.push_back(std::move(*event));
  }
  // Room for the appends to come, so that the first of them does not move the whole tail.
  read.activeTail.reserve(kActiveTailLength);
  read.activeTail.assign(std::make_move_iterator(newestFirst.rbegin()),
                         std::make_move_iterator(newestFirst.rend()));
  std::reverse(candidatesNewestFirst.begin(), candidatesNewestFirst.end());
  read.usageHistory = bridgeUsageHistoryEvents(candidatesNewestFirst);
  fillBridgeEvents(read.usageHistory, read.activeTail, read.bridgeEvents);
  return read;
}

bool BridgeEventTail::applyFullRead(FullRead read) {
  deferredFullRead_.reset();
  fragment_.clear();
  skippingOverlongLine_ = false;
  fingerprint_.clear();
  if (!read.succeeded) return false;
  fingerprint_ = std::move(read.fingerprint);
  for (const uint64_t start : read.overlongLineStarts) reportOverlongLine(start);
  skippingOverlongLine_ = read.skippingOverlongLine;
  fragment_ = std::move(read.fragment);
  activeTail_ = std::move(read.activeTail);
  usageHistory_ = std::move(read.usageHistory);
  bridgeEvents_ = std::move(read.bridgeEvents);
  return true;
}

std::optional<GlimmetEvent> BridgeEventTail::parseLine(std::string_view line) const {
  return parseEventFileLine(line, 0, context_);
}

void BridgeEventTail::reportOverlongLine(uint64_t lineStart) {
  if (!reportedOverlongLines_.insert(lineStart).second) return;
  writeLog(log_, fmt::format("[Glimmet] Skipped the line at byte {} of {}: it is longer than the "
                             "{} MiB read window",
                             lineStart, eventFile_, kTailReadWindow >> 20));
}

void BridgeEventTail::reportNotRegular(const FileMetadata& metadata) {
  if (reportedNotRegular_) return;
  reportedNotRegular_ = true;
  writeLog(log_, fmt::format("[Glimmet] {} is not a regular file but {}; it is not read until it "
                             "is a file again",
                             eventFile_, describe(metadata.kind)));
}

void BridgeEventTail::rebuildUsageHistory(const std::vector<GlimmetEvent>& candidates) {
  usageHistory_ = bridgeUsageHistoryEvents(candidates);
}

void BridgeEventTail::rebuildBridgeEvents() {
  fillBridgeEvents(usageHistory_, activeTail_, bridgeEvents_);
}

void BridgeEventTail::fillBridgeEvents(const std::vector<GlimmetEvent>& usageHistory,
                                       const std::vector<GlimmetEvent>& activeTail,
                                       std::vector<GlimmetEvent>& out) {
  // Cleared rather than replaced: the list keeps its memory from one rebuild to the next.
  out.clear();
  out.reserve(usageHistory.size() + activeTail.size());
  std::set<std::string_view> seen;
  for (const auto* list : {&usageHistory, &activeTail}) {
    for (const auto& event : *list) {
      if (seen.insert(event.id).second) out.push_back(event);
    }
  }
}

}  // namespace glimmet
