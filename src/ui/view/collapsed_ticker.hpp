#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_snapshot.hpp"
#include "base/time.hpp"
#include "ui/view/geometry.hpp"

namespace glimmet {

enum class CollapsedTickerKind { approval, message, completion, usage, idle };

const char* rawValue(CollapsedTickerKind kind);

// One entry of the capsule's ticker.
struct CollapsedTickerDisplay {
  CollapsedTickerKind kind = CollapsedTickerKind::idle;
  std::string tool;
  std::string label;
  Color accent;
  std::optional<std::string> deadlineLabel;
  bool showsApprovalBadge = false;
  int approvalCount = 0;
  bool operator==(const CollapsedTickerDisplay&) const = default;
};

inline constexpr const char* kNeedApproveLabel = "Need approve";
inline constexpr const char* kAllClearLabel = "All clear";
inline constexpr const char* kIdleTickerTool = "Glimmet";

// Inbox messages that feed the ticker: those whose event is not a usage report.
bool feedsCollapsedTicker(const IslandMessage& message);
bool collapsedMessageIsApproval(const IslandMessage& message);

// "Resets 12:56 PM" from the first non-empty suffix of the 5-hour, daily, weekly and rate-limit
// metrics; absent when none has one.
std::optional<std::string> collapsedUsageDeadlineLabel(const UsageSnapshot& snapshot);
std::string collapsedUsageLabel(const UsageSnapshot& snapshot,
                                const std::optional<std::string>& deadline);

// The unified queue: approvals (messages, then waiting requests no message reports), messages,
// completions, usage; "All clear" when all are empty. Never empty.
std::vector<CollapsedTickerDisplay> collapsedTickerItems(const AppSnapshot& snapshot);

// Rebuilds the queue only when what it is made of changed.
class CollapsedTickerMemo {
 public:
  const std::vector<CollapsedTickerDisplay>& items(const AppSnapshot& snapshot);
  int rebuildCount() const { return rebuilds_; }

 private:
  struct Key {
    int64_t storeRevision = -1;
    std::vector<std::string> waitingRequestIDs;
    std::vector<UsageCarouselEntry> usage;
    bool operator==(const Key&) const = default;
  };
  std::optional<Key> key_;
  std::vector<CollapsedTickerDisplay> items_;
  int rebuilds_ = 0;
};

// Which entry is on screen and since when.
struct TickerRotation {
  size_t index = 0;
  std::optional<Timestamp> lastRotationAt;
  bool operator==(const TickerRotation&) const = default;
};

inline constexpr double kTickerRotationSeconds = 4.0;

// Advances to the next entry once 4 s have passed, only with two or more entries; returns whether
// the entry on screen changed.
bool rotateCollapsedTickerIfNeeded(TickerRotation& rotation, size_t count, Timestamp now);
// When the next advance is due; none with fewer than two entries.
std::optional<Timestamp> nextTickerRotation(const TickerRotation& rotation, size_t count);
// The entry on screen (the first when the queue shrank below the index).
const CollapsedTickerDisplay& collapsedTickerDisplay(
    const std::vector<CollapsedTickerDisplay>& items, size_t index);

// The MacBook capsule's status word and its colour.
std::string shortPetStateLabel(PetState state);
std::optional<std::string> compactMacBookStatusWord(std::string_view label);
std::optional<std::string> compactMacBookUsageToken(std::string_view label);
std::string macBookCollapsedStatusLabel(const CollapsedTickerDisplay& display,
                                        PetState fallbackState);
Color macBookCollapsedStatusColor(const CollapsedTickerDisplay& display, PetState fallbackState);

}  // namespace glimmet
