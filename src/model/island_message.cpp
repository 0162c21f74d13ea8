#include "model/island_message.hpp"

#include <chrono>
#include <cmath>

#include "model/message_normalizer.hpp"
#include "model/reminder_policy.hpp"
#include "model/tool_names.hpp"
#include "model/usage_date.hpp"

namespace glimmet {

namespace {

// The pet and status palette, so that a card, the capsule and the pet agree on what a colour
// means: amber waits for the user, violet works, green is done, red went wrong, orange is
// about quota.
constexpr RGBColor kWaitingAmber{245, 179, 1};
constexpr RGBColor kQuotaOrange{255, 155, 61};
constexpr RGBColor kErrorRed{255, 77, 94};
constexpr RGBColor kWorkingViolet{139, 92, 246};
constexpr RGBColor kDoneGreen{0, 214, 163};
constexpr RGBColor kPlanBlue{100, 160, 255};
constexpr RGBColor kJumpBlue{10, 132, 255};
constexpr RGBColor kQuietGrey{142, 142, 147};

// Cards sit on the black capsule: a faint wash of the accent over near-black.
constexpr RGBColor kCardBase{24, 24, 27};
constexpr double kFillAccentShare = 0.22;

bool waitsForUser(MessageIntent intent) {
  return intent == MessageIntent::permissionRequest || intent == MessageIntent::choiceRequest ||
         intent == MessageIntent::inputRequest || intent == MessageIntent::planReview;
}

std::optional<Timestamp> eventTime(const GlimmetEvent& event) {
  if (event.timestamp != kDistantPast) return event.timestamp;
  const auto parsed = parseUsageDate(event.rawTimestamp);
  if (!parsed || *parsed == kDistantPast) return std::nullopt;
  return parsed;
}

int mixChannel(int base, int accent) {
  return static_cast<int>(std::lround(base + (accent - base) * kFillAccentShare));
}

}  // namespace

std::string relativeTime(const GlimmetEvent& event, Timestamp now) {
  const auto time = eventTime(event);
  if (!time) return "now";
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - *time).count();
  const long long seconds = elapsed < 0 ? 0 : static_cast<long long>(elapsed);
  if (seconds < 60) return std::to_string(seconds) + "s ago";
  if (seconds < 3600) return std::to_string(seconds / 60) + "m ago";
  if (seconds < 86400) return std::to_string(seconds / 3600) + "h ago";
  return std::to_string(seconds / 86400) + "d ago";
}

std::string buttonRole(MessageActionRole role) {
  if (role == MessageActionRole::approve) return "authorize";
  return rawValue(role);
}

RGBColor messageAccent(MessageIntent intent, const std::optional<MessageRisk>& risk,
                       const GlimmetEvent& event) {
  if (waitsForUser(intent)) {
    if (risk == MessageRisk::high) return kErrorRed;
    if (risk == MessageRisk::medium) return kQuotaOrange;
    return intent == MessageIntent::planReview ? kPlanBlue : kWaitingAmber;
  }
  switch (intent) {
    case MessageIntent::taskResult:
      switch (eventTaskOutcome(event)) {
        case TaskOutcome::failed:
          return kErrorRed;
        case TaskOutcome::cancelled:
          return kQuietGrey;
        case TaskOutcome::none:
          break;
      }
      return kDoneGreen;
    case MessageIntent::usageAlert:
      return kQuotaOrange;
    case MessageIntent::jumpNotice:
      return kJumpBlue;
    case MessageIntent::integrationNotice:
      return kQuietGrey;
    default:
      return kWorkingViolet;
  }
}

RGBColor messageFill(const RGBColor& accent) {
  return {mixChannel(kCardBase.red, accent.red), mixChannel(kCardBase.green, accent.green),
          mixChannel(kCardBase.blue, accent.blue)};
}

IslandMessage makeIslandMessage(const std::vector<GlimmetEvent>& group,
                                const std::set<std::string>& readIDs, const JumpLookup& jumpFor,
                                Timestamp now) {
  if (group.empty()) return {};
  std::vector<std::string> groupIDs;
  groupIDs.reserve(group.size());
  for (const auto& member : group) groupIDs.push_back(member.id);
  return makeIslandMessage(group.front(), std::move(groupIDs), readIDs, jumpFor, now);
}

IslandMessage makeIslandMessage(const GlimmetEvent& event, std::vector<std::string> groupIDs,
                                const std::set<std::string>& readIDs, const JumpLookup& jumpFor,
                                Timestamp now) {
  IslandMessage message;
  message.eventIDs = groupIDs;
  UserFacingMessage normalized = MessageNormalizer::normalize(event, std::move(groupIDs), readIDs);
  if (jumpFor) normalized.jump = jumpFor(event);

  message.event = event;
  message.tool = normalized.toolLabel;
  message.sourceType = event.sourceType;
  message.toolColor = toolColor(normalized.toolID);
  message.badge = normalized.badge;
  message.title = normalized.title;
  message.detail = normalized.detail;
  message.preview = normalized.preview;
  message.time = relativeTime(event, now);
  message.risk = normalized.risk;
  message.accent = messageAccent(normalized.intent, normalized.risk, event);
  message.fill = messageFill(message.accent);
  for (const auto& action : normalized.actions) {
    const std::string label =
        action.role == MessageActionRole::approve ? "Authorize" : action.label;
    message.buttons.push_back({label, buttonRole(action.role)});
  }
  message.choiceOptions = event.choiceOptions;
  message.responseChannel = MessageNormalizer::classify(event).channel;
  message.jump = normalized.jump;
  message.normalized = std::move(normalized);
  return message;
}

}  // namespace glimmet
