#pragma once

#include <optional>
#include <string_view>

#include "base/name_table.hpp"

namespace glimmet {

// The fields of an event line that name one of a known set of values. Agents and wrappers are
// free to write values Glimmet does not know yet, so each field is an OpenValue: the known case,
// or `other` with the agent's own text. Names are matched exactly, in the trimmed text.

// "event_type"; absent means "task_updated".
enum class EventType {
  taskStarted,
  taskUpdated,
  taskCompleted,
  taskFailed,
  taskCancelled,
  cancelled,
  planning,
  thinking,
  working,
  permissionRequest,
  waitingInput,
  planReady,
  rateLimited,
  error,
  integrationNotice,
  jumpNotice,
  responseReceipt,
  other
};

// "status"; absent means the event type's text.
enum class EventStatus {
  thinking,
  running,
  runningTool,
  waitingApproval,
  waitingInput,
  completed,
  failed,
  cancelled,
  usage,
  usageLimited,
  other
};

// "phase"; when absent it is derived from the event type, else from the status.
enum class EventPhase {
  started,
  planning,
  thinking,
  running,
  runningTool,
  waitingHuman,
  completed,
  failed,
  cancelled,
  other
};

// "severity"; absent means "info".
enum class EventSeverity { info, success, warning, error, critical, other };

// "notify_policy" (or "notifyPolicy"): how loudly the event may announce itself. When absent it
// is derived from the event type and status.
enum class NotifyPolicy { immediate, milestone, silent, usageOnly, other };

// Raw values, as written in event lines: "task_completed", "running_tool", "waitingHuman",
// "critical", "usage_only". `other` has none of its own: its text travels with the value.
std::string_view rawValue(EventType value);
std::string_view rawValue(EventStatus value);
std::string_view rawValue(EventPhase value);
std::string_view rawValue(EventSeverity value);
std::string_view rawValue(NotifyPolicy value);

// The case written exactly as `raw`; absent for any other text, in particular another spelling.
std::optional<EventType> eventTypeFromRaw(std::string_view raw);
std::optional<EventStatus> eventStatusFromRaw(std::string_view raw);
std::optional<EventPhase> eventPhaseFromRaw(std::string_view raw);
std::optional<EventSeverity> eventSeverityFromRaw(std::string_view raw);
std::optional<NotifyPolicy> notifyPolicyFromRaw(std::string_view raw);

using EventTypeValue = OpenValue<EventType, eventTypeFromRaw>;
using EventStatusValue = OpenValue<EventStatus, eventStatusFromRaw>;
using EventPhaseValue = OpenValue<EventPhase, eventPhaseFromRaw>;
using EventSeverityValue = OpenValue<EventSeverity, eventSeverityFromRaw>;
using NotifyPolicyValue = OpenValue<NotifyPolicy, notifyPolicyFromRaw>;

}  // namespace glimmet
