#include "ui/view/collapsed_ticker.hpp"

#include <cctype>

#include "base/text.hpp"
#include "model/tool_catalog.hpp"
#include "model/tool_names.hpp"
#include "model/usage_brands.hpp"
#include "ui/view/request_matching.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

// Texts the event bridge writes when it knows only that a turn ended; they say nothing.
constexpr const char* kLifecyclePlaceholder = "Lifecycle event captured locally.";
constexpr const char* kTurnPlaceholder =
    "Turn complete. Prompt and response text were not stored by Glimmet.";

bool isCompletion(const IslandMessage& message) {
  return message.event.eventType == EventType::taskCompleted;
}

std::string messageLabel(const IslandMessage& message) {
  if (!message.title.empty()) return message.title;
  if (!message.detail.empty()) return message.detail;
  return message.badge;
}

std::string completionLabel(const IslandMessage& message) {
  const GlimmetEvent& event = message.event;
  if (event.completionSnippet && !event.completionSnippet->empty()) {
    return *event.completionSnippet;
  }
  if (!event.message.empty() && event.message != kLifecyclePlaceholder &&
      event.message != kTurnPlaceholder) {
    return event.message;
  }
  return "Done";
}

CollapsedTickerDisplay approvalEntry(std::string tool) {
  return {CollapsedTickerKind::approval,
          std::move(tool),
          kNeedApproveLabel,
          ViewColors::kApprovalAmber,
          std::nullopt,
          false,
          0};
}

// A brand wears the colour of its first tool ("Codex" that of the Codex CLI).
RGBColor brandColor(const std::string& brand) {
  const auto ids = usageToolIDs(brand);
  return toolColor(ids.empty() ? brand : ids.front());
}

bool isWordCharacter(unsigned char c) {
  return c >= 0x80 || std::isalnum(c);
}

// The words of a label: runs of letters and digits (any non-ASCII character counts as a letter,
// so accented and non-Latin words stay whole).
std::vector<std::string> labelWords(std::string_view label) {
  std::vector<std::string> words;
  std::string current;
  for (const char c : label) {
    if (isWordCharacter(static_cast<unsigned char>(c))) {
      current += c;
    } else if (!current.empty()) {
      words.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) words.push_back(std::move(current));
  return words;
}

// "42%" tokens: digits (with an optional decimal part) directly followed by a percent sign.
struct PercentToken {
  size_t position;
  std::string text;
};

std::optional<PercentToken> firstPercentToken(std::string_view label) {
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] != '%') continue;
    size_t start = i;
    while (start > 0 && (std::isdigit(static_cast<unsigned char>(label[start - 1])) ||
                         label[start - 1] == '.')) {
      --start;
    }
    while (start < i && label[start] == '.') ++start;
    if (start == i) continue;
    return PercentToken{start, std::string(label.substr(start, i - start + 1))};
  }
  return std::nullopt;
}

std::optional<std::string> windowOfWord(const std::string& word) {
  static const char* const kFiveHour[] = {"5h", "5hr", "5hrs", "5hour", "5hours", "hour", "hours"};
  static const char* const kSevenDay[] = {"7d", "7day", "7days", "weekly", "week", "days"};
  for (const char* candidate : kFiveHour) {
    if (word == candidate) return "5h";
  }
  for (const char* candidate : kSevenDay) {
    if (word == candidate) return "7d";
  }
  return std::nullopt;
}

}  // namespace

const char* rawValue(CollapsedTickerKind kind) {
  switch (kind) {
    case CollapsedTickerKind::approval:
      return "approval";
    case CollapsedTickerKind::message:
      return "message";
    case CollapsedTickerKind::completion:
      return "completion";
    case CollapsedTickerKind::usage:
      return "usage";
    case CollapsedTickerKind::idle:
      return "idle";
  }
  return "idle";
}

bool feedsCollapsedTicker(const IslandMessage& message) {
  return !message.event.usage;
}

bool collapsedMessageIsApproval(const IslandMessage& message) {
  return message.event.waitsForHuman();
}

std::optional<std::string> collapsedUsageDeadlineLabel(const UsageSnapshot& snapshot) {
  for (const auto* metric :
       {&snapshot.fiveHour, &snapshot.daily, &snapshot.weekly, &snapshot.rateLimit}) {
    if (!*metric) continue;
    const std::string suffix = trim((*metric)->suffix);
    if (suffix.empty()) continue;
    if (startsWith(toLower(suffix), "resets")) return suffix;
    return "Resets " + suffix;
  }
  return std::nullopt;
}

std::string collapsedUsageLabel(const UsageSnapshot& snapshot,
                                const std::optional<std::string>& deadline) {
  const bool hasDeadline = deadline.has_value();
  if (snapshot.rateLimit) {
    return hasDeadline ? snapshot.rateLimit->label : "Usage limit · " + snapshot.rateLimit->label;
  }
  if (snapshot.fiveHour && snapshot.weekly) {
    return "5h " + snapshot.fiveHour->label + " · 7d " + snapshot.weekly->label;
  }
  if (snapshot.fiveHour) {
    return hasDeadline ? snapshot.fiveHour->label : "5h limit · " + snapshot.fiveHour->label;
  }
  if (snapshot.daily) return hasDeadline ? snapshot.daily->label : snapshot.label;
  if (snapshot.weekly) return hasDeadline ? snapshot.weekly->label : snapshot.label;
  return snapshot.label;
}

std::vector<CollapsedTickerDisplay> collapsedTickerItems(const AppSnapshot& snapshot) {
  std::vector<IslandMessage> messages;
  for (const auto& message : snapshot.messages) {
    if (feedsCollapsedTicker(message)) messages.push_back(message);
  }
  std::vector<CollapsedTickerDisplay> approvals;
  std::vector<CollapsedTickerDisplay> ordinary;
  std::vector<CollapsedTickerDisplay> completions;
  for (const auto& message : messages) {
    if (collapsedMessageIsApproval(message)) approvals.push_back(approvalEntry(message.tool));
  }
  // A request the agent blocks on counts even before (or without) its inbox message.
  const auto carried = requestsCarriedByMessages(messages, snapshot.waitingRequests);
  std::vector<bool> reported(snapshot.waitingRequests.size(), false);
  for (const auto& index : carried) {
    if (index) reported[*index] = true;
  }
  for (size_t r = 0; r < snapshot.waitingRequests.size(); ++r) {
    const PendingAction& request = snapshot.waitingRequests[r];
    if (reported[r] || request.status != PendingActionStatus::awaitingUser) continue;
    approvals.push_back(approvalEntry(toolDisplayName(request.agent)));
  }
  const int pending = static_cast<int>(approvals.size());
  for (const auto& message : messages) {
    if (collapsedMessageIsApproval(message)) continue;
    if (isCompletion(message)) {
      completions.push_back({CollapsedTickerKind::completion, message.tool,
                             completionLabel(message), toColor(message.accent), std::nullopt, false,
                             0});
    } else {
      ordinary.push_back({CollapsedTickerKind::message, message.tool, messageLabel(message),
                          toColor(message.toolColor), std::nullopt, pending > 0, pending});
    }
  }
  std::vector<CollapsedTickerDisplay> items = std::move(approvals);
  items.insert(items.end(), ordinary.begin(), ordinary.end());
  items.insert(items.end(), completions.begin(), completions.end());
  for (const auto& entry : snapshot.usageCarousel) {
    const auto deadline = collapsedUsageDeadlineLabel(entry.snapshot);
    items.push_back({CollapsedTickerKind::usage, entry.brand,
                     collapsedUsageLabel(entry.snapshot, deadline),
                     toColor(brandColor(entry.brand)), deadline, false, 0});
  }
  if (items.empty()) {
    items.push_back({CollapsedTickerKind::idle, kIdleTickerTool, kAllClearLabel,
                     ViewColors::kIdleWhite, std::nullopt, false, 0});
  }
  return items;
}

const std::vector<CollapsedTickerDisplay>& CollapsedTickerMemo::items(const AppSnapshot& snapshot) {
  Key key{snapshot.storeRevision, {}, snapshot.usageCarousel};
  for (const auto& request : snapshot.waitingRequests) {
    key.waitingRequestIDs.push_back(request.requestID);
  }
  if (key_ && *key_ == key) return items_;
  items_ = collapsedTickerItems(snapshot);
  key_ = std::move(key);
  ++rebuilds_;
  return items_;
}

bool rotateCollapsedTickerIfNeeded(TickerRotation& rotation, size_t count, Timestamp now) {
  if (count < 2) {
    const bool changed = rotation.index != 0;
    rotation.index = 0;
    rotation.lastRotationAt.reset();
    return changed;
  }
  bool changed = false;
  if (rotation.index >= count) {
    rotation.index = 0;
    changed = true;
  }
  if (!rotation.lastRotationAt) {
    // The first entry of a queue that just grew gets its full turn.
    rotation.lastRotationAt = now;
    return changed;
  }
  if (secondsBetween(*rotation.lastRotationAt, now) >= kTickerRotationSeconds) {
    rotation.index = (rotation.index + 1) % count;
    rotation.lastRotationAt = now;
    return true;
  }
  return changed;
}

std::optional<Timestamp> nextTickerRotation(const TickerRotation& rotation, size_t count) {
  if (count < 2 || !rotation.lastRotationAt) return std::nullopt;
  return *rotation.lastRotationAt +
         std::chrono::duration_cast<Timestamp::duration>(Seconds(kTickerRotationSeconds));
}

const CollapsedTickerDisplay& collapsedTickerDisplay(
    const std::vector<CollapsedTickerDisplay>& items, size_t index) {
  return items[index < items.size() ? index : 0];
}

std::string shortPetStateLabel(PetState state) {
  switch (state) {
    case PetState::idle:
      return "Idle";
    case PetState::working:
      return "Busy";
    case PetState::approval:
      return "Wait";
    case PetState::done:
      return "Done";
    case PetState::error:
      return "Error";
    case PetState::tired:
      return "Tired";
  }
  return "Idle";
}

std::optional<std::string> compactMacBookStatusWord(std::string_view label) {
  for (const auto& word : labelWords(label)) {
    if (utf8Length(word) > 1) return utf8Prefix(word, 6);
  }
  return std::nullopt;
}

std::optional<std::string> compactMacBookUsageToken(std::string_view label) {
  const auto percent = firstPercentToken(label);
  if (!percent) return std::nullopt;
  // The window named nearest before the percent, else the first one after it.
  const std::string lower = toLower(label);
  std::optional<std::string> window;
  for (const auto& word : labelWords(lower.substr(0, percent->position))) {
    if (auto found = windowOfWord(word)) window = found;
  }
  if (!window) {
    for (const auto& word : labelWords(lower.substr(percent->position))) {
      if ((window = windowOfWord(word))) break;
    }
  }
  if (!window) return std::nullopt;
  return *window + " " + percent->text;
}

std::string macBookCollapsedStatusLabel(const CollapsedTickerDisplay& display,
                                        PetState fallbackState) {
  const std::string lower = toLower(display.label);
  switch (display.kind) {
    case CollapsedTickerKind::approval:
      return "Approve";
    case CollapsedTickerKind::message:
      return compactMacBookStatusWord(display.label).value_or("Msg");
    case CollapsedTickerKind::completion:
      return compactMacBookStatusWord(display.label).value_or("Done");
    case CollapsedTickerKind::usage:
      if (contains(lower, "blocked")) return "Limit";
      if (auto token = compactMacBookUsageToken(display.label)) return *token;
      if (contains(lower, "limit")) return "Limit";
      if (auto percent = firstPercentToken(display.label)) return percent->text;
      if (auto word = compactMacBookStatusWord(display.label)) return *word;
      return shortPetStateLabel(fallbackState);
    case CollapsedTickerKind::idle:
      break;
  }
  return shortPetStateLabel(fallbackState);
}

Color macBookCollapsedStatusColor(const CollapsedTickerDisplay& display, PetState fallbackState) {
  switch (display.kind) {
    case CollapsedTickerKind::approval:
      return ViewColors::kApprovalAmber;
    case CollapsedTickerKind::usage: {
      const std::string lower = toLower(display.label);
      if (contains(lower, "blocked") || contains(lower, "limit")) return ViewColors::kUsageOrange;
      return display.accent;
    }
    case CollapsedTickerKind::message:
    case CollapsedTickerKind::completion:
      return display.accent;
    case CollapsedTickerKind::idle:
      break;
  }
  return petStateColor(fallbackState);
}

}  // namespace glimmet
