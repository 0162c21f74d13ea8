#include "model/pet_choice.hpp"

#include <cmath>
#include <numeric>

#include "base/text.hpp"

namespace glimmet {

const char* rawValue(PetSourceKind kind) {
  switch (kind) {
    case PetSourceKind::builtIn:
      return "builtIn";
    case PetSourceKind::codexPetsNet:
      return "codexPetsNet";
    case PetSourceKind::codexPet:
      return "codexPet";
    case PetSourceKind::codexAvatar:
      return "codexAvatar";
    case PetSourceKind::glimmetPet:
      return "glimmetPet";
    case PetSourceKind::imported:
      return "imported";
    case PetSourceKind::generated:
      return "generated";
  }
  return "builtIn";
}

PetChoice defaultPetChoice() {
  PetChoice capybara;
  capybara.id = kDefaultPetID;
  capybara.name = "Capybara";
  capybara.detail = "Compact goofy capybara generated with /hatch-pet.";
  return capybara;
}

PetChoice glimCatPetChoice() {
  PetChoice cat;
  cat.id = kGlimCatPetID;
  cat.name = "GlimCat";
  cat.detail = "Logo-inspired dancing pixel cat generated with /hatch-pet.";
  return cat;
}

namespace {

// `count` frames of `each` ms, the last one held for `last` ms.
std::vector<int> evenFrames(int count, int each, int last) {
  std::vector<int> durations(static_cast<size_t>(count), each);
  durations.back() = last;
  return durations;
}

}  // namespace

CodexSpriteRow codexSpriteRow(PetState state) {
  switch (state) {
    case PetState::idle:
      return {0, {1680, 660, 660, 840, 840, 1920}};
    case PetState::error:
    case PetState::tired:
      return {5, evenFrames(8, 140, 240)};
    case PetState::approval:
      return {6, evenFrames(6, 150, 260)};
    case PetState::working:
      return {7, evenFrames(6, 120, 220)};
    case PetState::done:
      return {8, evenFrames(6, 150, 280)};
  }
  return {0, {1680, 660, 660, 840, 840, 1920}};
}

CodexSpriteFrame activeCodexSpriteFrame(PetState state, bool reduceMotion, int64_t nowMs) {
  const CodexSpriteRow row = codexSpriteRow(state);
  if (reduceMotion) return {row.rowIndex, 0, row.frameDurationsMs.front()};
  const int64_t total = std::max<int64_t>(
      1, std::accumulate(row.frameDurationsMs.begin(), row.frameDurationsMs.end(), int64_t{0}));
  int64_t t = nowMs % total;
  if (t < 0) t += total;  // a clock before its epoch still lands inside the loop
  int64_t cumulative = 0;
  for (size_t column = 0; column < row.frameDurationsMs.size(); ++column) {
    cumulative += row.frameDurationsMs[column];
    if (cumulative > t) {
      return {row.rowIndex, static_cast<int>(column), row.frameDurationsMs[column]};
    }
  }
  return {row.rowIndex, 0, row.frameDurationsMs.front()};
}

std::string sourceBadgeLabel(const PetChoice& choice) {
  if (hasText(choice.badge)) return trim(*choice.badge);
  switch (choice.sourceKind) {
    case PetSourceKind::builtIn:
      return "Built-in";
    case PetSourceKind::codexPetsNet:
      return "Community";
    case PetSourceKind::codexPet:
      return "Codex";
    case PetSourceKind::codexAvatar:
      return "Avatar";
    case PetSourceKind::glimmetPet:
      return "Glimmet";
    case PetSourceKind::imported:
      return "Imported";
    case PetSourceKind::generated:
      return "Generated";
  }
  return "Built-in";
}

std::optional<std::string> authorBadgeLabel(const PetChoice& choice) {
  if (hasText(choice.authorHandle)) {
    std::string handle = trim(*choice.authorHandle);
    return handle.front() == '@' ? handle : "@" + handle;
  }
  if (hasText(choice.authorName)) return trim(*choice.authorName);
  return std::nullopt;
}

std::optional<std::string> sourceHost(const std::string& url) {
  const std::string lower = toLower(trim(url));
  std::string_view rest = lower;
  if (rest.starts_with("https://")) {
    rest.remove_prefix(8);
  } else if (rest.starts_with("http://")) {
    rest.remove_prefix(7);
  } else {
    return std::nullopt;
  }
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
  rest = rest.substr(0, rest.find(':'));
  if (rest.starts_with("www.")) rest.remove_prefix(4);
  if (rest.empty()) return std::nullopt;
  return std::string(rest);
}

std::string petProvenanceDetail(const PetChoice& choice) {
  if (choice.sourceKind == PetSourceKind::builtIn) return "Built-in";
  if (choice.sourceKind == PetSourceKind::generated) return "Generated";
  std::vector<std::string> parts;
  if (hasText(choice.websiteTag)) {
    parts.push_back(trim(*choice.websiteTag));
  } else if (choice.sourceURL) {
    if (auto host = sourceHost(*choice.sourceURL)) parts.push_back(*host);
  }
  if (auto author = authorBadgeLabel(choice)) parts.push_back("by " + *author);
  if (hasText(choice.sourceLabel)) parts.push_back(trim(*choice.sourceLabel));
  if (parts.empty()) {
    switch (choice.sourceKind) {
      case PetSourceKind::codexPet:
        return "From ~/.codex/pets";
      case PetSourceKind::glimmetPet:
      case PetSourceKind::imported:
        return "Imported";
      default:
        return sourceBadgeLabel(choice);
    }
  }
  std::string line = parts.front();
  for (size_t i = 1; i < parts.size(); ++i) line += " · " + parts[i];
  return line;
}

namespace {

// Smoothstep: eases in and out of each leg.
double eased(double u) {
  return u * u * (3 - 2 * u);
}

// `phase` folded into [0, 1) of a loop of `period` seconds.
double loopFraction(double phase, double period) {
  double t = std::fmod(phase, period);
  if (t < 0) t += period;
  return t / period;
}

}  // namespace

double livePreviewRoamingLeftPct(double phase) {
  const double t = loopFraction(phase, 3.2);
  if (t < 0.5) return 24 + 34 * eased(2 * t);
  return 58 - 16 * eased(2 * (t - 0.5));
}

double livePreviewFloatingY(double phase) {
  const double t = loopFraction(phase, 3.0);
  return -2 * (1 - std::abs(2 * t - 1));
}

}  // namespace glimmet
