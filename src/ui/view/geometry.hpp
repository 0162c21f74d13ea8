#pragma once

#include <algorithm>

namespace glimmet {

// Interface geometry in points, flipped: the origin is the top left of the window and y grows
// downwards.
struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double minX() const { return x; }
  double minY() const { return y; }
  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  double midX() const { return x + width / 2; }
  double midY() const { return y + height / 2; }
  bool isEmpty() const { return width <= 0 || height <= 0; }
  // Half-open: a point on the right or bottom edge is outside.
  bool contains(Point point) const {
    return point.x >= x && point.x < maxX() && point.y >= y && point.y < maxY();
  }
  // Grown by `amount` on every side (shrunk when negative, never below zero size).
  Rect insetBy(double dx, double dy) const {
    return {x + dx, y + dy, std::max(0.0, width - 2 * dx), std::max(0.0, height - 2 * dy)};
  }
  Rect grownBy(double amount) const { return insetBy(-amount, -amount); }
  bool operator==(const Rect&) const = default;
};

// Straight sRGB components in 0...1.
struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  static constexpr Color rgb(int r, int g, int b, double alpha = 1) {
    return {r / 255.0, g / 255.0, b / 255.0, alpha};
  }
  static constexpr Color white(double alpha = 1) { return {1, 1, 1, alpha}; }
  static constexpr Color black(double alpha = 1) { return {0, 0, 0, alpha}; }
  constexpr Color withAlpha(double newAlpha) const { return {red, green, blue, newAlpha}; }
  bool operator==(const Color&) const = default;
};

}  // namespace glimmet
