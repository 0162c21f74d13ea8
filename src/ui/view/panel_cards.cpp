#include "ui/view/panel_cards.hpp"

#include "base/text.hpp"
#include "model/agent_dialect.hpp"
#include "model/notification_text.hpp"
#include "model/tool_names.hpp"
#include "ui/view/request_matching.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

using namespace TargetRole;

bool decidesRequest(const std::string& role) {
  return role == kAuthorize || role == kReject || role == kChooseOption || role == kSendInput;
}

// The footer buttons of a message, as the normalized form places them.
std::vector<CardButton> messageFooterButtons(const IslandMessage& message) {
  std::vector<CardButton> buttons;
  if (!message.normalized) {
    for (const auto& button : message.buttons) buttons.push_back({button.label, button.role});
    return buttons;
  }
  for (const auto& action : message.normalized->actions) {
    if (action.placement != MessageActionPlacement::cardFooter || !action.enabled) continue;
    const std::string role = buttonRole(action.role);
    const std::string label =
        action.role == MessageActionRole::approve ? "Authorize" : action.label;
    buttons.push_back({label, role, action.requiresConfirmation});
  }
  return buttons;
}

bool authorizeNeedsConfirmation(const std::vector<CardButton>& buttons) {
  for (const auto& button : buttons) {
    if (button.role == kAuthorize) return button.requiresConfirmation;
  }
  return false;
}

std::optional<MessageRisk> requestRisk(const PendingAction& request) {
  if (!request.payload.extras) return std::nullopt;
  const auto found = request.payload.extras->find("risk");
  if (found == request.payload.extras->end()) return std::nullopt;
  return messageRiskFromText(found->second);
}

// The buttons the request's kind allows, in the order the user reads them.
std::vector<CardButton> requestButtons(const PendingAction& request, bool confirm) {
  switch (request.kind) {
    case PendingActionKind::permissionRequest: {
      std::vector<CardButton> buttons{{"Authorize", kAuthorize, confirm}};
      if (offersAlwaysAllow(request.agent)) buttons.push_back({"Always", kAlways, confirm});
      buttons.push_back({"Deny", kReject, false});
      return buttons;
    }
    case PendingActionKind::waitingChoice:
      return {{"Choose", kChooseOption, false}};
    case PendingActionKind::waitingInput:
      return {{"Reply", kSendInput, false}, {"Deny", kReject, false}};
  }
  return {};
}

std::vector<ChoicePill> requestOptions(const PendingAction& request) {
  std::vector<ChoicePill> pills;
  if (request.kind != PendingActionKind::waitingChoice || !request.payload.options) return pills;
  for (const auto& option : *request.payload.options) {
    pills.push_back({option.id, option.label.empty() ? option.id : option.label, true, {}});
  }
  return pills;
}

std::vector<ChoicePill> messageOptions(const IslandMessage& message) {
  std::vector<ChoicePill> pills;
  const std::vector<MessageOption>* options = &message.choiceOptions;
  if (options->empty() && message.normalized && message.normalized->interaction &&
      message.normalized->interaction->kind == MessageInteraction::Kind::choice) {
    options = &message.normalized->interaction->options;
  }
  for (const auto& option : *options) {
    pills.push_back({option.id, option.label.empty() ? option.id : option.label,
                     !option.disabledReason, option.risk});
  }
  return pills;
}

void applyRequest(PanelCard& card, const PendingAction& request) {
  card.requestID = request.requestID;
  card.asksUser = true;
  card.textInput = request.kind == PendingActionKind::waitingInput;
  if (card.textInput) {
    card.noteEnabled = true;
    card.notePlaceholder = "Reply";
  }
  const auto requestPills = requestOptions(request);
  if (!requestPills.empty()) card.options = requestPills;
}

std::string requestDetail(const PendingAction& request) {
  if (request.payload.command && !request.payload.command->empty()) {
    return "Run: " + *request.payload.command;
  }
  if (const auto path = payloadExtra(request.payload, PayloadExtra::kFilePath)) {
    return (request.payload.tool ? *request.payload.tool + " " : std::string()) + *path;
  }
  return notificationText(request).body;
}

PanelCard requestCard(const PendingAction& request, Timestamp now) {
  PanelCard card;
  card.id = request.requestID;
  card.tool = toolDisplayName(request.agent);
  card.toolColor = toColor(toolColor(canonicalToolID(request.agent)));
  card.badge = "Waiting";
  card.title = notificationText(request).title;
  card.detail = requestDetail(request);
  if (request.payload.cwd) card.previewAgent = *request.payload.cwd;
  GlimmetEvent created;
  created.timestamp = request.createdAt;
  card.time = relativeTime(created, now);
  card.risk = requestRisk(request);
  card.accent = card.risk == MessageRisk::high     ? ViewColors::kErrorRed
                : card.risk == MessageRisk::medium ? ViewColors::kUsageOrange
                                                   : ViewColors::kApprovalAmber;
  card.fill = card.accent.withAlpha(0.14);
  card.unread = true;
  card.buttons = requestButtons(request, card.risk == MessageRisk::high);
  applyRequest(card, request);
  return card;
}

PanelCard messageCard(const IslandMessage& message, const PendingAction* request) {
  PanelCard card;
  card.id = message.event.id;
  card.messageID = message.event.id;
  card.tool = message.tool;
  card.toolColor = toColor(message.toolColor);
  card.badge = message.badge;
  card.title = message.title;
  card.detail = message.detail;
  card.previewUser = message.preview.user;
  card.previewAgent = message.preview.agent;
  card.time = message.time;
  card.risk = message.risk;
  card.accent = toColor(message.accent);
  card.fill = toColor(message.fill);
  card.unread = !message.normalized || message.normalized->readState == MessageReadState::unread;
  card.asksUser = messageAsksUser(message);
  card.options = messageOptions(message);
  if (message.normalized && message.normalized->interaction) {
    const auto& interaction = *message.normalized->interaction;
    card.noteEnabled = interaction.note.enabled;
    card.notePlaceholder = interaction.note.placeholder;
    if (interaction.note.maxLength > 0) {
      card.noteMaxLength = static_cast<size_t>(interaction.note.maxLength);
    }
  }
  std::vector<CardButton> footer = messageFooterButtons(message);
  if (request) {
    // The request's own buttons answer the agent; the message keeps those that decide nothing.
    std::vector<CardButton> buttons = requestButtons(
        *request, authorizeNeedsConfirmation(footer) || message.risk == MessageRisk::high);
    for (const auto& button : footer) {
      if (!decidesRequest(button.role)) buttons.push_back(button);
    }
    card.buttons = std::move(buttons);
    applyRequest(card, *request);
  } else {
    if (!card.options.empty()) card.buttons.push_back({"Choose", kChooseOption, false});
    for (auto& button : footer) {
      if (button.role != kChooseOption) card.buttons.push_back(std::move(button));
    }
  }
  return card;
}

}  // namespace

const CardButton* PanelCard::button(const std::string& role) const {
  for (const auto& candidate : buttons) {
    if (candidate.role == role) return &candidate;
  }
  return nullptr;
}

std::vector<PanelCard> panelCards(const AppSnapshot& snapshot, Timestamp now) {
  const auto carried = requestsCarriedByMessages(snapshot.messages, snapshot.waitingRequests);
  std::vector<bool> reported(snapshot.waitingRequests.size(), false);
  for (const auto& index : carried) {
    if (index) reported[*index] = true;
  }
  std::vector<PanelCard> cards;
  for (size_t r = 0; r < snapshot.waitingRequests.size(); ++r) {
    const PendingAction& request = snapshot.waitingRequests[r];
    if (reported[r] || request.status != PendingActionStatus::awaitingUser) continue;
    cards.push_back(requestCard(request, now));
  }
  for (size_t m = 0; m < snapshot.messages.size(); ++m) {
    const PendingAction* request = carried[m] ? &snapshot.waitingRequests[*carried[m]] : nullptr;
    cards.push_back(messageCard(snapshot.messages[m], request));
  }
  return cards;
}

std::optional<AppCommand> cardCommand(const PanelCard& card, const std::string& role,
                                      const std::string& note) {
  const bool choosing = startsWith(role, kChooseOptionPrefix);
  const std::string trimmedNote = trim(note);
  if (card.requestID) {
    const std::string& id = *card.requestID;
    if (role == kAuthorize) return Command::Decide{id, allowDecision(UserDecision::Mode::once)};
    if (role == kAlways) return Command::Decide{id, allowDecision(UserDecision::Mode::always)};
    if (role == kReject) return Command::Decide{id, denyDecision()};
    if (choosing) {
      UserDecision decision =
          choiceDecision(role.substr(std::string_view(kChooseOptionPrefix).size()));
      if (!trimmedNote.empty()) decision.text = trimmedNote;
      return Command::Decide{id, std::move(decision)};
    }
    if (role == kSendInput) {
      if (trimmedNote.empty()) return std::nullopt;
      return Command::Decide{id, replyDecision(trimmedNote)};
    }
  }
  if (role == kChooseOption || role == kNote || role == kChoiceBody) return std::nullopt;
  if (!card.messageID) return std::nullopt;
  if (role == kIgnore) return Command::Hide{*card.messageID};
  if (role == kMarkRead) return Command::MarkRead{*card.messageID};
  return Command::PerformMessageAction{*card.messageID, role};
}

}  // namespace glimmet
