#include "model/companion_status.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "model/event_text.hpp"
#include "model/reminder_policy.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

namespace {

// The phrase for an event that has no text of its own.
std::string labelForType(const GlimmetEvent& event, const EventReminderPolicy& policy) {
  const EventTypeValue& type = event.eventType;
  std::string tool = toolDisplayName(event.source);
  if (type == EventType::permissionRequest) return "Approval needed";
  if (type == EventType::waitingInput || type == EventType::planReady) return "Choice needed";
  if (type == EventType::taskStarted || type == EventType::working ||
      type == EventType::taskUpdated) {
    return tool + " working";
  }
  if (type == EventType::taskCompleted) return tool + " done";
  if (type == EventType::taskFailed) return tool + " failed";
  if (type == EventType::rateLimited) return "Rate limited";
  // Agents name their own planning steps ("planning", "Plan_Review", ...).
  if (contains(toLower(type.raw()), "plan")) return "Plan";
  switch (policy.kind) {
    case EventReminderKind::approval:
      return "Approval";
    case EventReminderKind::choice:
    case EventReminderKind::input:
      return "Human";
    case EventReminderKind::completion:
      return "Done";
    case EventReminderKind::failure:
      return "Error";
    case EventReminderKind::rateLimit:
      return "Rate limit";
    case EventReminderKind::status:
      return tool + " working";
    case EventReminderKind::none:
      break;
  }
  return tool;
}

}  // namespace

const char* rawValue(PetState state) {
  switch (state) {
    case PetState::idle:
      return "idle";
    case PetState::working:
      return "working";
    case PetState::approval:
      return "approval";
    case PetState::done:
      return "done";
    case PetState::error:
      return "error";
    case PetState::tired:
      return "tired";
  }
  return "idle";
}

const char* rawValue(CompanionStatusKind kind) {
  switch (kind) {
    case CompanionStatusKind::approval:
      return "approval";
    case CompanionStatusKind::working:
      return "working";
    case CompanionStatusKind::finished:
      return "finished";
  }
  return "working";
}

PetState PetStateResolver::resolve(const std::vector<GlimmetEvent>& candidates,
                                   bool usageStatusError, bool hasSocketLoopPending) {
  if (hasSocketLoopPending) return PetState::approval;
  bool failure = false;
  bool rateLimited = false;
  bool working = false;
  bool done = false;
  for (const auto& event : candidates) {
    const EventReminderPolicy policy = eventReminderPolicy(event);
    if (reminderKindWaitsForUser(policy.kind)) return PetState::approval;
    failure = failure || policy.kind == EventReminderKind::failure;
    rateLimited = rateLimited || policy.kind == EventReminderKind::rateLimit;
    working = working || policy.kind == EventReminderKind::status;
    done = done || (policy.kind == EventReminderKind::completion && policy.reminds);
  }
  if (failure) return PetState::error;
  if (usageStatusError || rateLimited) return PetState::tired;
  if (working) return PetState::working;
  if (done) return PetState::done;
  return PetState::idle;
}

std::vector<GlimmetEvent> companionCandidateEvents(const std::vector<GlimmetEvent>& sortedVisible) {
  const size_t count = std::min(sortedVisible.size(), kCompanionCandidateLimit);
  return {sortedVisible.begin(), sortedVisible.begin() + static_cast<ptrdiff_t>(count)};
}

std::string companionEventText(const GlimmetEvent& event) {
  for (const std::string* text :
       {&event.preview.user, &event.preview.agent, &event.message, &event.title}) {
    std::string line = shortPreviewText(*text);
    if (!line.empty()) return line;
  }
  return "";
}

std::string shortCompanionLabel(const GlimmetEvent& event) {
  std::string text = companionEventText(event);
  if (!text.empty()) return text;
  return labelForType(event, eventReminderPolicy(event));
}

std::vector<CompanionStatusItem> companionTickerItems(const std::vector<GlimmetEvent>& candidates) {
  std::vector<EventReminderPolicy> policies;
  policies.reserve(candidates.size());
  for (const auto& event : candidates) policies.push_back(eventReminderPolicy(event));

  std::vector<CompanionStatusItem> items;
  items.reserve(candidates.size());
  auto pass = [&](CompanionStatusKind kind, auto belongs) {
    for (size_t index = 0; index < candidates.size(); ++index) {
      if (!belongs(policies[index])) continue;
      items.push_back({kind, shortCompanionLabel(candidates[index]), candidates[index]});
    }
  };
  pass(CompanionStatusKind::approval,
       [](const EventReminderPolicy& p) { return reminderKindWaitsForUser(p.kind) && p.reminds; });
  pass(CompanionStatusKind::working,
       [](const EventReminderPolicy& p) { return p.kind == EventReminderKind::status; });
  pass(CompanionStatusKind::finished, [](const EventReminderPolicy& p) {
    return p.kind == EventReminderKind::completion && p.reminds;
  });
  return items;
}

std::optional<CompanionStatusItem> companionStatusItem(
    const std::vector<GlimmetEvent>& candidates) {
  auto items = companionTickerItems(candidates);
  if (items.empty()) return std::nullopt;
  return std::move(items.front());
}

std::optional<std::string> companionJumpTarget(
    const GlimmetEvent& event, const std::function<bool(const std::string&)>& fileExists) {
  std::vector<std::string> candidates;
  if (event.transcriptPath) candidates.push_back(*event.transcriptPath);
  if (event.hasExplicitCwd && !trim(event.cwd).empty()) candidates.push_back(event.cwd);
  for (const auto& path : candidates) {
    if (fileExists && fileExists(path)) return path;
  }
  return std::nullopt;
}

}  // namespace glimmet
