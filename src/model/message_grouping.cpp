#include "model/message_grouping.hpp"

#include <algorithm>
#include <map>
#include <optional>

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
  return !event.responseReceipt && (event.eventType == EventType::integrationNotice ||
                                    event.eventType == EventType::jumpNotice ||
                                    eventTaskOutcome(event) == TaskOutcome::cancelled);
}

bool isListed(const GlimmetEvent& event) {
  if (eventReminderSuppressesOrdinaryStatus(event)) return false;
  return eventReminderPolicy(event).kind != EventReminderKind::none ||
         isInformationalMessage(event);
}

// Whether the task key was made from the home folder the event merely defaulted to.
bool hasNoTaskOfItsOwn(const GlimmetEvent& event) {
  if (event.sessionId || event.hasExplicitCwd) return false;
  // An agent's own "task_key" differs from the one made from the event's fields.
  return event.taskKey == makeTaskKey(event.source, event.sessionId, event.turnId, event.cwd,
                                      event.pid, event.project);
}

// A question nothing here can answer, such as Claude Code's Notification hook: the agent waits in
// its own terminal. Often it only repeats a request already made, so it does not move the task.
bool isBareWait(const GlimmetEvent& event) {
  return (event.eventType == EventType::waitingInput || event.eventType == EventType::planReady) &&
         !eventHasAnswerChannel(event);
}

}  // namespace

std::string taskIdentity(const GlimmetEvent& event) {
  if (!hasNoTaskOfItsOwn(event)) return event.taskKey;
  return normalizedKeyPart(toolDisplayName(event.source)) + "|event:" + event.id;
}

namespace {

// The position of each task's representative in `newestFirst`: its newest event, except that
// bare waits after a request waiting for the user leave that request in place.
std::vector<size_t> taskRepresentatives(const std::vector<const GlimmetEvent*>& newestFirst) {
  struct Task {
    bool decided = false;
    std::optional<size_t> newestBareWait;
  };
  std::map<std::string, Task> tasks;
  std::vector<size_t> chosen;
  for (size_t index = 0; index < newestFirst.size(); ++index) {
    const GlimmetEvent& event = *newestFirst[index];
    Task& task = tasks[taskIdentity(event)];
    if (task.decided) continue;
    if (isBareWait(event)) {
      if (!task.newestBareWait) task.newestBareWait = index;
      continue;
    }
    task.decided = true;
    const bool repeatsThis = eventWaitsForUser(event);
    chosen.push_back(task.newestBareWait && !repeatsThis ? *task.newestBareWait : index);
  }
  for (const auto& [identity, task] : tasks) {
    if (!task.decided && task.newestBareWait) chosen.push_back(*task.newestBareWait);
  }
  return chosen;
}

}  // namespace

std::string messageGroupKey(const GlimmetEvent& event) {
  const bool waits = eventWaitsForUser(event);
  std::string key = waits ? "human_loop|" : "task|";
  key += normalizedKeyPart(toolDisplayName(event.source));
  key += '|';
  key += taskIdentity(event);
  if (!waits) return key;
  for (const auto& part : requestParts(event)) {
    key += '|';
    key += part;
  }
  return key;
}

GroupedEvents groupVisibleEvents(const std::vector<GlimmetEvent>& events,
                                 const std::set<std::string>& hiddenIDs) {
  // Listed events, hidden or not, newest first. Walking the file backwards before a stable
  // sort puts the later of two lines with the same time first.
  std::vector<const GlimmetEvent*> listed;
  for (auto event = events.rbegin(); event != events.rend(); ++event) {
    if (isListed(*event)) listed.push_back(&*event);
  }
  std::stable_sort(listed.begin(), listed.end(), [](const GlimmetEvent* a, const GlimmetEvent* b) {
    return a->timestamp > b->timestamp;
  });

  GroupedEvents result;
  result.sortedVisible.reserve(listed.size());
  // A hidden event still tells that its task moved on, so tasks are judged before hiding.
  std::vector<bool> represents(listed.size(), false);
  for (size_t index : taskRepresentatives(listed)) represents[index] = true;
  for (size_t index = 0; index < listed.size(); ++index) {
    const GlimmetEvent& event = *listed[index];
    const bool hidden = hiddenIDs.count(event.id) > 0;
    if (represents[index]) {
      result.representativeIDs.insert(event.id);
      if (!hidden) result.representatives.push_back(&event);
    }
    if (!hidden) result.sortedVisible.push_back(&event);
  }

  // Walking newest first, a group is opened by its newest event, which fixes the group order.
  std::map<std::string, size_t> groupIndexByKey;
  for (size_t position = 0; position < result.sortedVisible.size(); ++position) {
    const auto [slot, inserted] = groupIndexByKey.try_emplace(
        messageGroupKey(*result.sortedVisible[position]), result.groups.size());
    if (inserted) result.groups.emplace_back();
    result.groups[slot->second].push_back(position);
  }
  return result;
}

std::vector<std::string> GroupedEvents::idsOf(const std::vector<size_t>& group) const {
  std::vector<std::string> ids;
  ids.reserve(group.size());
  for (size_t position : group) ids.push_back(sortedVisible[position]->id);
  return ids;
}

std::vector<GlimmetEvent> GroupedEvents::eventsOf(const std::vector<size_t>& group) const {
  std::vector<GlimmetEvent> events;
  events.reserve(group.size());
  for (size_t position : group) events.push_back(*sortedVisible[position]);
  return events;
}

}  // namespace glimmet
