#pragma once

#include <cairo.h>

#include "ui/cairo/text_engine.hpp"
#include "ui/paint/canvas.hpp"

namespace glimmet {

// The Canvas over a cairo context, in points: `scale` device pixels per point (1, or 2 on a
// dense screen). The context's state is saved on construction and restored on destruction.
class CairoCanvas : public Canvas {
 public:
  CairoCanvas(cairo_t* cairo, double scale, TextEngine& text);
  ~CairoCanvas() override;
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  void save() override;
  void restore() override;
  void clip(const Rect& rect) override;

  void fillPath(const Path& path, Color color) override;
  void strokePath(const Path& path, Color color, double lineWidth) override;
  void strokeRoundPath(const Path& path, Color color, double lineWidth) override;

  void drawImage(const PetImage& image, const PetImageRect& source,
                 const Rect& destination) override;

  Size measureText(std::string_view text, const FontSpec& font) override;
  void drawText(std::string_view text, const Rect& box, const FontSpec& font, Color color,
                TextAlignment alignment) override;
  double drawWrappedText(std::string_view text, const Rect& box, const FontSpec& font, Color color,
                         int maxLines) override;

 private:
  void setPath(const Path& path);
  void setColor(Color color);
  void stroke(const Path& path, Color color, double lineWidth, bool round);
  // `y` moved to the nearest device pixel row, so text baselines stay crisp.
  double snappedY(double y) const;

  cairo_t* cairo_;
  double scale_;
  TextEngine& text_;
};

}  // namespace glimmet
