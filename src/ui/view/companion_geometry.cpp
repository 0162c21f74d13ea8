#include "ui/view/companion_geometry.hpp"

#include <algorithm>
#include <cmath>

namespace glimmet {

namespace {

struct ModeMetrics {
  double width;
  double height;
};

ModeMetrics metrics(CompanionDisplayMode mode) {
  switch (mode) {
    case CompanionDisplayMode::bubble:
    case CompanionDisplayMode::floating:
      return {184, 152};
    case CompanionDisplayMode::roaming:
      return {316, 150};
    case CompanionDisplayMode::tucked:
      return {156, 96};
  }
  return {184, 152};
}

}  // namespace

const char* rawValue(CompanionDisplayMode mode) {
  switch (mode) {
    case CompanionDisplayMode::bubble:
      return "bubble";
    case CompanionDisplayMode::floating:
      return "floating";
    case CompanionDisplayMode::roaming:
      return "roaming";
    case CompanionDisplayMode::tucked:
      return "tucked";
  }
  return "bubble";
}

std::optional<CompanionDisplayMode> companionDisplayModeFromRaw(std::string_view raw) {
  for (const auto mode : {CompanionDisplayMode::bubble, CompanionDisplayMode::floating,
                          CompanionDisplayMode::roaming, CompanionDisplayMode::tucked}) {
    if (raw == rawValue(mode)) return mode;
  }
  return std::nullopt;
}

double clampCompanionScale(double scale) {
  if (!std::isfinite(scale)) return 1.0;
  return std::min(std::max(scale, kMinCompanionScale), kMaxCompanionScale);
}

Size companionSize(CompanionDisplayMode mode, double scale) {
  const double s = clampCompanionScale(scale);
  const ModeMetrics m = metrics(mode);
  return {std::round(s * m.width), std::round(s * m.height)};
}

Rect companionPetContentRect(const Rect& bounds, CompanionDisplayMode mode, double scale) {
  const double s = clampCompanionScale(scale);
  switch (mode) {
    case CompanionDisplayMode::bubble:
    case CompanionDisplayMode::floating: {
      // Standing on the bottom edge, the label's two lines above it.
      const double side = std::round(88 * s);
      return {bounds.midX() - side / 2, bounds.maxY() - 8 * s - side, side, side};
    }
    case CompanionDisplayMode::roaming: {
      const double side = std::round(80 * s);
      return {bounds.midX() - side / 2, bounds.maxY() - 6 * s - side, side, side};
    }
    case CompanionDisplayMode::tucked: {
      const double side = std::round(64 * s);
      return {bounds.minX() + 10 * s, bounds.midY() - side / 2, side, side};
    }
  }
  return bounds;
}

CompanionLabelRects companionLabelRects(const Rect& bounds, const Rect& petRect,
                                        CompanionDisplayMode mode) {
  CompanionLabelRects rects;
  switch (mode) {
    case CompanionDisplayMode::bubble:
    case CompanionDisplayMode::floating: {
      const double y = std::max(bounds.minY() + 4, petRect.minY() - 38);
      rects.title = {10, y, bounds.width - 20, 16};
      rects.detail = {10, rects.title.maxY() + 3, bounds.width - 20, 16};
      break;
    }
    case CompanionDisplayMode::roaming: {
      // The label rides above the walking pet.
      const double width = std::min(std::max(petRect.width + 52, 118.0), bounds.width - 16);
      double x = petRect.midX() - width / 2;
      x = std::max(bounds.minX() + 8, std::min(x, bounds.maxX() - width - 8));
      const double y = std::max(bounds.minY(), petRect.minY() - 34);
      rects.title = {x, y, width, 15};
      rects.detail = {x, rects.title.maxY() + 1, width, 13};
      break;
    }
    case CompanionDisplayMode::tucked: {
      const double x = petRect.maxX() + 10;
      rects.title = {x, bounds.midY() - 16, bounds.maxX() - x - 8, 16};
      rects.detail = {x, rects.title.maxY() + 2, rects.title.width, 16};
      break;
    }
  }
  return rects;
}

CompanionLabelChrome companionLabelChrome(bool isDarkAppearance) {
  if (isDarkAppearance) return {Color::rgb(58, 58, 64, 0.92), Color::white(0.22)};
  return {Color::rgb(24, 24, 28, 0.86), Color::black(0.35)};
}

int companionLabelCharacterLimit(double width, double fontPointSize) {
  const double perCharacter = std::max(0.56 * fontPointSize, 5.0);
  return std::max(8, static_cast<int>(std::floor(std::max(0.0, width) / perCharacter)));
}

}  // namespace glimmet
