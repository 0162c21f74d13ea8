#include "model/message_grouping.hpp"

#include <algorithm>
#include <map>

#include "base/text.hpp"
#include "model/event_text.hpp"
#include "model/reminder_policy.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

namespace {

// The facts that tell one human request from another of the same task.
std::vector<std::string> requestParts(const GlimmetEvent& event) {
  if (event.eventType == EventType::permissionRequest) {
    return {normalizedKeyPart(event.cwd), normalizedKeyPart(event.title),
            normalizedKeyPart(event.actionKind), event.risk ? rawValue(*event.risk) : ""};
  }
  const std::string& question = trim(event.message).empty() ? event.title : event.message;
  return {normalizedKeyPart(question)};
}

// Notices and cancellations never remind, yet each is a message the user should see.
bool isInformationalMessage(const GlimmetEvent& event) {
  return !event.responseReceipt &&
         (event.eventType == EventType::integrationNotice ||
          event.eventType == EventType::jumpNotice || event.eventType == EventType::taskCancelled ||
          event.eventType == EventType::cancelled);
}

bool becomesMessage(const GlimmetEvent& event, const std::set<std::string>& hiddenIDs) {
  if (hiddenIDs.count(event.id)) return false;
  if (eventReminderSuppressesOrdinaryStatus(event)) return false;
  return eventReminderPolicy(event).kind != EventReminderKind::none ||
         isInformationalMessage(event);
}

}  // namespace

std::string messageGroupKey(const GlimmetEvent& event) {
  const std::string tool = normalizedKeyPart(toolDisplayName(event.source));
  if (!event.waitsForHuman()) return join({"task", tool, event.taskKey}, "|");
  std::vector<std::string> parts = {"human_loop", tool, event.taskKey};
  for (auto& part : requestParts(event)) parts.push_back(std::move(part));
  return join(parts, "|");
}

GroupedEvents groupVisibleEvents(const std::vector<GlimmetEvent>& events,
                                 const std::set<std::string>& hiddenIDs) {
  GroupedEvents result;
  for (const auto& event : events) {
    if (becomesMessage(event, hiddenIDs)) result.sortedVisible.push_back(event);
  }
  std::stable_sort(
      result.sortedVisible.begin(), result.sortedVisible.end(),
      [](const GlimmetEvent& a, const GlimmetEvent& b) { return a.timestamp > b.timestamp; });

  // Walking newest first, a group is opened by its newest event, which fixes the group order.
  std::map<std::string, size_t> groupIndexByKey;
  for (const auto& event : result.sortedVisible) {
    const auto [slot, inserted] =
        groupIndexByKey.try_emplace(messageGroupKey(event), result.groups.size());
    if (inserted) result.groups.emplace_back();
    result.groups[slot->second].push_back(event);
  }
  return result;
}

}  // namespace glimmet
