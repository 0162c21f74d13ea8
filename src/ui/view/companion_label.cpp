#include "ui/view/companion_label.hpp"

#include <cctype>

#include "base/text.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

namespace {

constexpr const char* kContinues = "...>";

std::string collapseWhiteSpace(std::string_view text) {
  std::string result;
  bool pendingSpace = false;
  for (const char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      pendingSpace = !result.empty();
      continue;
    }
    if (pendingSpace) result += ' ';
    pendingSpace = false;
    result += c;
  }
  return result;
}

std::string stateWord(PetState state) {
  switch (state) {
    case PetState::idle:
      return "Idle";
    case PetState::working:
      return "Working";
    case PetState::approval:
      return "Waiting";
    case PetState::done:
      return "Done";
    case PetState::error:
      return "Error";
    case PetState::tired:
      return "Resting";
  }
  return "Idle";
}

std::string whereFrom(const GlimmetEvent& event) {
  std::string tool = event.source.empty() ? std::string() : toolDisplayName(event.source);
  if (event.project.empty()) return tool;
  if (tool.empty()) return event.project;
  return tool + " · " + event.project;
}

}  // namespace

std::string companionJumpLine(std::string_view text, int maxCharacters) {
  std::string line = collapseWhiteSpace(text);
  if (line.empty()) return line;
  if (maxCharacters < 5) return kContinues;
  if (utf8Length(line) <= static_cast<size_t>(maxCharacters)) return line;
  return utf8Prefix(line, static_cast<size_t>(maxCharacters - 4)) + kContinues;
}

CompanionLabelLines companionJumpLines(std::string_view target, std::string_view detail,
                                       int titleMaxCharacters, int detailMaxCharacters) {
  return {companionJumpLine(target, titleMaxCharacters),
          companionJumpLine(detail, detailMaxCharacters)};
}

std::string companionInlineLabel(bool placementMode, CompanionDisplayMode mode, PetState state,
                                 const std::optional<CompanionStatusItem>& status) {
  if (placementMode) return "Drag me anywhere, click to stay";
  if (mode == CompanionDisplayMode::roaming && !status) return "Out for a walk";
  if (status && !status->label.empty()) return status->label;
  return stateWord(state);
}

CompanionLabelLines companionLabelLines(bool placementMode, CompanionDisplayMode mode,
                                        PetState state,
                                        const std::optional<CompanionStatusItem>& status,
                                        int titleMaxCharacters, int detailMaxCharacters) {
  if (placementMode || !status)
    return {companionJumpLine(companionInlineLabel(placementMode, mode, state, status),
                              titleMaxCharacters),
            ""};
  return companionJumpLines(companionInlineLabel(false, mode, state, status),
                            whereFrom(status->event), titleMaxCharacters, detailMaxCharacters);
}

std::optional<CompanionStatusItem> companionBubbleStatus(
    const std::optional<CompanionStatusItem>& storeStatus,
    const std::optional<CompanionBubbleFallback>& fallback, double now) {
  if (fallback && fallback->expiresAt > now) return fallback->item;
  return storeStatus;
}

std::optional<CompanionStatusItem> rotateCompanionTicker(
    CompanionTicker& ticker, const std::vector<CompanionStatusItem>& items,
    const std::optional<CompanionStatusItem>& status, Timestamp now) {
  if (items.size() < 2) {
    ticker = {};
    return items.empty() ? status : std::optional(items.front());
  }
  if (!ticker.lastRotationAt) {
    ticker.lastRotationAt = now;
  } else if (now - *ticker.lastRotationAt >=
             std::chrono::duration<double>(CompanionTicker::kRotationSeconds)) {
    ticker.index += 1;
    ticker.lastRotationAt = now;
  }
  ticker.index %= items.size();
  return items[ticker.index];
}

}  // namespace glimmet
