#pragma once

#include <optional>
#include <string>

#include "model/companion_status.hpp"
#include "model/pet_choice.hpp"
#include "ui/view/companion_geometry.hpp"
#include "ui/view/companion_label.hpp"

namespace glimmet {

// What the companion shows in one frame of its window, already laid out.
struct CompanionFrame {
  CompanionDisplayMode mode = CompanionDisplayMode::bubble;
  double scale = 1.0;
  Size size;
  PetState petState = PetState::idle;
  Rect petRect;
  CompanionLabelRects labelRects;
  CompanionLabelLines lines;
  // The label plate; a click inside it opens `labelStatusItem` when there is one.
  Rect labelHitRect;
  std::optional<CompanionStatusItem> labelStatusItem;
  bool placementMode = false;
  bool darkAppearance = true;
  // Advances with the animation tick; the pet painter may use it to pick a frame.
  int animationStep = 0;
  PetChoice pet = defaultPetChoice();
  // The animation clock the pet's sprite rows are timed on.
  int64_t petClockMs = 0;
  bool reduceMotion = true;
};

constexpr double kCompanionTitleFontSize = 12;
constexpr double kCompanionDetailFontSize = 10.5;

struct CompanionViewInput {
  CompanionDisplayMode mode = CompanionDisplayMode::bubble;
  double scale = 1.0;
  PetState petState = PetState::idle;
  std::optional<CompanionStatusItem> status;
  bool placementMode = false;
  bool darkAppearance = true;
  int animationStep = 0;
  PetChoice pet = defaultPetChoice();
  int64_t petClockMs = 0;
  bool reduceMotion = true;
};

CompanionFrame layoutCompanion(const CompanionViewInput& input);

// The frame as a short JSON text, for tests and bug reports to read off the window.
std::string companionStateJson(const CompanionFrame& frame);

}  // namespace glimmet
