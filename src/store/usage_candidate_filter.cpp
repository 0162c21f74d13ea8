#include "store/usage_candidate_filter.hpp"

#include <array>

#include "base/text.hpp"
#include "model/tool_names.hpp"

namespace glimmet {

namespace {

constexpr std::array<std::string_view, 7> kProbedNames = {
    "event_id", "usage", "notify_policy", "notifyPolicy", "source", "tool_id", "toolId"};
// Positions in `kProbedNames`, which the quick look reports its members by.
enum ProbedName : size_t {
  eventID,
  usage,
  notifyPolicy,
  notifyPolicyCamel,
  source,
  toolID,
  toolIDCamel
};
static_assert(kProbedNames[eventID] == "event_id" && kProbedNames[usage] == "usage" &&
              kProbedNames[notifyPolicy] == "notify_policy" &&
              kProbedNames[notifyPolicyCamel] == "notifyPolicy" &&
              kProbedNames[source] == "source" && kProbedNames[toolID] == "tool_id" &&
              kProbedNames[toolIDCamel] == "toolId");

using PlainMember = JsonLineReader::PlainMember;

// The text the event parser would read from a member: a string's trimmed text, absent when
// empty or missing. False when only the full reader can tell (a number reads as its text).
bool plainText(const PlainMember& member, std::optional<std::string_view>& text) {
  text.reset();
  switch (member.kind) {
    case PlainMember::Kind::absent:
    case PlainMember::Kind::object:
      return true;
    case PlainMember::Kind::string: {
      const std::string_view trimmed = trimmedView(member.text);
      if (!trimmed.empty()) text = trimmed;
      return true;
    }
    case PlainMember::Kind::other:
      return false;
  }
  return false;
}

// The first of two names that reads as text, as `firstString` picks it.
bool firstPlainText(const PlainMember& first, const PlainMember& second,
                    std::optional<std::string_view>& text) {
  if (!plainText(first, text)) return false;
  return text || plainText(second, text);
}

}  // namespace

bool isUsageOnly(const GlimmetEvent& event) {
  return event.usage.has_value() && event.notifyPolicy == NotifyPolicy::usageOnly;
}

UsageLineProbe UsageLineProber::probe(std::string_view line, size_t capacity) {
  if (auto quick = probePlain(line, capacity)) return std::move(*quick);
  return probeDecoded(line, capacity);
}

std::optional<UsageLineProbe> UsageLineProber::probePlain(std::string_view line, size_t capacity) {
  std::array<PlainMember, kProbedNames.size()> top;
  std::array<PlainMember, kProbedNames.size()> inUsage;
  if (reader_.readPlainMembers(line, capacity, kProbedNames, usage, top, inUsage) !=
      JsonLineReader::Outcome::value) {
    return std::nullopt;
  }
  UsageLineProbe result;
  result.verdict = UsageLineProbe::Verdict::never;
  if (top[eventID].kind != PlainMember::Kind::string) return result;
  if (top[usage].kind != PlainMember::Kind::object) return result;
  std::optional<std::string_view> policy;
  if (!firstPlainText(top[notifyPolicy], top[notifyPolicyCamel], policy)) return std::nullopt;
  if (!policy || NotifyPolicyValue(*policy) != NotifyPolicy::usageOnly) return result;
  std::optional<std::string_view> ownToolID;
  std::optional<std::string_view> sourceText;
  if (!firstPlainText(inUsage[toolID], inUsage[toolIDCamel], ownToolID) ||
      !plainText(top[source], sourceText)) {
    return std::nullopt;
  }
  result.verdict = UsageLineProbe::Verdict::tool;
  result.toolID =
      ownToolID ? std::string(*ownToolID) : canonicalToolID(sourceText.value_or("unknown"));
  return result;
}

UsageLineProbe UsageLineProber::probeDecoded(std::string_view line, size_t capacity) {
  UsageLineProbe result;
  if (reader_.readMembers(line, capacity, kProbedNames) != JsonLineReader::Outcome::value) {
    return result;
  }
  result.verdict = UsageLineProbe::Verdict::never;
  const JsonLineValue& root = reader_.root();
  const JsonLineValue* id = member(root, "event_id");
  if (!id || !id->is_string()) return result;
  const JsonLineValue* usage = member(root, "usage");
  if (!usage || !usage->is_object()) return result;
  const auto policy = firstString(root, {"notify_policy", "notifyPolicy"});
  if (!policy || NotifyPolicyValue(*policy) != NotifyPolicy::usageOnly) return result;
  result.verdict = UsageLineProbe::Verdict::tool;
  if (auto toolID = firstString(*usage, {"tool_id", "toolId"})) {
    result.toolID = std::move(*toolID);
  } else {
    result.toolID = canonicalToolID(firstString(root, {"source"}).value_or("unknown"));
  }
  return result;
}

bool UsageCandidateFilter::skips(const UsageLineProbe& probe) const {
  switch (probe.verdict) {
    case UsageLineProbe::Verdict::parse:
      return false;
    case UsageLineProbe::Verdict::never:
      return true;
    case UsageLineProbe::Verdict::tool: {
      const auto found = counts_.find(probe.toolID);
      return found != counts_.end() && found->second >= perTool_;
    }
  }
  return false;
}

bool UsageCandidateFilter::accepts(const GlimmetEvent& event) {
  return isUsageOnly(event) && counts_[event.usage->toolID]++ < perTool_;
}

}  // namespace glimmet
