#include "ui/paint/canvas.hpp"

#include <algorithm>

namespace glimmet {

namespace {

// The control-point distance that makes four cubic curves a circle.
constexpr double kCircleKappa = 0.5522847498;

}  // namespace

Path& Path::moveTo(Point point) {
  elements_.push_back({Verb::move, {point, {}, {}}});
  return *this;
}

Path& Path::lineTo(Point point) {
  elements_.push_back({Verb::line, {point, {}, {}}});
  return *this;
}

Path& Path::curveTo(Point control1, Point control2, Point end) {
  elements_.push_back({Verb::curve, {control1, control2, end}});
  return *this;
}

Path& Path::close() {
  elements_.push_back({Verb::close, {}});
  return *this;
}

Path& Path::addRect(const Rect& rect) {
  return moveTo({rect.minX(), rect.minY()})
      .lineTo({rect.maxX(), rect.minY()})
      .lineTo({rect.maxX(), rect.maxY()})
      .lineTo({rect.minX(), rect.maxY()})
      .close();
}

Path& Path::addRoundedRect(const Rect& rect, double radius) {
  const double r = std::clamp(radius, 0.0, std::min(rect.width, rect.height) / 2);
  if (r <= 0) return addRect(rect);
  const double k = r * (1 - kCircleKappa);
  const double left = rect.minX(), top = rect.minY(), right = rect.maxX(), bottom = rect.maxY();
  moveTo({left + r, top}).lineTo({right - r, top});
  curveTo({right - k, top}, {right, top + k}, {right, top + r});
  lineTo({right, bottom - r});
  curveTo({right, bottom - k}, {right - k, bottom}, {right - r, bottom});
  lineTo({left + r, bottom});
  curveTo({left + k, bottom}, {left, bottom - k}, {left, bottom - r});
  lineTo({left, top + r});
  curveTo({left, top + k}, {left + k, top}, {left + r, top});
  return close();
}

Path& Path::addEllipse(const Rect& rect) {
  const double rx = rect.width / 2, ry = rect.height / 2;
  const double cx = rect.midX(), cy = rect.midY();
  const double kx = rx * kCircleKappa, ky = ry * kCircleKappa;
  moveTo({cx + rx, cy});
  curveTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
  curveTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
  curveTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
  curveTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
  return close();
}

}  // namespace glimmet
