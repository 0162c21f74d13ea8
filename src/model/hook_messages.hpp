#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"

namespace glimmet {

// One choice of a "waiting_choice" request.
struct HookRequestOption {
  std::string id;
  std::string label;
  std::optional<std::string> detail;

  bool operator==(const HookRequestOption&) const = default;
};

// What the agent's hook handed to its bridge; every field may be absent.
struct HookRequestPayload {
  std::optional<std::string> tool;
  std::optional<std::string> command;
  std::optional<std::string> cwd;
  std::optional<std::string> transcriptPath;
  std::optional<std::string> prompt;
  std::optional<bool> multiline;
  std::optional<std::vector<HookRequestOption>> options;
  std::optional<std::map<std::string, std::string>> extras;

  bool operator==(const HookRequestPayload&) const = default;
};

// One request line a bridge sends over the socket.
struct HookRequest {
  int64_t v = 1;
  std::string type = "hook.request";
  std::string requestID;
  std::string agent;
  std::string sessionID;
  int32_t agentPID = 0;
  std::string kind;
  int64_t timeoutSeconds = 0;
  HookRequestPayload payload;

  bool operator==(const HookRequest&) const = default;
};

// The one reply line written back for a request.
struct HookReply {
  int64_t v = 1;
  std::string type = "hook.reply";
  std::string requestID;
  std::string decision;
  std::string mode = "once";
  std::string rawAgentPayload = "{}";

  bool operator==(const HookReply&) const = default;
};

// A reply the application makes by itself (time-out, agent exit, supersession).
HookReply storeReply(std::string requestID, std::string decision);

// Decoding accepts each key in snake case, then camel case, and converts neighbouring scalar
// types; a missing required key or an unusable value is an error naming the key.
Result<HookRequest> decodeHookRequest(std::string_view json);
Result<HookReply> decodeHookReply(std::string_view json);

// Compact JSON with sorted keys, without a line feed.
std::string encodeHookRequest(const HookRequest& request);
std::string encodeHookReply(const HookReply& reply);

}  // namespace glimmet
