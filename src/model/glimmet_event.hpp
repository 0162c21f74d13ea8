#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/inline_list.hpp"
#include "base/json_values.hpp"
#include "base/optional_box.hpp"
#include "base/time.hpp"
#include "model/event_kinds.hpp"
#include "model/jump_target.hpp"
#include "model/message_types.hpp"
#include "model/response_channel.hpp"
#include "model/usage_snapshot.hpp"

namespace glimmet {

// What a source can do for its events: each capability at most once.
using SourceCapabilities = InlineList<SourceCapability, 7>;

// One agent event: a line of the event file, or synthesized by a local loader through the same
// constructor. Only `event_id` is required; every other field has a default.
struct GlimmetEvent {
  std::string id;
  std::string source;
  std::string sourceType;
  std::string project;
  std::string cwd;
  bool hasExplicitCwd = false;
  EventTypeValue eventType;
  EventSeverityValue severity;
  std::string title;
  std::string message;
  std::optional<std::string> completionSnippet;
  MessagePreview preview;
  std::string toolName;
  EventStatusValue status;
  std::optional<MessageRisk> risk;  // the action's "risk" in any case; absent for other texts
  std::string actionKind;
  std::optional<std::string> decisionFile;
  std::optional<std::string> decisionCommand;
  Timestamp timestamp = kDistantPast;
  std::string rawTimestamp;
  OptionalBox<UsageSnapshot> usage;
  std::optional<std::string> sessionId;
  std::optional<std::string> turnId;
  std::string taskKey;
  EventPhaseValue phase;
  std::optional<std::string> milestone;
  NotifyPolicyValue notifyPolicy;
  std::optional<std::string> rawEventName;
  std::optional<std::string> pid;
  std::optional<std::string> terminal;
  std::optional<std::string> transcriptPath;
  std::optional<std::string> jumpTarget;
  OptionalBox<JumpTarget> typedJumpTarget;
  std::optional<ResponseReceipt> responseReceipt;
  ResponseChannel responseChannel;
  std::vector<MessageOption> choiceOptions;
  MessageSelectionMode selectionMode = MessageSelectionMode::single;
  bool noteEnabled = false;
  std::string notePlaceholder = "Add context";
  int64_t noteMaxLength = 500;
  SourceCapabilities sourceCapabilities;
  SourceEventClass sourceClass = SourceEventClass::officialPush;

  bool waitsForHuman() const {
    return eventType == EventType::permissionRequest || eventType == EventType::waitingInput ||
           eventType == EventType::planReady;
  }
  bool operator==(const GlimmetEvent&) const = default;
};

struct EventParseContext {
  std::string homeDirectory;  // the working directory of events that name none
};

// Builds an event from one decoded JSON object; absent when `event_id` is missing or not a string.
std::optional<GlimmetEvent> parseGlimmetEvent(const Json& object, const EventParseContext& context);

// Parses one line of the event file; absent for anything that is not such an object.
std::optional<GlimmetEvent> parseGlimmetEventLine(std::string_view line,
                                                  const EventParseContext& context);

}  // namespace glimmet
