#pragma once

#include <string_view>

#include "model/glimmet_event.hpp"

namespace glimmet {

// The kind of attention an event asks for. The numbers are stable so that diagnostics and
// persisted counters can name a kind without spelling it.
enum class EventReminderKind {
  none = 0,
  status = 1,
  approval = 2,
  choice = 3,
  input = 4,
  completion = 5,
  failure = 6,
  rateLimit = 7
};

const char* rawValue(EventReminderKind kind);

// The kinds that wait for the user: an approval, a choice or a text answer.
bool reminderKindWaitsForUser(EventReminderKind kind);

// How a task ended, when an event says it ended badly. One reading for the inbox and the pet:
// type "task_failed" or "error", severity "critical" or status "failed" is a failure; type
// "task_cancelled" or "cancelled", or status "cancelled", a cancellation.
enum class TaskOutcome { none, failed, cancelled };
TaskOutcome eventTaskOutcome(const GlimmetEvent& event);

// Whether a question can be answered from here: its response channel is a response file, a
// response command, a local socket or an app server. A decision file or command belongs to
// approvals and answers no question.
bool eventHasAnswerChannel(const GlimmetEvent& event);

// How one event is treated: whether it may alert (sound, notification), whether it counts as a
// reminder (ticker, done state; always equal to `alerts`), and whether it is worth listing.
struct EventReminderPolicy {
  bool alerts = false;
  bool reminds = false;
  bool listed = false;
  EventReminderKind kind = EventReminderKind::none;
  bool operator==(const EventReminderPolicy&) const = default;
};

// Only approvals, choices, file-answered input requests and human-facing completions alert;
// failures, rate limits and running tasks are listed quietly, and so are questions nothing here
// can answer (the agent waits in its own terminal); everything else is dropped.
EventReminderPolicy eventReminderPolicy(const GlimmetEvent& event);

// The event asks the user for something that can be given from here (approval, choice, input).
bool eventWaitsForUser(const GlimmetEvent& event);

// The notify policy lets the event remind: it is neither "usage_only" nor "silent".
bool eventReminderAllowsReminder(const GlimmetEvent& event);

// The notify policy is "usage_only": the event only carries usage and is no status update.
bool eventReminderSuppressesOrdinaryStatus(const GlimmetEvent& event);

// Whether a completion is worth telling the user about, judged by the hook that reported it.
bool eventReminderCompletionIsHumanFacing(const GlimmetEvent& event);

// A completion snippet, a preview, or a message that is more than the bridge's stock wording.
bool eventReminderHasHumanFacingCompletionContent(const GlimmetEvent& event);

// Whether `message` is one of the stock texts the bridges write when an agent finished without
// saying anything (`source` names the tool, whose name some of those texts begin with).
bool isBoilerplateCompletionMessage(std::string_view message, std::string_view source);

}  // namespace glimmet
