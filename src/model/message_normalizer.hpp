#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/glimmet_event.hpp"
#include "model/message_types.hpp"
#include "model/response_channel.hpp"

namespace glimmet {

// What an event asks of the user and through which channel an answer can reach its agent.
struct MessageClassification {
  MessageIntent intent = MessageIntent::taskStatus;
  MessageCategory category = MessageCategory::lifecycle;
  ResponseChannel channel;  // `none` unless the message waits for a human who can answer it
};

// Turns a group of events into the tool-independent message the user sees.
class MessageNormalizer {
 public:
  // The message of one group, newest event first; its newest event speaks for the group. The
  // message is read once every event of the group has been read.
  static UserFacingMessage normalize(const std::vector<GlimmetEvent>& group,
                                     const std::set<std::string>& readIDs);
  // The same from the group's newest event and the ids of all its events, newest first.
  static UserFacingMessage normalize(const GlimmetEvent& newest, std::vector<std::string> groupIDs,
                                     const std::set<std::string>& readIDs);

  static MessageClassification classify(const GlimmetEvent& event);

  // The actions offered for a message, in display order. Approve and Reject are offered only
  // when the answer can be delivered through a file; otherwise the user jumps to the agent.
  static std::vector<MessageActionSpec> actions(
      MessageIntent intent, const GlimmetEvent& event, const ResponseChannel& channel,
      const std::optional<MessageInteraction>& interaction);

  // "Bash · npm test · pid: 42 · session: 0123abcd...": the facts that locate the agent.
  static std::string detailText(const GlimmetEvent& event);

  // The options or text field of a choice or input request; absent for every other intent.
  static std::optional<MessageInteraction> interaction(MessageIntent intent,
                                                       const GlimmetEvent& event,
                                                       const ResponseChannel& channel);

  static std::string badge(MessageIntent intent, const GlimmetEvent& event);
  static int priority(MessageIntent intent, const GlimmetEvent& event);
};

}  // namespace glimmet
