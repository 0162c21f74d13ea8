#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pets/pet_image.hpp"
#include "ui/view/geometry.hpp"

namespace glimmet {

// A path in view coordinates: moves, lines, cubic curves and closes.
class Path {
 public:
  enum class Verb { move, line, curve, close };
  struct Element {
    Verb verb;
    Point points[3];  // move/line: [0]; curve: control 1, control 2, end
  };

  Path& moveTo(Point point);
  Path& lineTo(Point point);
  Path& curveTo(Point control1, Point control2, Point end);
  Path& close();
  Path& addRect(const Rect& rect);
  // A rectangle with all four corners rounded by `radius` (clamped to half the shorter side).
  Path& addRoundedRect(const Rect& rect, double radius);
  Path& addEllipse(const Rect& rect);

  const std::vector<Element>& elements() const { return elements_; }
  bool empty() const { return elements_.empty(); }

 private:
  std::vector<Element> elements_;
};

enum class FontWeight { regular, medium, semibold, bold };

struct FontSpec {
  double size = 11;  // points
  FontWeight weight = FontWeight::regular;
  // Digits all one width, for counts that change in place.
  bool monospacedDigits = false;
  bool operator==(const FontSpec&) const = default;
};

enum class TextAlignment { left, center, right };

// The drawing surface the painters talk to. One implementation draws with cairo and pango; a
// recording one in tests keeps the calls.
class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual void save() = 0;
  virtual void restore() = 0;
  // Intersects the clip with `rect` until the matching restore().
  virtual void clip(const Rect& rect) = 0;

  virtual void fillPath(const Path& path, Color color) = 0;
  virtual void strokePath(const Path& path, Color color, double lineWidth) = 0;
  // A stroke with round caps and joins, as the symbols are drawn; a canvas that keeps calls
  // rather than pixels may record it as a plain stroke.
  virtual void strokeRoundPath(const Path& path, Color color, double lineWidth) {
    strokePath(path, color, lineWidth);
  }
  void fillRect(const Rect& rect, Color color) { fillPath(Path().addRect(rect), color); }
  // The `source` pixels of `image` scaled into `destination`. A canvas that keeps calls rather
  // than pixels may leave images out.
  virtual void drawImage(const PetImage& image, const PetImageRect& source,
                         const Rect& destination) {
    (void)image;
    (void)source;
    (void)destination;
  }

  // The width and line height of `text` set on one line in `font`.
  virtual Size measureText(std::string_view text, const FontSpec& font) = 0;
  // One line of text inside `box`: cut with an ellipsis at the end when wider than the box,
  // vertically centred in it, never drawn outside it. Control characters show as spaces.
  virtual void drawText(std::string_view text, const Rect& box, const FontSpec& font, Color color,
                        TextAlignment alignment) = 0;
  // Up to `maxLines` lines wrapped at word boundaries inside `box`, the last one ellipsized;
  // aligned to the top of the box. Returns the height used.
  virtual double drawWrappedText(std::string_view text, const Rect& box, const FontSpec& font,
                                 Color color, int maxLines) = 0;
};

}  // namespace glimmet
