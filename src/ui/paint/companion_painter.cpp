#include "ui/paint/companion_painter.hpp"

#include <algorithm>

#include "ui/paint/pet_avatar.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

constexpr double kPlateRadius = 8;
constexpr double kTailWidth = 14;
constexpr double kTailHeight = 9;

Rect plateRect(const CompanionFrame& frame) {
  return frame.labelHitRect;
}

// A rounded plate whose bottom edge grows a small tail towards the pet below it.
Path bubblePath(const Rect& plate, double tailX) {
  const double r = std::min(kPlateRadius, std::min(plate.width, plate.height) / 2);
  const double k = 0.5523 * r;  // circle approximation with cubic curves
  const double left = std::max(plate.minX() + r, tailX - kTailWidth / 2);
  const double right = std::min(plate.maxX() - r, tailX + kTailWidth / 2);
  Path path;
  path.moveTo({plate.minX() + r, plate.minY()});
  path.lineTo({plate.maxX() - r, plate.minY()});
  path.curveTo({plate.maxX() - r + k, plate.minY()}, {plate.maxX(), plate.minY() + r - k},
               {plate.maxX(), plate.minY() + r});
  path.lineTo({plate.maxX(), plate.maxY() - r});
  path.curveTo({plate.maxX(), plate.maxY() - r + k}, {plate.maxX() - r + k, plate.maxY()},
               {plate.maxX() - r, plate.maxY()});
  path.lineTo({right, plate.maxY()});
  path.lineTo({tailX, plate.maxY() + kTailHeight});
  path.lineTo({left, plate.maxY()});
  path.lineTo({plate.minX() + r, plate.maxY()});
  path.curveTo({plate.minX() + r - k, plate.maxY()}, {plate.minX(), plate.maxY() - r + k},
               {plate.minX(), plate.maxY() - r});
  path.lineTo({plate.minX(), plate.minY() + r});
  path.curveTo({plate.minX(), plate.minY() + r - k}, {plate.minX() + r - k, plate.minY()},
               {plate.minX() + r, plate.minY()});
  path.close();
  return path;
}

void drawLabel(Canvas& canvas, const CompanionFrame& frame) {
  if (frame.lines.title.empty() && frame.lines.detail.empty()) return;
  const Rect plate = plateRect(frame);
  if (frame.mode == CompanionDisplayMode::bubble) {
    // A speech bubble: light, with the tail towards the pet's head.
    const Path path = bubblePath(plate, frame.petRect.midX());
    canvas.fillPath(path, Color::white(0.96));
    canvas.strokePath(path, Color::black(0.18), 1);
    canvas.drawText(frame.lines.title, frame.labelRects.title,
                    {kCompanionTitleFontSize, FontWeight::semibold}, Color::black(0.88),
                    TextAlignment::center);
    if (!frame.lines.detail.empty())
      canvas.drawText(frame.lines.detail, frame.labelRects.detail, {kCompanionDetailFontSize},
                      Color::black(0.55), TextAlignment::center);
    return;
  }
  const CompanionLabelChrome chrome = companionLabelChrome(frame.darkAppearance);
  const Path path = Path().addRoundedRect(plate, kPlateRadius);
  canvas.fillPath(path, chrome.fill);
  canvas.strokePath(path, chrome.border, 1);
  const TextAlignment alignment =
      frame.mode == CompanionDisplayMode::tucked ? TextAlignment::left : TextAlignment::center;
  canvas.drawText(frame.lines.title, frame.labelRects.title,
                  {kCompanionTitleFontSize, FontWeight::semibold}, ViewColors::kPrimaryText,
                  alignment);
  if (!frame.lines.detail.empty())
    canvas.drawText(frame.lines.detail, frame.labelRects.detail, {kCompanionDetailFontSize},
                    ViewColors::kSecondaryText, alignment);
}

}  // namespace

void drawCompanionPet(Canvas& canvas, const CompanionFrame& frame) {
  const Rect& rect = frame.petRect;
  // A soft shadow where it stands.
  canvas.fillPath(
      Path().addEllipse({rect.minX() + rect.width * 0.15, rect.maxY() - rect.height * 0.08,
                         rect.width * 0.7, rect.height * 0.1}),
      Color::black(0.22));
  // The pet's own sprite rows carry its motion; with motion reduced it stands still.
  drawPetAvatar(canvas, frame.pet, rect.insetBy(rect.width * 0.04, rect.height * 0.04),
                frame.petState, frame.petClockMs, frame.reduceMotion);
}

void paintCompanion(Canvas& canvas, const CompanionFrame& frame) {
  // The pet last: the bubble's tail tucks in behind its head.
  drawLabel(canvas, frame);
  drawCompanionPet(canvas, frame);
}

}  // namespace glimmet
