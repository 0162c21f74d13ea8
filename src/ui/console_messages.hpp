#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/app_command.hpp"
#include "model/island_message.hpp"

namespace glimmet {

// The console's buttons for inbox messages: each printed inbox numbers its messages m1, m2, ...
// (apart from the [#N] numbers of waiting requests), and typed commands act on them by that
// number. Returns text instead of printing it. Loop thread only.
class ConsoleMessages {
 public:
  static constexpr const char* kCommandHelp =
      "Inbox: jump mN | act mN ROLE | act mN send_input TEXT... | choose mN OPTION-ID [NOTE...]\n"
      "mN is the number shown in [mN] in the inbox printed last. ROLE: authorize, reject,\n"
      "ignore, mark_read, jump, configure.\n";

  using Send = std::function<void(AppCommand, CommandDone)>;

  explicit ConsoleMessages(Send send) : send_(std::move(send)) {}

  // Remembers the messages of an inbox as it is printed: m1 is the first of them.
  void number(const std::vector<IslandMessage>& messages);
  // Whether the line is for a message: "jump" and "act", or "choose" with an mN.
  bool handles(const std::string& line) const;
  // The output of one command line: the action's result, or what is wrong with the line.
  std::string execute(const std::string& line);

 private:
  // The id of the message numbered by `token` ("m3"), else `token` itself as a message id.
  std::string messageID(const std::string& token, std::string& error) const;
  std::string send(const std::string& token, AppCommand command);

  Send send_;
  std::vector<std::string> messageIDs_;  // index + 1 is the number
};

}  // namespace glimmet
