#include "store/usage_candidate_filter.hpp"

#include <array>

#include "model/tool_names.hpp"

namespace glimmet {

namespace {

constexpr std::array<std::string_view, 7> kProbedNames = {
    "event_id", "usage", "notify_policy", "notifyPolicy", "source", "tool_id", "toolId"};

}  // namespace

bool isUsageOnly(const GlimmetEvent& event) {
  return event.usage.has_value() && event.notifyPolicy == NotifyPolicy::usageOnly;
}

UsageLineProbe UsageLineProber::probe(std::string_view line, size_t capacity) {
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
