#include "ui/console_inbox.hpp"

#include <fmt/format.h>

#include "base/text.hpp"

namespace glimmet {

// Every field is text an agent wrote, or derived from it: each is shown on its own line with
// nothing that could drive the terminal.
std::string formatMessageText(const IslandMessage& message, const std::string& label) {
  std::string text = label.empty() ? std::string() : fmt::format("[{}] ", label);
  text += fmt::format("{} · {} · {}", terminalSafe(message.tool), terminalSafe(message.badge),
                      terminalSafe(message.time));
  if (message.risk) text += fmt::format(" · risk {}", rawValue(*message.risk));
  text += fmt::format("\n  {}", terminalSafe(message.title));
  if (!message.detail.empty()) text += fmt::format("\n  {}", terminalSafe(message.detail));
  if (!message.buttons.empty()) {
    text += "\n  ";
    for (size_t i = 0; i < message.buttons.size(); ++i) {
      text += fmt::format("{}[{}]", i == 0 ? "" : " ", terminalSafe(message.buttons[i].label));
    }
  }
  return text + "\n";
}

std::string formatInboxBlock(const std::vector<IslandMessage>& messages, int approvalCount,
                             bool numbered) {
  std::string block = fmt::format("── Glimmet · {} message{} · {} waiting for approval ──\n",
                                  messages.size(), messages.size() == 1 ? "" : "s", approvalCount);
  if (messages.empty()) block += "All clear · waiting for agent events\n";
  for (size_t i = 0; i < messages.size(); ++i) {
    block += formatMessageText(messages[i], numbered ? fmt::format("m{}", i + 1) : std::string());
  }
  return block;
}

}  // namespace glimmet
