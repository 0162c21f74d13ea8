#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/environment.hpp"
#include "base/time.hpp"
#include "model/message_types.hpp"
#include "model/response_channel.hpp"

namespace glimmet {

// What became of one submitted response: `message` is for the user on success, `error` the
// reason on failure.
struct MessageActionResult {
  bool succeeded = false;
  std::optional<std::string> message;
  std::optional<std::string> error;
};

// What a button of a message did, as the user reads it ("Authorized request", the failure text).
struct MessageActionOutcome {
  bool succeeded = false;
  std::string message;
};

// The shell a trusted response command runs in: `program`, then `options`, then the command
// line.
struct ResponseCommandShell {
  std::string program;
  std::vector<std::string> options;

  // /bin/zsh -lc on macOS. On Linux the user's zsh -lc when one is on PATH, so a command
  // written for a Mac finds the same login environment; else /bin/sh -c.
  static ResponseCommandShell forThisSystem(const Environment& environment);
};

// Sends a message's answer back to its agent through the message's response channel (a file,
// or a command when the adapter is trusted) and records a receipt for every attempt.
class MessageActionDispatcher {
 public:
  MessageActionDispatcher(
      ResponseReceiptStore& receipts, bool executeTrustedCommandChannels, double commandTimeout,
      ResponseCommandShell shell = ResponseCommandShell::forThisSystem(Environment::current()));

  // Blocks while a trusted command runs, at most `commandTimeout` seconds.
  MessageActionResult submit(const std::string& eventID, ResponseReceiptAction action,
                             const ResponseChannel& channel,
                             const std::optional<MessageOption>& option,
                             const std::optional<std::string>& note, Timestamp now);

  bool executeTrustedCommandChannels() const { return executeTrustedCommandChannels_; }
  double commandTimeout() const { return commandTimeout_; }

 private:
  // Empty on success, else the failure text.
  std::optional<std::string> runCommand(const std::string& command, const std::string& payload);
  MessageActionResult recordFailure(const std::string& eventID, ResponseReceiptAction action,
                                    Timestamp now, const std::string& error);

  ResponseReceiptStore& receipts_;
  bool executeTrustedCommandChannels_;
  double commandTimeout_;
  ResponseCommandShell shell_;
};

// The JSON an agent's adapter reads: sorted keys, compact. `decision` only for approve and
// reject; `note` only when it holds more than white space.
std::string responsePayload(const std::string& eventID, ResponseReceiptAction action,
                            const std::optional<MessageOption>& option,
                            const std::optional<std::string>& note, Timestamp now);

// `text` as one shell word in single quotes; each quote inside becomes '\''.
std::string singleQuotedShellWord(std::string_view text);

// A number of seconds as the user reads it in a time-out: 10 as "10.0", 2.5 as "2.5", 0.3 as
// "0.3" (the shortest text that reads back as the same double).
std::string secondsText(double seconds);

}  // namespace glimmet
