#include "app/app_snapshot.hpp"

namespace glimmet {

bool AppSnapshot::looksTheSameAs(const AppSnapshot& other) const {
  return messages == other.messages && approvalCount == other.approvalCount &&
         waitingRequests == other.waitingRequests && finishedRequests == other.finishedRequests &&
         companionStatus == other.companionStatus && tickerItems == other.tickerItems &&
         petState == other.petState && usageCarousel == other.usageCarousel &&
         statusBanner == other.statusBanner;
}

const PendingAction* AppSnapshot::request(const std::string& requestID) const {
  for (const auto* list : {&waitingRequests, &finishedRequests}) {
    for (const auto& action : *list) {
      if (action.requestID == requestID) return &action;
    }
  }
  return nullptr;
}

const IslandMessage* AppSnapshot::message(const std::string& messageID) const {
  for (const auto& message : messages) {
    if (message.event.id == messageID) return &message;
  }
  return nullptr;
}

}  // namespace glimmet
