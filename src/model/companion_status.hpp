#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/glimmet_event.hpp"

namespace glimmet {

enum class PetState { idle, working, approval, done, error, tired };
enum class CompanionStatusKind { approval, working, finished };

const char* rawValue(PetState state);
const char* rawValue(CompanionStatusKind kind);

// One line the companion can say about one event.
struct CompanionStatusItem {
  CompanionStatusKind kind = CompanionStatusKind::working;
  std::string label;
  GlimmetEvent event;
  bool operator==(const CompanionStatusItem&) const = default;
};

class PetStateResolver {
 public:
  // An approval outranks an error, which outranks a tired (quota) pet, work in progress and
  // finished work, in that order. `usageStatusError` says a current usage snapshot reports an
  // error; `hasSocketLoopPending` that an agent is blocked on the socket waiting for the user.
  static PetState resolve(const std::vector<GlimmetEvent>& candidates, bool usageStatusError,
                          bool hasSocketLoopPending);
};

// The most to look at: enough for every live task, bounded so that a long history stays cheap.
constexpr size_t kCompanionCandidateLimit = 200;

// The newest visible events (already sorted newest first) the companion considers.
std::vector<GlimmetEvent> companionCandidateEvents(const std::vector<GlimmetEvent>& sortedVisible);

// What the event says, on one line: the user's prompt, the agent's answer, the message or the
// title, the first that is not empty.
std::string companionEventText(const GlimmetEvent& event);

// The companion's words for an event: its text, else a short phrase for its type.
std::string shortCompanionLabel(const GlimmetEvent& event);

// Requests waiting for the user, then running tasks, then finished work that reminds; newest
// first within each.
std::vector<CompanionStatusItem> companionTickerItems(const std::vector<GlimmetEvent>& candidates);

// The one item the companion shows, by the same precedence as the ticker.
std::optional<CompanionStatusItem> companionStatusItem(const std::vector<GlimmetEvent>& candidates);

// Where the companion's Jump opens: the agent's transcript when it exists, else its working
// directory when the event named one and it exists. The home directory an event merely
// defaulted to would open somewhere unrelated, so it is never a candidate.
std::optional<std::string> companionJumpTarget(
    const GlimmetEvent& event, const std::function<bool(const std::string&)>& fileExists);

}  // namespace glimmet
