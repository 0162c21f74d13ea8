#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/companion_status.hpp"

namespace glimmet {

// Where a pet came from, in the order the pet grid groups them.
enum class PetSourceKind {
  builtIn,
  codexPetsNet,  // from the community pet website
  codexPet,      // installed for Codex in ~/.codex/pets
  codexAvatar,
  glimmetPet,  // the application's own pets folder
  imported,
  generated,
};

const char* rawValue(PetSourceKind kind);

// One selectable pet.
struct PetChoice {
  std::string id;  // imported and folder pets carry the "custom:" prefix
  std::string name;
  std::string detail;
  PetState state = PetState::idle;
  std::optional<std::string> sourcePath;  // the pet's folder
  std::optional<std::string> spritePath;  // its sprite sheet
  PetSourceKind sourceKind = PetSourceKind::builtIn;
  bool isCodexSprite = false;
  std::optional<std::string> badge;
  bool isNew = false;
  std::optional<std::string> sourceLabel;
  std::optional<std::string> sourceURL;
  std::optional<std::string> websiteTag;
  std::optional<std::string> authorHandle;
  std::optional<std::string> authorName;
  bool isDeletable = false;
  bool operator==(const PetChoice&) const = default;
};

inline constexpr const char* kCustomPetIDPrefix = "custom:";
inline constexpr const char* kDefaultPetID = "capybara";
inline constexpr const char* kGlimCatPetID = "glimcat";

// The built-in vector pets: the capybara everyone starts with, and GlimCat.
PetChoice defaultPetChoice();
PetChoice glimCatPetChoice();

// One cell of a Codex sprite sheet and how long it stays on screen.
struct CodexSpriteFrame {
  int rowIndex = 0;
  int columnIndex = 0;
  int frameDurationMs = 0;
  bool operator==(const CodexSpriteFrame&) const = default;
};

// The Codex sheet is a grid of 8 columns (the longest animation, the error row, has 8 frames)
// and 9 rows (the done row is row 8); every cell has the same size.
inline constexpr int kCodexSpriteColumns = 8;
inline constexpr int kCodexSpriteRows = 9;

// The row a state animates in and the duration of each of its frames, first column first.
struct CodexSpriteRow {
  int rowIndex = 0;
  std::vector<int> frameDurationsMs;
};
CodexSpriteRow codexSpriteRow(PetState state);

// The frame to show at `nowMs` of the media clock: the row loops over its total duration; with
// reduced motion the pet holds its first frame.
CodexSpriteFrame activeCodexSpriteFrame(PetState state, bool reduceMotion, int64_t nowMs);

// The small badge of the pet grid: the pet's own badge, else where it came from.
std::string sourceBadgeLabel(const PetChoice& choice);
// One line on where the pet came from: "Built-in", "Generated", or its website, author and source.
std::string petProvenanceDetail(const PetChoice& choice);
// "@handle", else the author's name; absent when the pet names no author.
std::optional<std::string> authorBadgeLabel(const PetChoice& choice);
// The host of an http(s) link without a leading "www.", lower case; absent for anything else.
std::optional<std::string> sourceHost(const std::string& url);

// The settings preview's roaming pet: its left edge in percent of the track, easing from 24 to
// 58 and back to 42 over a 3.2 s loop.
double livePreviewRoamingLeftPct(double phase);
// The floating pet's vertical offset in points: a 2-point bob every 3 s.
double livePreviewFloatingY(double phase);

}  // namespace glimmet
