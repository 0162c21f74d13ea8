#include "ui/console_inbox.hpp"

#include <fmt/format.h>

namespace glimmet {

std::string formatMessageText(const IslandMessage& message) {
  std::string text = fmt::format("{} · {} · {}", message.tool, message.badge, message.time);
  if (message.risk) text += fmt::format(" · risk {}", rawValue(*message.risk));
  text += fmt::format("\n  {}", message.title);
  if (!message.detail.empty()) text += fmt::format("\n  {}", message.detail);
  if (!message.buttons.empty()) {
    text += "\n  ";
    for (size_t i = 0; i < message.buttons.size(); ++i) {
      text += fmt::format("{}[{}]", i == 0 ? "" : " ", message.buttons[i].label);
    }
  }
  return text + "\n";
}

std::string formatInboxBlock(const std::vector<IslandMessage>& messages, int approvalCount) {
  std::string block = fmt::format("── Glimmet · {} message{} · {} waiting for approval ──\n",
                                  messages.size(), messages.size() == 1 ? "" : "s", approvalCount);
  if (messages.empty()) block += "All clear · waiting for agent events\n";
  for (const auto& message : messages) block += formatMessageText(message);
  return block;
}

}  // namespace glimmet
