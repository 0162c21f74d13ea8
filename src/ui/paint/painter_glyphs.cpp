#include "ui/paint/painter_glyphs.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

namespace {

Point at(const Rect& rect, double fx, double fy) {
  return {rect.minX() + fx * rect.width, rect.minY() + fy * rect.height};
}

double strokeWidth(const Rect& rect) {
  return std::max(1.2, rect.width / 10);
}

}  // namespace

void drawGlyph(Canvas& canvas, Glyph glyph, const Rect& rect, Color color) {
  const double line = strokeWidth(rect);
  Path path;
  switch (glyph) {
    case Glyph::checkmark:
      path.moveTo(at(rect, 0.18, 0.52)).lineTo(at(rect, 0.42, 0.76)).lineTo(at(rect, 0.84, 0.26));
      break;
    case Glyph::xmark:
      path.moveTo(at(rect, 0.22, 0.22)).lineTo(at(rect, 0.78, 0.78));
      path.moveTo(at(rect, 0.78, 0.22)).lineTo(at(rect, 0.22, 0.78));
      break;
    case Glyph::trash:
      path.moveTo(at(rect, 0.2, 0.28)).lineTo(at(rect, 0.8, 0.28));
      path.moveTo(at(rect, 0.4, 0.28))
          .lineTo(at(rect, 0.4, 0.16))
          .lineTo(at(rect, 0.6, 0.16))
          .lineTo(at(rect, 0.6, 0.28));
      path.moveTo(at(rect, 0.28, 0.28))
          .lineTo(at(rect, 0.32, 0.84))
          .lineTo(at(rect, 0.68, 0.84))
          .lineTo(at(rect, 0.72, 0.28));
      break;
    case Glyph::gearshape: {
      const Rect ring = rect.insetBy(rect.width * 0.22, rect.height * 0.22);
      canvas.strokePath(Path().addEllipse(ring), color, line);
      canvas.fillPath(Path().addEllipse(rect.insetBy(rect.width * 0.42, rect.height * 0.42)),
                      color);
      for (const auto& [a, b] : {std::pair{at(rect, 0.5, 0.08), at(rect, 0.5, 0.22)},
                                 {at(rect, 0.5, 0.78), at(rect, 0.5, 0.92)},
                                 {at(rect, 0.08, 0.5), at(rect, 0.22, 0.5)},
                                 {at(rect, 0.78, 0.5), at(rect, 0.92, 0.5)}}) {
        path.moveTo(a).lineTo(b);
      }
      break;
    }
    case Glyph::power:
      path.moveTo(at(rect, 0.5, 0.12)).lineTo(at(rect, 0.5, 0.48));
      canvas.strokePath(Path().addEllipse(rect.insetBy(rect.width * 0.18, rect.height * 0.2)),
                        color, line);
      break;
    case Glyph::arrowUpForward:
      path.moveTo(at(rect, 0.25, 0.75)).lineTo(at(rect, 0.75, 0.25));
      path.moveTo(at(rect, 0.38, 0.25)).lineTo(at(rect, 0.75, 0.25)).lineTo(at(rect, 0.75, 0.62));
      break;
    case Glyph::eyeSlash:
      canvas.strokePath(Path().addEllipse(rect.insetBy(rect.width * 0.12, rect.height * 0.3)),
                        color, line);
      path.moveTo(at(rect, 0.18, 0.82)).lineTo(at(rect, 0.82, 0.18));
      break;
    case Glyph::markAllRead:
      path.moveTo(at(rect, 0.1, 0.52)).lineTo(at(rect, 0.3, 0.72)).lineTo(at(rect, 0.62, 0.3));
      path.moveTo(at(rect, 0.42, 0.62)).lineTo(at(rect, 0.52, 0.72)).lineTo(at(rect, 0.9, 0.3));
      break;
    case Glyph::bell:
      path.moveTo(at(rect, 0.22, 0.72))
          .lineTo(at(rect, 0.3, 0.42))
          .curveTo(at(rect, 0.34, 0.14), at(rect, 0.66, 0.14), at(rect, 0.7, 0.42))
          .lineTo(at(rect, 0.78, 0.72))
          .close();
      canvas.fillPath(path, color);
      canvas.fillPath(
          Path().addEllipse({rect.midX() - rect.width * 0.09, rect.minY() + rect.height * 0.74,
                             rect.width * 0.18, rect.height * 0.16}),
          color);
      return;
  }
  canvas.strokePath(path, color, line);
}

void drawPetPlaceholder(Canvas& canvas, const Rect& rect, PetState state) {
  const Color color = petStateColor(state);
  canvas.fillPath(Path().addRoundedRect(rect, rect.width * 0.32), color);
  // Two eyes, so it reads as a face and not as a status dot.
  const double eye = std::max(1.5, rect.width * 0.14);
  const double y = rect.minY() + rect.height * 0.38;
  for (const double fx : {0.32, 0.68}) {
    canvas.fillPath(Path().addEllipse({rect.minX() + fx * rect.width - eye / 2, y, eye, eye * 1.3}),
                    Color::black(0.85));
  }
}

void drawToolLogo(Canvas& canvas, const Rect& rect, const std::string& tool, Color color) {
  canvas.fillPath(Path().addRoundedRect(rect, rect.width * 0.28), color);
  const std::string initial = tool.empty() ? std::string("?") : utf8Prefix(tool, 1);
  canvas.drawText(initial, rect, {rect.height * 0.62, FontWeight::bold, false}, Color::black(0.82),
                  TextAlignment::center);
}

}  // namespace glimmet
