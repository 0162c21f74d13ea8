#include "ui/console_messages.hpp"

#include <memory>

#include <fmt/format.h>

#include "base/text.hpp"
#include "ui/console_words.hpp"

namespace glimmet {

namespace {

// "m" and one to nine digits; the number, or 0 for anything else.
size_t messageNumber(const std::string& token) {
  if (token.size() < 2 || token.size() > 10 || token[0] != 'm') return 0;
  size_t number = 0;
  for (size_t i = 1; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return 0;
    number = number * 10 + static_cast<size_t>(token[i] - '0');
  }
  return number;
}

bool looksLikeMessageNumber(const std::string& token) {
  return token.size() >= 2 && token[0] == 'm' && token[1] >= '0' && token[1] <= '9';
}

}  // namespace

void ConsoleMessages::number(const std::vector<IslandMessage>& messages) {
  messageIDs_.clear();
  for (const auto& message : messages) messageIDs_.push_back(message.event.id);
}

bool ConsoleMessages::handles(const std::string& line) const {
  const auto parts = consoleWords(line);
  if (parts.empty()) return false;
  const std::string& verb = parts[0].text;
  if (verb == "jump" || verb == "act") return true;
  return verb == "choose" && parts.size() >= 2 && looksLikeMessageNumber(parts[1].text);
}

std::string ConsoleMessages::messageID(const std::string& token, std::string& error) const {
  if (!looksLikeMessageNumber(token)) return token;
  const size_t n = messageNumber(token);
  if (n == 0 || n > messageIDs_.size()) {
    error = fmt::format("[Glimmet] no message {}\n", terminalSafe(token));
    return {};
  }
  return messageIDs_[n - 1];
}

std::string ConsoleMessages::execute(const std::string& line) {
  const auto parts = consoleWords(line);
  if (parts.empty()) return {};
  const std::string& verb = parts[0].text;
  if (parts.size() < 2) return fmt::format("[Glimmet] {} needs a message number (mN)\n", verb);
  std::string error;
  const std::string id = messageID(parts[1].text, error);
  if (!error.empty()) return error;
  const std::string& token = parts[1].text;
  if (verb == "jump") {
    if (parts.size() != 2) return "[Glimmet] usage: jump mN\n";
    return send(token, Command::PerformMessageAction{id, "jump"});
  }
  if (verb == "choose") {
    if (parts.size() < 3) return "[Glimmet] usage: choose mN OPTION-ID [NOTE...]\n";
    std::optional<std::string> note;
    if (parts.size() > 3) note = consoleRestOfLine(line, parts[3].start);
    return send(token, Command::ChooseMessageOption{id, parts[2].text, note});
  }
  if (parts.size() < 3) return "[Glimmet] usage: act mN ROLE\n";
  const std::string& role = parts[2].text;
  if (role == "send_input") {
    if (parts.size() < 4) return "[Glimmet] usage: act mN send_input TEXT...\n";
    return send(token, Command::SendMessageInput{id, consoleRestOfLine(line, parts[3].start)});
  }
  if (role == "choose_option") return "[Glimmet] use: choose mN OPTION-ID [NOTE...]\n";
  if (parts.size() != 3) return "[Glimmet] usage: act mN ROLE\n";
  return send(token, Command::PerformMessageAction{id, role});
}

std::string ConsoleMessages::send(const std::string& token, AppCommand command) {
  // Commands sent on the loop thread run at once, so the result is known on return.
  auto out = std::make_shared<std::string>();
  send_(std::move(command), [out, token](const CommandResult& result) {
    const std::string text = result.message.empty() ? "done" : terminalSafe(result.message);
    *out =
        fmt::format("[Glimmet] {}: {}{}\n", terminalSafe(token), result.ok ? "" : "failed: ", text);
  });
  return *out;
}

}  // namespace glimmet
