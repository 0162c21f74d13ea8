#pragma once

#include <string>
#include <vector>

#include "ui/paint/canvas.hpp"

namespace glimmet::viewtest {

// Keeps every drawing call, and measures text as 6 points per byte, so tests can ask what was
// drawn where without pixels.
class RecordingCanvas : public Canvas {
 public:
  struct Fill {
    Path path;
    Color color;
  };
  struct Text {
    std::string text;
    Rect box;
    FontSpec font;
    Color color;
  };

  void save() override { clips_.push_back(clips_.empty() ? Rect{0, 0, 1e9, 1e9} : clips_.back()); }
  void restore() override {
    if (!clips_.empty()) clips_.pop_back();
  }
  void clip(const Rect& rect) override {
    if (!clips_.empty()) clips_.back() = rect;
    clipRects.push_back(rect);
  }
  void fillPath(const Path& path, Color color) override { fills.push_back({path, color}); }
  void strokePath(const Path& path, Color color, double) override {
    strokes.push_back({path, color});
  }
  Size measureText(std::string_view text, const FontSpec& font) override {
    return {static_cast<double>(text.size()) * 6 * font.size / 11, font.size * 1.2};
  }
  void drawText(std::string_view text, const Rect& box, const FontSpec& font, Color color,
                TextAlignment) override {
    texts.push_back({std::string(text), box, font, color});
  }
  double drawWrappedText(std::string_view text, const Rect& box, const FontSpec& font, Color color,
                         int) override {
    texts.push_back({std::string(text), box, font, color});
    return box.height;
  }

  const Text* text(const std::string& content) const {
    for (const auto& entry : texts) {
      if (entry.text == content) return &entry;
    }
    return nullptr;
  }

  std::vector<Fill> fills;
  std::vector<Fill> strokes;
  std::vector<Text> texts;
  std::vector<Rect> clipRects;

 private:
  std::vector<Rect> clips_;
};

}  // namespace glimmet::viewtest
