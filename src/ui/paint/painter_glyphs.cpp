#include "ui/paint/painter_glyphs.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "ui/view/view_colors.hpp"

namespace glimmet {

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
