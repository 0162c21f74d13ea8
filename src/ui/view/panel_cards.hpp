#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/app_command.hpp"
#include "app/app_snapshot.hpp"
#include "base/time.hpp"
#include "ui/view/geometry.hpp"

namespace glimmet {

// Roles of the panel's own targets, beside the card buttons' action roles.
namespace TargetRole {
inline constexpr const char* kQuit = "quit";
inline constexpr const char* kSettings = "settings";
inline constexpr const char* kClearPage = "clear_page";
inline constexpr const char* kClearAll = "clear_all";
inline constexpr const char* kUsageTool = "usage_tool";
inline constexpr const char* kAuthorize = "authorize";
inline constexpr const char* kAlways = "always";
inline constexpr const char* kReject = "reject";
inline constexpr const char* kJump = "jump";
inline constexpr const char* kIgnore = "ignore";
inline constexpr const char* kMarkRead = "mark_read";
// Opens or closes the card's choice body (the options, or the reply field).
inline constexpr const char* kChooseOption = "choose_option";
inline constexpr const char* kChooseOptionPrefix = "choose_option:";
inline constexpr const char* kSendInput = "send_input";
inline constexpr const char* kNote = "note";
inline constexpr const char* kChoiceBody = "choice_body";
}  // namespace TargetRole

struct CardButton {
  std::string label;
  std::string role;
  bool requiresConfirmation = false;
  bool operator==(const CardButton&) const = default;
};

struct ChoicePill {
  std::string optionID;
  std::string label;
  bool enabled = true;
  std::optional<MessageRisk> risk;
  bool operator==(const ChoicePill&) const = default;
};

// One card of the panel: an inbox message (carrying the buttons of the request it reports, when
// an agent waits on it), or a waiting request no message reports yet.
struct PanelCard {
  // The message's id (its event's), or the request id for a card of a request alone.
  std::string id;
  std::optional<std::string> messageID;
  std::optional<std::string> requestID;
  std::string tool;
  Color toolColor;
  std::string badge;
  std::string title;
  std::string detail;
  std::string previewUser;
  std::string previewAgent;
  std::string time;
  std::optional<MessageRisk> risk;
  Color accent;
  Color fill;
  bool unread = false;
  bool asksUser = false;
  std::vector<CardButton> buttons;
  // The choice body: option pills, and a note (or, for a text request, the reply field).
  std::vector<ChoicePill> options;
  bool textInput = false;
  bool noteEnabled = false;
  std::string notePlaceholder;
  size_t noteMaxLength = 500;

  bool hasChoiceBody() const { return !options.empty() || textInput; }
  const CardButton* button(const std::string& role) const;
  bool operator==(const PanelCard&) const = default;
};

// Waiting requests no message reports (oldest first, an agent is blocked on each), then the
// inbox messages, newest first.
std::vector<PanelCard> panelCards(const AppSnapshot& snapshot, Timestamp now);

// What a click on `role` of `card` asks the core to do, with `note` the text typed into the
// card's note or reply field; none when the click decides nothing by itself (opening the choice
// body, an empty reply).
std::optional<AppCommand> cardCommand(const PanelCard& card, const std::string& role,
                                      const std::string& note);

}  // namespace glimmet
