#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/time.hpp"
#include "model/hook_messages.hpp"

namespace glimmet {

enum class PendingActionKind { permissionRequest, waitingChoice, waitingInput };

// Only awaitingUser is open; every other status is final.
enum class PendingActionStatus {
  awaitingUser,
  answered,
  timedOut,
  agentDied,
  superseded,
  hookDropped,
  appliedAfterCrash,
  droppedOnRestart,
};

// "permission_request", "waiting_choice", "waiting_input".
std::string_view rawValue(PendingActionKind kind);
std::optional<PendingActionKind> pendingActionKind(std::string_view raw);
// The case name: "awaitingUser", "timedOut", ...
std::string_view rawValue(PendingActionStatus status);

// A request waiting for the user's decision while its bridge, and with it the agent, blocks.
struct PendingAction {
  std::string requestID;
  std::string agent;
  std::string sessionID;
  int32_t agentPID = 0;
  PendingActionKind kind = PendingActionKind::permissionRequest;
  Timestamp createdAt;
  int64_t timeoutSeconds = 0;
  HookRequestPayload payload;
  PendingActionStatus status = PendingActionStatus::awaitingUser;

  // Whether this request asks again what `older` asked: the same agent, session and kind, and
  // the same tool call (the same tool use id, or without one the same tool and input). Parallel
  // tool calls of one session each wait for their own decision.
  bool repeats(const PendingAction& older) const;
  bool operator==(const PendingAction&) const = default;
};

// Payload extras the hook bridges fill from the agent's tool call.
namespace PayloadExtra {
inline constexpr const char* kToolUseID = "tool_use_id";
inline constexpr const char* kToolInputDigest = "tool_input_sha256";
inline constexpr const char* kFilePath = "file_path";
}  // namespace PayloadExtra

// The extra under `key`, absent when missing or empty.
std::optional<std::string> payloadExtra(const HookRequestPayload& payload, const char* key);

// Builds the action for a request of a known kind, arriving now.
PendingAction makePendingAction(const HookRequest& request, PendingActionKind kind,
                                Timestamp createdAt);

struct UserDecision {
  enum class Verb { allow, deny, choice, input };
  enum class Mode { once, always };
  Verb verb = Verb::allow;
  Mode mode = Mode::once;
  std::optional<std::string> optionID;
  std::optional<std::string> text;
  bool operator==(const UserDecision&) const = default;
};

std::string_view rawValue(UserDecision::Verb verb);
std::string_view rawValue(UserDecision::Mode mode);

}  // namespace glimmet
