#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/time.hpp"
#include "model/glimmet_event.hpp"
#include "model/jump_target.hpp"
#include "model/message_types.hpp"
#include "model/response_channel.hpp"
#include "model/tool_catalog.hpp"

namespace glimmet {

struct IslandButton {
  std::string label;
  std::string role;  // the wire name of the action ("authorize", "reject", "choose_option", ...)
  bool operator==(const IslandButton&) const = default;
};

// The drawable form of one message, shared by the capsule, the panel, the companion and
// notifications.
struct IslandMessage {
  GlimmetEvent event;                 // the newest event, which speaks for the group
  std::vector<std::string> eventIDs;  // the whole group's, newest first
  std::string tool;                   // display name
  std::string sourceType;
  RGBColor toolColor;
  std::string badge;
  std::string title;
  std::string detail;
  MessagePreview preview;
  std::string time;  // "5m ago"
  std::optional<MessageRisk> risk;
  RGBColor accent;
  RGBColor fill;
  std::vector<IslandButton> buttons;
  std::optional<UserFacingMessage> normalized;
  std::vector<MessageOption> choiceOptions;
  ResponseChannel responseChannel;  // where the message's answers go; `none` when there is none
  std::optional<ResolvedJumpTarget> jump;
  bool operator==(const IslandMessage&) const = default;
};

using JumpLookup = std::function<std::optional<ResolvedJumpTarget>(const GlimmetEvent&)>;

// "now" for unknown, distant-past and future times; else "42s ago", "5m ago", "3h ago", "2d ago".
std::string relativeTime(const GlimmetEvent& event, Timestamp now);

// The wire name of an action: "authorize" for approve, otherwise the role's raw value.
std::string buttonRole(MessageActionRole role);

// The colours of a message card: the accent marks what the message wants (and, for an
// approval, how risky it is); the fill is a dark tint of it behind the card.
RGBColor messageAccent(MessageIntent intent, const std::optional<MessageRisk>& risk,
                       const GlimmetEvent& event);
RGBColor messageFill(const RGBColor& accent);

// Normalizes a group (newest first), resolves the jump of its newest event through `jumpFor`
// (an empty function resolves nothing) and builds its buttons.
IslandMessage makeIslandMessage(const std::vector<GlimmetEvent>& group,
                                const std::set<std::string>& readIDs, const JumpLookup& jumpFor,
                                Timestamp now);
// The same from the group's newest event and the ids of all its events, newest first.
IslandMessage makeIslandMessage(const GlimmetEvent& newest, std::vector<std::string> groupIDs,
                                const std::set<std::string>& readIDs, const JumpLookup& jumpFor,
                                Timestamp now);

}  // namespace glimmet
