#include "ui/view/companion_frame.hpp"

#include "base/json_values.hpp"

namespace glimmet {

namespace {

Rect unionOf(const Rect& a, const Rect& b) {
  if (a.isEmpty()) return b;
  if (b.isEmpty()) return a;
  const double x = std::min(a.minX(), b.minX());
  const double y = std::min(a.minY(), b.minY());
  return {x, y, std::max(a.maxX(), b.maxX()) - x, std::max(a.maxY(), b.maxY()) - y};
}

Json rectJson(const Rect& rect) {
  return Json::array({rect.x, rect.y, rect.width, rect.height});
}

}  // namespace

CompanionFrame layoutCompanion(const CompanionViewInput& input) {
  CompanionFrame frame;
  frame.mode = input.mode;
  frame.scale = clampCompanionScale(input.scale);
  frame.size = companionSize(input.mode, input.scale);
  frame.petState = input.petState;
  frame.placementMode = input.placementMode;
  frame.darkAppearance = input.darkAppearance;
  frame.animationStep = input.animationStep;
  frame.pet = input.pet;
  frame.petClockMs = input.petClockMs;
  frame.reduceMotion = input.reduceMotion;
  const Rect bounds{0, 0, frame.size.width, frame.size.height};
  frame.petRect = companionPetContentRect(bounds, input.mode, input.scale);
  frame.labelRects = companionLabelRects(bounds, frame.petRect, input.mode);
  frame.lines = companionLabelLines(
      input.placementMode, input.mode, input.petState, input.status,
      companionLabelCharacterLimit(frame.labelRects.title.width, kCompanionTitleFontSize),
      companionLabelCharacterLimit(frame.labelRects.detail.width, kCompanionDetailFontSize));
  const Rect text = frame.lines.detail.empty()
                        ? frame.labelRects.title
                        : unionOf(frame.labelRects.title, frame.labelRects.detail);
  frame.labelHitRect = text.insetBy(-4, -2);
  if (!input.placementMode) frame.labelStatusItem = input.status;
  return frame;
}

std::string companionStateJson(const CompanionFrame& frame) {
  Json state{{"kind", "companion"},
             {"displayMode", rawValue(frame.mode)},
             {"scale", frame.scale},
             {"size", Json::array({frame.size.width, frame.size.height})},
             {"petState", rawValue(frame.petState)},
             {"petID", frame.pet.id},
             {"title", frame.lines.title},
             {"detail", frame.lines.detail},
             {"labelHitRect", rectJson(frame.labelHitRect)},
             {"placementMode", frame.placementMode}};
  return state.dump();
}

}  // namespace glimmet
