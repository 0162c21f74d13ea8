#include "ui/cairo/text_width.hpp"

#include <string>

#include "ui/cairo/display_text.hpp"
#include "ui/cairo/text_engine.hpp"

namespace glimmet {

Result<TextWidthMeasure> sharedTextWidthMeasure() {
  auto engine = sharedTextEngine();
  if (!engine) return Result<TextWidthMeasure>::failure(engine.error());
  TextEngine* text = engine.value();
  return TextWidthMeasure([text](std::string_view line, const FontSpec& font) {
    return text->measure(displayableText(line), font).width;
  });
}

}  // namespace glimmet
