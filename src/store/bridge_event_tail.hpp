#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/log.hpp"
#include "base/time.hpp"
#include "model/glimmet_event.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

// Keeps the newest events of the event file, reading only what was appended since last time.
// A line is parsed once, when its newline has arrived; a shrunk, replaced or rewritten file is
// read again from its last 8 MiB. Every read stops at the size just measured: bytes a writer
// adds meanwhile are left for the next read.
class BridgeEventTail {
 public:
  static constexpr size_t kActiveTailLength = 500;
  static constexpr uint64_t kTailReadWindow = uint64_t{8} * 1024 * 1024;
  static constexpr size_t kUsageHistoryPerTool = 12;
  static constexpr double kMetadataCheckThrottleSeconds = 0.35;

  // Bytes before the read offset that must still be there for an append to be read as one.
  static constexpr size_t kFingerprintLength = 64;

  BridgeEventTail(std::string eventFile, EventParseContext context, LogSink log = {});

  // Brings the events up to date; returns whether they changed. Without `force`, a check within
  // 0.35 s of the previous one does nothing.
  bool reload(Timestamp now, bool force);
  // Forgets everything read, as after the file was deleted.
  void reset();

  const std::string& eventFile() const { return eventFile_; }
  // The usage history followed by the active tail, each id once.
  const std::vector<GlimmetEvent>& bridgeEvents() const { return bridgeEvents_; }
  const std::vector<GlimmetEvent>& activeTail() const { return activeTail_; }
  const std::vector<GlimmetEvent>& usageHistory() const { return usageHistory_; }
  const std::string& pendingFragment() const { return fragment_; }
  std::optional<uint64_t> lastEventFileSize() const { return lastSize_; }

  // What a full read of the newest window found; made without touching the tail, so that it
  // can be made on another thread and applied on the loop.
  struct FullRead {
    bool succeeded = false;
    std::string fingerprint;
    std::string fragment;
    bool skippingOverlongLine = false;
    std::vector<uint64_t> overlongLineStarts;
    std::vector<GlimmetEvent> activeTail;    // oldest first
    std::vector<GlimmetEvent> usageHistory;  // oldest first
    // Both lists as `bridgeEvents()` shows them, made with the read so that applying it on
    // the loop moves them in instead of copying every event there.
    std::vector<GlimmetEvent> bridgeEvents;
  };
  // With `secondThread`, a window with many usage lines probes them on two threads: right
  // where the caller waits for the read anyway, or where a core is left for the loop.
  static FullRead readNewestWindow(const std::string& eventFile, uint64_t size,
                                   const EventParseContext& context, bool secondThread);

  // With a threshold set, a full read of more bytes than it is not made by `reload`, which
  // leaves it in `deferredFullRead()` for the owner to make elsewhere and hand to
  // `applyFullRead`. Until then `reload` does nothing, so appends are read after it.
  void deferFullReadsLargerThan(std::optional<uint64_t> bytes) { deferAbove_ = bytes; }
  std::optional<uint64_t> deferredFullRead() const { return deferredFullRead_; }
  // Returns whether the events changed.
  bool applyFullRead(FullRead read);

  // Runs after the file's size was measured and before it is read, the moment a concurrent
  // writer's bytes fall into; lets tests append exactly then.
  void setSizeMeasuredHook(std::function<void()> hook) { sizeMeasuredHook_ = std::move(hook); }

 private:
  enum class AppendOutcome { unchanged, changed, needsFullRead };
  AppendOutcome readAppended(uint64_t previousSize, uint64_t size);
  bool readFull(uint64_t size);
  // Takes `text` (starting at byte `offset` of the file) after the held fragment; returns the
  // events of the lines it completes.
  std::vector<GlimmetEvent> takeAppendedText(std::string_view text, uint64_t offset);
  std::optional<GlimmetEvent> parseLine(std::string_view line) const;
  void reportOverlongLine(uint64_t lineStart);
  void reportNotRegular(const FileMetadata& metadata);
  void rebuildUsageHistory(const std::vector<GlimmetEvent>& candidates);
  void rebuildBridgeEvents();
  static void fillBridgeEvents(const std::vector<GlimmetEvent>& usageHistory,
                               const std::vector<GlimmetEvent>& activeTail,
                               std::vector<GlimmetEvent>& out);

  std::string eventFile_;
  EventParseContext context_;
  LogSink log_;
  std::function<void()> sizeMeasuredHook_;
  std::optional<uint64_t> deferAbove_;
  std::optional<uint64_t> deferredFullRead_;
  std::optional<uint64_t> lastSize_;
  std::optional<Timestamp> lastModified_;
  std::optional<uint64_t> lastInode_;
  Timestamp lastMetadataCheckAt_ = kDistantPast;
  // The last bytes before `lastSize_`: an append is read on its own only while they are still
  // there, so that a file rewritten in place to a larger size is read again in full.
  std::string fingerprint_;
  std::string fragment_;
  // The unfinished last line grew past the read window: its bytes are dropped up to its newline.
  bool skippingOverlongLine_ = false;
  // Where the over-long lines already reported start, so that each is reported once.
  std::set<uint64_t> reportedOverlongLines_;
  // The event file was found to be something other than a regular file, and said so.
  bool reportedNotRegular_ = false;
  std::vector<GlimmetEvent> activeTail_;
  std::vector<GlimmetEvent> usageHistory_;
  std::vector<GlimmetEvent> bridgeEvents_;
};

// Usage-only events that carry usage, newest twelve per tool, oldest first.
std::vector<GlimmetEvent> bridgeUsageHistoryEvents(const std::vector<GlimmetEvent>& candidates);

}  // namespace glimmet
