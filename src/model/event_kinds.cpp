#include "model/event_kinds.hpp"

#include <array>

namespace glimmet {

namespace {

constexpr auto kEventTypeNames = std::to_array<EnumName<EventType>>({
    {EventType::taskStarted, "task_started"},
    {EventType::taskUpdated, "task_updated"},
    {EventType::taskCompleted, "task_completed"},
    {EventType::taskFailed, "task_failed"},
    {EventType::taskCancelled, "task_cancelled"},
    {EventType::cancelled, "cancelled"},
    {EventType::planning, "planning"},
    {EventType::thinking, "thinking"},
    {EventType::working, "working"},
    {EventType::permissionRequest, "permission_request"},
    {EventType::waitingInput, "waiting_input"},
    {EventType::planReady, "plan_ready"},
    {EventType::rateLimited, "rate_limited"},
    {EventType::error, "error"},
    {EventType::integrationNotice, "integration_notice"},
    {EventType::jumpNotice, "jump_notice"},
    {EventType::responseReceipt, "response_receipt"},
});

constexpr auto kEventStatusNames = std::to_array<EnumName<EventStatus>>({
    {EventStatus::thinking, "thinking"},
    {EventStatus::running, "running"},
    {EventStatus::runningTool, "running_tool"},
    {EventStatus::waitingApproval, "waiting_approval"},
    {EventStatus::waitingInput, "waiting_input"},
    {EventStatus::completed, "completed"},
    {EventStatus::failed, "failed"},
    {EventStatus::cancelled, "cancelled"},
    {EventStatus::usage, "usage"},
    {EventStatus::usageLimited, "usage_limited"},
});

constexpr auto kEventPhaseNames = std::to_array<EnumName<EventPhase>>({
    {EventPhase::started, "started"},
    {EventPhase::planning, "planning"},
    {EventPhase::thinking, "thinking"},
    {EventPhase::running, "running"},
    {EventPhase::runningTool, "runningTool"},
    {EventPhase::waitingHuman, "waitingHuman"},
    {EventPhase::completed, "completed"},
    {EventPhase::failed, "failed"},
    {EventPhase::cancelled, "cancelled"},
});

constexpr auto kEventSeverityNames = std::to_array<EnumName<EventSeverity>>({
    {EventSeverity::info, "info"},
    {EventSeverity::success, "success"},
    {EventSeverity::warning, "warning"},
    {EventSeverity::error, "error"},
    {EventSeverity::critical, "critical"},
});

constexpr auto kNotifyPolicyNames = std::to_array<EnumName<NotifyPolicy>>({
    {NotifyPolicy::immediate, "immediate"},
    {NotifyPolicy::milestone, "milestone"},
    {NotifyPolicy::silent, "silent"},
    {NotifyPolicy::usageOnly, "usage_only"},
});

// Every case but `other` has exactly one text.
template <typename Kind, size_t N>
constexpr bool coversAllButOther(const EnumNameTable<Kind, N>& table) {
  return isCompleteNameTable(table) && N == static_cast<size_t>(Kind::other);
}

static_assert(coversAllButOther(kEventTypeNames));
static_assert(coversAllButOther(kEventStatusNames));
static_assert(coversAllButOther(kEventPhaseNames));
static_assert(coversAllButOther(kEventSeverityNames));
static_assert(coversAllButOther(kNotifyPolicyNames));

}  // namespace

std::string_view rawValue(EventType value) {
  return rawName(kEventTypeNames, value);
}

std::string_view rawValue(EventStatus value) {
  return rawName(kEventStatusNames, value);
}

std::string_view rawValue(EventPhase value) {
  return rawName(kEventPhaseNames, value);
}

std::string_view rawValue(EventSeverity value) {
  return rawName(kEventSeverityNames, value);
}

std::string_view rawValue(NotifyPolicy value) {
  return rawName(kNotifyPolicyNames, value);
}

std::optional<EventType> eventTypeFromRaw(std::string_view raw) {
  return valueNamed(kEventTypeNames, raw);
}

std::optional<EventStatus> eventStatusFromRaw(std::string_view raw) {
  return valueNamed(kEventStatusNames, raw);
}

std::optional<EventPhase> eventPhaseFromRaw(std::string_view raw) {
  return valueNamed(kEventPhaseNames, raw);
}

std::optional<EventSeverity> eventSeverityFromRaw(std::string_view raw) {
  return valueNamed(kEventSeverityNames, raw);
}

std::optional<NotifyPolicy> notifyPolicyFromRaw(std::string_view raw) {
  return valueNamed(kNotifyPolicyNames, raw);
}

}  // namespace glimmet
