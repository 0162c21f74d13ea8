#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/shared_list.hpp"
#include "model/companion_status.hpp"
#include "model/island_message.hpp"
#include "model/pending_action.hpp"
#include "model/tool_catalog.hpp"
#include "model/usage_snapshot.hpp"

namespace glimmet {

// The short result text of an interface action, shown for a moment in a colour.
struct StatusBanner {
  std::string text;
  RGBColor color;
  bool operator==(const StatusBanner&) const = default;
};

// One brand of the usage carousel with the snapshot it shows: the best of all its tools'.
struct UsageCarouselEntry {
  std::string brand;
  UsageSnapshot snapshot;
  bool operator==(const UsageCarouselEntry&) const = default;
};

// Everything a front end shows, at one moment. Immutable once published: front ends on any
// thread may keep and read it while the core goes on.
struct AppSnapshot {
  // Grows by one with every published snapshot.
  uint64_t revision = 0;
  // The event store's revision the messages were built from.
  int64_t storeRevision = 0;
  // Inbox order: newest first. Shared with the store's message list until that changes.
  SharedList<IslandMessage> messages;
  int approvalCount = 0;
  // Requests an agent is blocked on, oldest first.
  std::vector<PendingAction> waitingRequests;
  // Requests that reached a final status since launch, most recent last (the newest 64).
  std::vector<PendingAction> finishedRequests;
  std::optional<CompanionStatusItem> companionStatus;
  std::vector<CompanionStatusItem> tickerItems;
  PetState petState = PetState::idle;
  // The brands whose tools are eligible for usage and have a snapshot, in eligibility order.
  // Empty when no tool is eligible: there is no fallback list.
  std::vector<UsageCarouselEntry> usageCarousel;
  std::optional<StatusBanner> statusBanner;

  // Whether a user could tell the two apart (the revisions are not compared).
  bool looksTheSameAs(const AppSnapshot& other) const;
  // The request with this id, waiting or finished.
  const PendingAction* request(const std::string& requestID) const;
  const IslandMessage* message(const std::string& messageID) const;
};

using SnapshotPtr = std::shared_ptr<const AppSnapshot>;

}  // namespace glimmet
