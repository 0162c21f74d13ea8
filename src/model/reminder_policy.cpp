#include "model/reminder_policy.hpp"

#include <array>
#include <string>

#include "base/text.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

namespace {

// What the bridges write when an agent finished a turn without saying anything: a completion
// carrying only one of these is not worth a sound. Compared lower-cased, trimmed and without a
// trailing full stop, so "Completed turn." and "completed turn" are the same text.
constexpr std::array kStockCompletionTexts = {
    std::string_view{""},
    std::string_view{"completed"},
    std::string_view{"completed turn"},
    std::string_view{"task completed"},
    std::string_view{"turn complete"},
    std::string_view{"turn completed"},
    std::string_view{"turn finished"},
    std::string_view{"done"},
    std::string_view{"lifecycle event captured locally"},
    std::string_view{"turn complete. prompt and response text were not stored by glimmet"},
};

// The same, following the tool's name: "Codex CLI turn finished", "Claude Code completed".
constexpr std::array kStockCompletionSuffixes = {
    std::string_view{" turn finished"}, std::string_view{" finished"},
    std::string_view{" completed"},     std::string_view{" completed a task"},
    std::string_view{" session ended"}, std::string_view{" turn complete"},
    std::string_view{" done"},
};

std::string comparableText(std::string_view text) {
  std::string result = toLower(trim(text));
  while (!result.empty() && result.back() == '.') result.pop_back();
  return trim(result);
}

// Here the policy is read in any case: "SILENT" silences as "silent" does.
NotifyPolicy normalizedNotifyPolicy(const GlimmetEvent& event) {
  return notifyPolicyFromRaw(toLower(event.notifyPolicy.raw())).value_or(NotifyPolicy::other);
}

bool isHumanLoopInputType(const EventTypeValue& eventType) {
  return eventType == EventType::waitingInput || eventType == EventType::planReady;
}

EventReminderPolicy listedQuietly(EventReminderKind kind) {
  return {false, false, true, kind};
}

EventReminderPolicy alertingWhenAllowed(EventReminderKind kind, bool allowed) {
  return {allowed, allowed, true, kind};
}

// A permission with no way to answer it and no idea what it is about (for example a bare
// notification from a local log) would alert for nothing the user can act on.
bool isUnanswerableBarePermission(const GlimmetEvent& event) {
  return !event.decisionFile && !event.decisionCommand && !event.responseChannel.isFileChannel() &&
         trim(event.actionKind).empty();
}

}  // namespace

const char* rawValue(EventReminderKind kind) {
  switch (kind) {
    case EventReminderKind::none:
      return "none";
    case EventReminderKind::status:
      return "status";
    case EventReminderKind::approval:
      return "approval";
    case EventReminderKind::choice:
      return "choice";
    case EventReminderKind::input:
      return "input";
    case EventReminderKind::completion:
      return "completion";
    case EventReminderKind::failure:
      return "failure";
    case EventReminderKind::rateLimit:
      return "rateLimit";
  }
  return "none";
}

bool reminderKindWaitsForUser(EventReminderKind kind) {
  return kind == EventReminderKind::approval || kind == EventReminderKind::choice ||
         kind == EventReminderKind::input;
}

TaskOutcome eventTaskOutcome(const GlimmetEvent& event) {
  const EventTypeValue& type = event.eventType;
  if (type == EventType::taskFailed || type == EventType::error ||
      event.severity == EventSeverity::critical || event.status == EventStatus::failed) {
    return TaskOutcome::failed;
  }
  if (type == EventType::taskCancelled || type == EventType::cancelled ||
      event.status == EventStatus::cancelled) {
    return TaskOutcome::cancelled;
  }
  return TaskOutcome::none;
}

bool eventHasAnswerChannel(const GlimmetEvent& event) {
  using Kind = ResponseChannel::Kind;
  const Kind kind = event.responseChannel.kind;
  return kind == Kind::responseFile || kind == Kind::responseCommand || kind == Kind::localSocket ||
         kind == Kind::appServer;
}

bool isBoilerplateCompletionMessage(std::string_view message, std::string_view source) {
  const std::string text = comparableText(message);
  for (const auto stock : kStockCompletionTexts) {
    if (text == stock) return true;
  }
  for (const std::string& tool : {toLower(toolDisplayName(source)), toLower(trim(source))}) {
    if (tool.empty()) continue;
    for (const auto suffix : kStockCompletionSuffixes) {
      if (text == tool + std::string(suffix)) return true;
    }
  }
  return false;
}

bool eventReminderAllowsReminder(const GlimmetEvent& event) {
  const NotifyPolicy policy = normalizedNotifyPolicy(event);
  return policy != NotifyPolicy::usageOnly && policy != NotifyPolicy::silent;
}

bool eventReminderSuppressesOrdinaryStatus(const GlimmetEvent& event) {
  return normalizedNotifyPolicy(event) == NotifyPolicy::usageOnly;
}

bool eventReminderHasHumanFacingCompletionContent(const GlimmetEvent& event) {
  if (event.completionSnippet && !trim(*event.completionSnippet).empty()) return true;
  if (!event.preview.user.empty() || !event.preview.agent.empty()) return true;
  return !isBoilerplateCompletionMessage(event.message, event.source);
}

bool eventReminderCompletionIsHumanFacing(const GlimmetEvent& event) {
  const std::string name =
      trim(replaceAll(replaceAll(toLower(event.rawEventName.value_or("")), "-", ""), "_", ""));
  // The end of a whole session repeats the completion of its last turn.
  if (name == "sessionend") return false;
  if (name == "stop" || name == "taskcompleted") {
    return eventReminderHasHumanFacingCompletionContent(event);
  }
  return event.completionSnippet && !trim(*event.completionSnippet).empty();
}

EventReminderPolicy eventReminderPolicy(const GlimmetEvent& event) {
  if (event.responseReceipt) return {};
  const bool allowed = eventReminderAllowsReminder(event);
  const EventTypeValue& type = event.eventType;

  if (type == EventType::permissionRequest) {
    if (isUnanswerableBarePermission(event)) return {};
    return alertingWhenAllowed(EventReminderKind::approval, allowed);
  }
  if (type == EventType::rateLimited || (event.usage && event.usage->reportsError())) {
    return listedQuietly(EventReminderKind::rateLimit);
  }
  if (eventTaskOutcome(event) == TaskOutcome::failed) {
    return listedQuietly(EventReminderKind::failure);
  }
  if (isHumanLoopInputType(type)) {
    if (!eventHasAnswerChannel(event)) {
      // Nothing here can answer it (Claude Code's Notification hook, for one): the agent waits
      // in its own terminal, which is what it is doing, not something waiting on the user here.
      if (eventReminderSuppressesOrdinaryStatus(event)) return {};
      return listedQuietly(EventReminderKind::status);
    }
    if (!event.choiceOptions.empty()) {
      return alertingWhenAllowed(EventReminderKind::choice, allowed);
    }
    if (event.responseChannel.kind == ResponseChannel::Kind::responseFile) {
      return alertingWhenAllowed(EventReminderKind::input, allowed);
    }
  }
  // A cancelled task neither runs nor finished its work, whatever its type says; the inbox
  // lists it as a notice.
  if (eventTaskOutcome(event) == TaskOutcome::cancelled) return {};
  if (type == EventType::taskCompleted || event.status == EventStatus::completed) {
    const bool alerts = allowed && eventReminderCompletionIsHumanFacing(event);
    return {alerts, alerts, true, EventReminderKind::completion};
  }
  if (eventReminderSuppressesOrdinaryStatus(event)) return {};
  const EventPhaseValue& phase = event.phase;
  if (type == EventType::taskStarted || type == EventType::taskUpdated ||
      type == EventType::working || phase == EventPhase::started || phase == EventPhase::running ||
      phase == EventPhase::runningTool) {
    return listedQuietly(EventReminderKind::status);
  }
  return {};
}

bool eventWaitsForUser(const GlimmetEvent& event) {
  return reminderKindWaitsForUser(eventReminderPolicy(event).kind);
}

}  // namespace glimmet
