#include "ui/cairo/text_engine.hpp"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "base/environment.hpp"

namespace glimmet {

namespace {

// Cached layouts beyond this are all dropped at once: the overlay shows a few dozen strings,
// so the cache only fills when texts keep changing, and then the old ones are of no use.
constexpr size_t kMaxCachedLayouts = 512;
constexpr const char* kFamily = "Inter";

PangoWeight pangoWeight(FontWeight weight) {
  switch (weight) {
    case FontWeight::regular:
      return PANGO_WEIGHT_NORMAL;
    case FontWeight::medium:
      return PANGO_WEIGHT_MEDIUM;
    case FontWeight::semibold:
      return PANGO_WEIGHT_SEMIBOLD;
    case FontWeight::bold:
      return PANGO_WEIGHT_BOLD;
  }
  return PANGO_WEIGHT_NORMAL;
}

PangoAlignment pangoAlignment(TextAlignment alignment) {
  switch (alignment) {
    case TextAlignment::left:
      return PANGO_ALIGN_LEFT;
    case TextAlignment::center:
      return PANGO_ALIGN_CENTER;
    case TextAlignment::right:
      return PANGO_ALIGN_RIGHT;
  }
  return PANGO_ALIGN_LEFT;
}

int pangoUnits(double points) {
  if (!std::isfinite(points) || points <= 0) return 0;
  return pango_units_from_double(std::min(points, 1e6));
}

std::string layoutKey(char kind, const std::string& text, const FontSpec& font, int width,
                      int variant) {
  std::string key;
  key.reserve(text.size() + 48);
  key += kind;
  key += std::to_string(pangoUnits(font.size));
  key += '/';
  key += std::to_string(static_cast<int>(font.weight));
  key += font.monospacedDigits ? 't' : 'p';
  key += std::to_string(width);
  key += '/';
  key += std::to_string(variant);
  key += '|';
  key += text;
  return key;
}

cairo_font_options_t* fixedFontOptions() {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  return options;
}

PangoContext* newContext(PangoFontMap* fontMap, const cairo_font_options_t* options) {
  PangoContext* context = pango_font_map_create_context(fontMap);
  pango_cairo_context_set_font_options(context, options);
  // Glyphs at their exact advances: text measures the same at every device scale.
  pango_context_set_round_glyph_positions(context, FALSE);
  pango_context_set_base_dir(context, PANGO_DIRECTION_LTR);
  return context;
}

}  // namespace

void TextEngine::Deleter::operator()(PangoLayout* layout) const {
  g_object_unref(layout);
}

Result<std::unique_ptr<TextEngine>> TextEngine::create(const FontFiles& files) {
  using Failure = Result<std::unique_ptr<TextEngine>>;
  FcConfig* config = FcConfigCreate();
  if (!config) return Failure::failure("Could not create a font configuration.");
  std::vector<std::string> all = files.inter;
  all.insert(all.end(), files.fallback.begin(), files.fallback.end());
  for (const std::string& file : all) {
    if (!FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(file.c_str()))) {
      FcConfigDestroy(config);
      return Failure::failure("Could not load the font file " + file + ".");
    }
  }
  PangoFontMap* fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
  if (!fontMap) {
    FcConfigDestroy(config);
    return Failure::failure("Pango has no FreeType font support for cairo.");
  }
  pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap), config);
  FcConfigDestroy(config);  // the font map holds its own reference
  cairo_font_options_t* options = fixedFontOptions();
  std::unique_ptr<TextEngine> engine(
      new TextEngine(fontMap, newContext(fontMap, options), newContext(fontMap, options), options));
  return engine;
}

TextEngine::TextEngine(PangoFontMap* fontMap, PangoContext* drawing, PangoContext* measuring,
                       cairo_font_options_t* options)
    : fontMap_(fontMap),
      drawingContext_(drawing),
      measuringContext_(measuring),
      fontOptions_(options) {}

TextEngine::~TextEngine() {
  layouts_.clear();
  for (auto& [key, description] : descriptions_) pango_font_description_free(description);
  g_object_unref(drawingContext_);
  g_object_unref(measuringContext_);
  g_object_unref(fontMap_);
  cairo_font_options_destroy(fontOptions_);
}

const PangoFontDescription* TextEngine::description(const FontSpec& font) {
  const auto key = std::make_pair(font.size, static_cast<int>(font.weight));
  auto found = descriptions_.find(key);
  if (found != descriptions_.end()) return found->second;
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family_static(description, kFamily);
  pango_font_description_set_weight(description, pangoWeight(font.weight));
  pango_font_description_set_style(description, PANGO_STYLE_NORMAL);
  // Absolute: one point of the view is one unit of user space, whatever the resolution.
  pango_font_description_set_absolute_size(description, std::max(1, pangoUnits(font.size)));
  descriptions_.emplace(key, description);
  return description;
}

std::pair<PangoLayout*, bool> TextEngine::cachedLayout(PangoContext* context,
                                                       const std::string& key) {
  auto found = layouts_.find(key);
  if (found != layouts_.end()) return {found->second.get(), false};
  if (layouts_.size() >= kMaxCachedLayouts) layouts_.clear();
  PangoLayout* layout = pango_layout_new(context);
  layouts_.emplace(key, LayoutPtr(layout));
  return {layout, true};
}

void TextEngine::configure(PangoLayout* layout, const std::string& text, const FontSpec& font) {
  pango_layout_set_font_description(layout, description(font));
  // Alignment as asked, not flipped for a right-to-left paragraph: the view decides sides.
  pango_layout_set_auto_dir(layout, FALSE);
  if (font.monospacedDigits) {
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_font_features_new("tnum 1"));
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);
  }
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
}

PangoLayout* TextEngine::singleLineLayout(cairo_t* cairo, const std::string& text,
                                          const FontSpec& font, double width,
                                          TextAlignment alignment) {
  pango_cairo_update_context(cairo, drawingContext_);
  const int units = pangoUnits(width);
  const std::string key = layoutKey('d', text, font, units, static_cast<int>(alignment));
  auto [layout, fresh] = cachedLayout(drawingContext_, key);
  if (!fresh) return layout;
  configure(layout, text, font);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_width(layout, units);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  pango_layout_set_alignment(layout, pangoAlignment(alignment));
  return layout;
}

PangoLayout* TextEngine::wrappedLayout(cairo_t* cairo, const std::string& text,
                                       const FontSpec& font, double width, int maxLines) {
  pango_cairo_update_context(cairo, drawingContext_);
  const int units = pangoUnits(width);
  const std::string key = layoutKey('w', text, font, units, maxLines);
  auto [layout, fresh] = cachedLayout(drawingContext_, key);
  if (!fresh) return layout;
  configure(layout, text, font);
  pango_layout_set_width(layout, units);
  pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  // A negative height counts lines: at most this many, the last one ellipsized.
  pango_layout_set_height(layout, -std::max(1, maxLines));
  return layout;
}

Size TextEngine::measure(const std::string& text, const FontSpec& font) {
  const std::string key = layoutKey('m', text, font, 0, 0);
  auto [layout, fresh] = cachedLayout(measuringContext_, key);
  if (fresh) {
    configure(layout, text, font);
    pango_layout_set_single_paragraph_mode(layout, TRUE);
  }
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return {pango_units_to_double(logical.width), pango_units_to_double(logical.height)};
}

std::string TextEngine::describeLoadedFont(const FontSpec& font) {
  PangoFont* loaded = pango_font_map_load_font(fontMap_, measuringContext_, description(font));
  if (!loaded) return {};
  PangoFontDescription* described = pango_font_describe(loaded);
  char* text = pango_font_description_to_string(described);
  std::string result = text;
  g_free(text);
  pango_font_description_free(described);
  g_object_unref(loaded);
  return result;
}

Result<TextEngine*> sharedTextEngine() {
  thread_local std::optional<Result<std::unique_ptr<TextEngine>>> engine;
  if (!engine) {
    auto files = findFontFiles(Environment::current());
    if (!files) {
      engine.emplace(Result<std::unique_ptr<TextEngine>>::failure(files.error()));
    } else {
      engine.emplace(TextEngine::create(files.value()));
    }
  }
  if (!*engine) return Result<TextEngine*>::failure(engine->error());
  return engine->value().get();
}

}  // namespace glimmet
