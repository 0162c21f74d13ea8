#include "store/message_action_dispatcher.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "base/json_values.hpp"
#include "base/text.hpp"
#include "integrations/app_locations.hpp"
#include "platform/captured_process.hpp"
#include "platform/file_system.hpp"

namespace glimmet {

namespace {

constexpr const char* kUntrustedCommandText =
    "Command response channels require a trusted adapter.";
constexpr const char* kNotImplementedText =
    "This response channel is declared but not implemented in this build.";
constexpr const char* kNoChannelText = "No response channel is available.";

}  // namespace

ResponseCommandShell ResponseCommandShell::forThisSystem(const Environment& environment) {
  if constexpr (kBuildPlatform == Platform::macOS) return {"/bin/zsh", {"-lc"}};
  if (auto zsh = executableInPath("zsh", environment)) return {*zsh, {"-lc"}};
  return {"/bin/sh", {"-c"}};
}

std::string responsePayload(const std::string& eventID, ResponseReceiptAction action,
                            const std::optional<MessageOption>& option,
                            const std::optional<std::string>& note, Timestamp now) {
  Json payload = {
      {"event_id", eventID},
      {"action", rawValue(action)},
      {"timestamp", formatIso8601(now)},
  };
  if (action == ResponseReceiptAction::approve) payload["decision"] = "allow";
  if (action == ResponseReceiptAction::reject) payload["decision"] = "deny";
  if (option) {
    payload["option_id"] = option->id;
    payload["option_label"] = option->label;
  }
  if (note && !trim(*note).empty()) payload["note"] = *note;
  // The object keeps its keys sorted; invalid UTF-8 from a typed note is replaced, not thrown.
  return payload.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string singleQuotedShellWord(std::string_view text) {
  return "'" + replaceAll(text, "'", "'\\''") + "'";
}

std::string secondsText(double seconds) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof(buffer), seconds).ptr;
  std::string text(buffer, end);
  if (std::isfinite(seconds) && text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

MessageActionDispatcher::MessageActionDispatcher(ResponseReceiptStore& receipts,
                                                 bool executeTrustedCommandChannels,
                                                 double commandTimeout, ResponseCommandShell shell)
    : receipts_(receipts),
      executeTrustedCommandChannels_(executeTrustedCommandChannels),
      commandTimeout_(commandTimeout),
      shell_(std::move(shell)) {}

MessageActionResult MessageActionDispatcher::submit(const std::string& eventID,
                                                    ResponseReceiptAction action,
                                                    const ResponseChannel& channel,
                                                    const std::optional<MessageOption>& option,
                                                    const std::optional<std::string>& note,
                                                    Timestamp now) {
  const std::string payload = responsePayload(eventID, action, option, note, now);
  using Kind = ResponseChannel::Kind;
  switch (channel.kind) {
    case Kind::decisionFile:
    case Kind::responseFile:
      // Written beside the target and renamed over it, so the adapter never reads half a
      // payload; the note is the user's own text, so only the user may read it.
      if (auto status = writeFileAtomically(channel.path, payload, 0600); !status) {
        return recordFailure(eventID, action, now, status.error());
      }
      break;
    case Kind::decisionCommand:
    case Kind::responseCommand:
      if (!executeTrustedCommandChannels_) {
        return recordFailure(eventID, action, now, kUntrustedCommandText);
      }
      if (auto error = runCommand(channel.command, payload)) {
        return recordFailure(eventID, action, now, *error);
      }
      break;
    case Kind::localSocket:
    case Kind::appServer:
      return recordFailure(eventID, action, now, kNotImplementedText);
    case Kind::none:
      return recordFailure(eventID, action, now, kNoChannelText);
  }
  receipts_.record(ResponseReceipt{eventID, action, ResponseReceiptStatus::submitted,
                                   formatIso8601(now), std::nullopt, std::nullopt});
  MessageActionResult result{true, std::nullopt, std::nullopt};
  if (action == ResponseReceiptAction::chooseOption) result.message = "Response sent";
  return result;
}

std::optional<std::string> MessageActionDispatcher::runCommand(const std::string& command,
                                                               const std::string& payload) {
  if (!(commandTimeout_ > 0)) return "Response command timed out before execution";
  ProcessRequest request;
  request.argv.push_back(shell_.program);
  request.argv.insert(request.argv.end(), shell_.options.begin(), shell_.options.end());
  request.argv.push_back(command + " " + singleQuotedShellWord(payload));
  const double milliseconds = std::floor(commandTimeout_ * 1000);
  request.timeout = std::chrono::milliseconds(
      static_cast<int64_t>(std::clamp(milliseconds, 1.0, static_cast<double>(INT32_MAX))));
  const CapturedProcessResult result = runCapturedProcess(request);
  if (result.launchError) return *result.launchError;
  if (result.timedOut) {
    return fmt::format("Response command timed out after {} seconds", secondsText(commandTimeout_));
  }
  if (result.exitCode != 0) {
    return fmt::format("Response command exited with status {}", result.exitCode);
  }
  return std::nullopt;
}

MessageActionResult MessageActionDispatcher::recordFailure(const std::string& eventID,
                                                           ResponseReceiptAction action,
                                                           Timestamp now,
                                                           const std::string& error) {
  receipts_.record(ResponseReceipt{eventID, action, ResponseReceiptStatus::failed,
                                   formatIso8601(now), std::nullopt, error});
  return {false, std::nullopt, error};
}

}  // namespace glimmet
