#include "ui/cairo/cairo_canvas.hpp"

#include <pango/pangocairo.h>

#include <cmath>

#include "ui/cairo/display_text.hpp"

namespace glimmet {

CairoCanvas::CairoCanvas(cairo_t* cairo, double scale, TextEngine& text)
    : cairo_(cairo), scale_(scale > 0 && std::isfinite(scale) ? scale : 1), text_(text) {
  cairo_save(cairo_);
  cairo_scale(cairo_, scale_, scale_);
}

CairoCanvas::~CairoCanvas() {
  cairo_restore(cairo_);
}

void CairoCanvas::save() {
  cairo_save(cairo_);
}

void CairoCanvas::restore() {
  cairo_restore(cairo_);
}

void CairoCanvas::clip(const Rect& rect) {
  cairo_rectangle(cairo_, rect.x, rect.y, std::max(0.0, rect.width), std::max(0.0, rect.height));
  cairo_clip(cairo_);
}

void CairoCanvas::setPath(const Path& path) {
  cairo_new_path(cairo_);
  for (const Path::Element& element : path.elements()) {
    const Point* p = element.points;
    switch (element.verb) {
      case Path::Verb::move:
        cairo_move_to(cairo_, p[0].x, p[0].y);
        break;
      case Path::Verb::line:
        cairo_line_to(cairo_, p[0].x, p[0].y);
        break;
      case Path::Verb::curve:
        cairo_curve_to(cairo_, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
        break;
      case Path::Verb::close:
        cairo_close_path(cairo_);
        break;
    }
  }
}

void CairoCanvas::setColor(Color color) {
  cairo_set_source_rgba(cairo_, color.red, color.green, color.blue, color.alpha);
}

void CairoCanvas::fillPath(const Path& path, Color color) {
  if (path.empty()) return;
  setPath(path);
  setColor(color);
  cairo_set_fill_rule(cairo_, CAIRO_FILL_RULE_WINDING);
  cairo_fill(cairo_);
}

void CairoCanvas::stroke(const Path& path, Color color, double lineWidth, bool round) {
  if (path.empty() || !(lineWidth > 0)) return;
  cairo_save(cairo_);
  setPath(path);
  setColor(color);
  cairo_set_line_width(cairo_, lineWidth);
  cairo_set_line_cap(cairo_, round ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cairo_, round ? CAIRO_LINE_JOIN_ROUND : CAIRO_LINE_JOIN_MITER);
  cairo_stroke(cairo_);
  cairo_restore(cairo_);
}

void CairoCanvas::strokePath(const Path& path, Color color, double lineWidth) {
  stroke(path, color, lineWidth, false);
}

void CairoCanvas::strokeRoundPath(const Path& path, Color color, double lineWidth) {
  stroke(path, color, lineWidth, true);
}

void CairoCanvas::drawImage(const PetImage& image, const PetImageRect& source,
                            const Rect& destination) {
  if (source.width <= 0 || source.height <= 0 || destination.width <= 0 ||
      destination.height <= 0 || source.x < 0 || source.y < 0 ||
      source.x + source.width > image.width || source.y + source.height > image.height) {
    return;
  }
  // The image's words are already cairo's premultiplied ARGB32, so cairo reads them in place.
  auto* data = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(image.pixels.data()));
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      data, CAIRO_FORMAT_ARGB32, image.width, image.height, image.width * 4);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return;
  }
  // A sub-surface keeps the filter from sampling the neighbouring cells of a sprite sheet.
  cairo_surface_t* cell =
      cairo_surface_create_for_rectangle(surface, source.x, source.y, source.width, source.height);
  cairo_save(cairo_);
  cairo_rectangle(cairo_, destination.x, destination.y, destination.width, destination.height);
  cairo_clip(cairo_);
  cairo_translate(cairo_, destination.x, destination.y);
  cairo_scale(cairo_, destination.width / source.width, destination.height / source.height);
  cairo_set_source_surface(cairo_, cell, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cairo_), CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(cairo_get_source(cairo_), CAIRO_EXTEND_PAD);
  cairo_paint(cairo_);
  cairo_restore(cairo_);
  cairo_surface_destroy(cell);
  cairo_surface_destroy(surface);
}

double CairoCanvas::snappedY(double y) const {
  return std::round(y * scale_) / scale_;
}

Size CairoCanvas::measureText(std::string_view text, const FontSpec& font) {
  return text_.measure(displayableText(text), font);
}

void CairoCanvas::drawText(std::string_view text, const Rect& box, const FontSpec& font,
                           Color color, TextAlignment alignment) {
  if (text.empty() || box.isEmpty()) return;
  PangoLayout* layout =
      text_.singleLineLayout(cairo_, displayableText(text), font, box.width, alignment);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  const double height = pango_units_to_double(logical.height);
  cairo_save(cairo_);
  clip(box);
  setColor(color);
  cairo_move_to(cairo_, box.x, snappedY(box.midY() - height / 2));
  pango_cairo_show_layout(cairo_, layout);
  cairo_restore(cairo_);
}

double CairoCanvas::drawWrappedText(std::string_view text, const Rect& box, const FontSpec& font,
                                    Color color, int maxLines) {
  if (text.empty() || box.isEmpty() || maxLines <= 0) return 0;
  PangoLayout* layout =
      text_.wrappedLayout(cairo_, displayableText(text), font, box.width, maxLines);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  cairo_save(cairo_);
  clip(box);
  setColor(color);
  cairo_move_to(cairo_, box.x, snappedY(box.y));
  pango_cairo_show_layout(cairo_, layout);
  cairo_restore(cairo_);
  return std::min(box.height, pango_units_to_double(logical.y + logical.height));
}

}  // namespace glimmet
