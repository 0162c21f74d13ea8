#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/result.hpp"
#include "ui/cairo/font_files.hpp"
#include "ui/paint/canvas.hpp"

namespace glimmet {

// Pango text over an isolated font configuration: exactly the given font files, fixed
// rendering options (no hinting, grey antialiasing), never the user's fonts or desktop
// settings, so the same text gives the same pixels on every machine. Layouts are cached, as the
// overlay redraws the same few strings up to 30 times a second. Use from one thread.
class TextEngine {
 public:
  static Result<std::unique_ptr<TextEngine>> create(const FontFiles& files);
  ~TextEngine();
  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  // Expects text already made displayable (no control characters). `width` in points.
  PangoLayout* singleLineLayout(cairo_t* cairo, const std::string& text, const FontSpec& font,
                                double width, TextAlignment alignment);
  PangoLayout* wrappedLayout(cairo_t* cairo, const std::string& text, const FontSpec& font,
                             double width, int maxLines);
  // In points, independent of the device scale of any surface drawn on.
  Size measure(const std::string& text, const FontSpec& font);

  // The family and face of the font `font` resolves to for ordinary text, e.g. "Inter
  // Semi-Bold 11": what a diagnostic or a test can check.
  std::string describeLoadedFont(const FontSpec& font);

  PangoFontMap* fontMap() const { return fontMap_; }

 private:
  struct Deleter {
    void operator()(PangoLayout* layout) const;
  };
  using LayoutPtr = std::unique_ptr<PangoLayout, Deleter>;

  TextEngine(PangoFontMap* fontMap, PangoContext* drawing, PangoContext* measuring,
             cairo_font_options_t* options);
  const PangoFontDescription* description(const FontSpec& font);
  // The layout cached under `key`, or a new empty one (`second` true) for the caller to set up.
  std::pair<PangoLayout*, bool> cachedLayout(PangoContext* context, const std::string& key);
  void configure(PangoLayout* layout, const std::string& text, const FontSpec& font);

  PangoFontMap* fontMap_;
  PangoContext* drawingContext_;
  PangoContext* measuringContext_;
  cairo_font_options_t* fontOptions_;
  std::map<std::pair<double, int>, PangoFontDescription*> descriptions_;
  std::unordered_map<std::string, LayoutPtr> layouts_;
};

// The engine of this thread over the fonts findFontFiles() locates, made on first use. The
// failure (no font files) is kept and returned again.
Result<TextEngine*> sharedTextEngine();

}  // namespace glimmet
