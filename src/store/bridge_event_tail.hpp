#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/time.hpp"
#include "model/glimmet_event.hpp"

namespace glimmet {

// Keeps the newest events of the event file, reading only what was appended since last time.
// A line is parsed once, when its newline has arrived; a shrunk or replaced file is read again
// from its last 8 MiB.
class BridgeEventTail {
 public:
  static constexpr size_t kActiveTailLength = 500;
  static constexpr uint64_t kTailReadWindow = uint64_t{8} * 1024 * 1024;
  static constexpr size_t kUsageHistoryPerTool = 12;
  static constexpr double kMetadataCheckThrottleSeconds = 0.35;

  BridgeEventTail(std::string eventFile, EventParseContext context);

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

 private:
  enum class AppendOutcome { unchanged, changed, needsFullRead };
  AppendOutcome readAppended(uint64_t previousSize, uint64_t size);
  bool readFull(uint64_t size);
  std::optional<GlimmetEvent> parseLine(std::string_view line) const;
  std::vector<GlimmetEvent> parseLines(std::string_view text) const;
  void rebuildUsageHistory(const std::vector<GlimmetEvent>& candidates);
  void rebuildBridgeEvents();

  std::string eventFile_;
  EventParseContext context_;
  std::optional<uint64_t> lastSize_;
  std::optional<Timestamp> lastModified_;
  std::optional<uint64_t> lastInode_;
  Timestamp lastMetadataCheckAt_ = kDistantPast;
  std::string fragment_;
  std::vector<GlimmetEvent> activeTail_;
  std::vector<GlimmetEvent> usageHistory_;
  std::vector<GlimmetEvent> bridgeEvents_;
};

// Usage-only events that carry usage, newest twelve per tool, oldest first.
std::vector<GlimmetEvent> bridgeUsageHistoryEvents(const std::vector<GlimmetEvent>& candidates);

}  // namespace glimmet
