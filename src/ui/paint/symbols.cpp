#include "ui/paint/symbols.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

namespace glimmet {

namespace {

constexpr double kGrid = 16;
constexpr double kStroke = 1.5;
constexpr double kDegrees = std::numbers::pi / 180;

// Maps the 16-point design grid into the box: uniform scale, centred.
class Grid {
 public:
  explicit Grid(const Rect& box) : scale_(std::min(box.width, box.height) / kGrid) {
    originX_ = box.midX() - kGrid * scale_ / 2;
    originY_ = box.midY() - kGrid * scale_ / 2;
  }
  Point operator()(double x, double y) const {
    return {originX_ + x * scale_, originY_ + y * scale_};
  }
  double length(double value) const { return value * scale_; }

 private:
  double scale_;
  double originX_ = 0;
  double originY_ = 0;
};

Path polyline(const Grid& grid, std::initializer_list<Point> points) {
  Path path;
  bool first = true;
  for (Point point : points) {
    if (first) {
      path.moveTo(grid(point.x, point.y));
    } else {
      path.lineTo(grid(point.x, point.y));
    }
    first = false;
  }
  return path;
}

void addLine(Path& path, const Grid& grid, Point from, Point to) {
  path.moveTo(grid(from.x, from.y)).lineTo(grid(to.x, to.y));
}

// A circular arc clockwise on screen from `start` to `end` degrees (0 along +x, 90 down), as
// cubic curves of at most 90 degrees each.
void addArc(Path& path, const Grid& grid, Point centre, double radius, double start, double end) {
  const int pieces = std::max(1, static_cast<int>(std::ceil((end - start) / 90)));
  const double step = (end - start) / pieces * kDegrees;
  const double handle = 4.0 / 3.0 * std::tan(step / 4) * radius;
  double angle = start * kDegrees;
  const auto at = [&](double a, double r) {
    return Point{centre.x + r * std::cos(a), centre.y + r * std::sin(a)};
  };
  const Point first = at(angle, radius);
  path.moveTo(grid(first.x, first.y));
  for (int i = 0; i < pieces; ++i) {
    const double next = angle + step;
    const Point p0 = at(angle, radius), p3 = at(next, radius);
    const Point c1 = {p0.x - handle * std::sin(angle), p0.y + handle * std::cos(angle)};
    const Point c2 = {p3.x + handle * std::sin(next), p3.y - handle * std::cos(next)};
    path.curveTo(grid(c1.x, c1.y), grid(c2.x, c2.y), grid(p3.x, p3.y));
    angle = next;
  }
}

void addCircle(Path& path, const Grid& grid, Point centre, double radius) {
  addArc(path, grid, centre, radius, 0, 360);
  path.close();
}

Path checkmark(const Grid& grid) {
  return polyline(grid, {{3, 8.5}, {6.5, 12}, {13, 4.5}});
}

Path xmark(const Grid& grid) {
  Path path;
  addLine(path, grid, {4, 4}, {12, 12});
  addLine(path, grid, {12, 4}, {4, 12});
  return path;
}

Path trash(const Grid& grid) {
  Path path;
  addLine(path, grid, {2.5, 4}, {13.5, 4});
  path.moveTo(grid(6, 4)).lineTo(grid(6, 2.25)).lineTo(grid(10, 2.25)).lineTo(grid(10, 4));
  path.moveTo(grid(3.75, 4))
      .lineTo(grid(4.5, 12.5))
      .curveTo(grid(4.6, 13.3), grid(5, 13.75), grid(5.75, 13.75))
      .lineTo(grid(10.25, 13.75))
      .curveTo(grid(11, 13.75), grid(11.4, 13.3), grid(11.5, 12.5))
      .lineTo(grid(12.25, 4));
  addLine(path, grid, {6.5, 6.75}, {6.5, 11.25});
  addLine(path, grid, {9.5, 6.75}, {9.5, 11.25});
  return path;
}

Path gearshape(const Grid& grid) {
  constexpr int kTeeth = 8;
  constexpr double kRoot = 4.9, kTip = 6.5;
  Path path;
  for (int tooth = 0; tooth < kTeeth; ++tooth) {
    const double centre = tooth * 360.0 / kTeeth;
    const std::initializer_list<std::pair<double, double>> corners = {
        {centre - 13, kRoot}, {centre - 8, kTip}, {centre + 8, kTip}, {centre + 13, kRoot}};
    for (auto [degrees, radius] : corners) {
      const Point point = grid(8 + radius * std::cos(degrees * kDegrees),
                               8 + radius * std::sin(degrees * kDegrees));
      if (path.empty()) {
        path.moveTo(point);
      } else {
        path.lineTo(point);
      }
    }
  }
  path.close();
  addCircle(path, grid, {8, 8}, 2.1);
  return path;
}

Path power(const Grid& grid) {
  Path path;
  // Open at the top, where the bar stands.
  addArc(path, grid, {8, 8.75}, 5.5, -50, 230);
  addLine(path, grid, {8, 1.75}, {8, 7.5});
  return path;
}

Path arrowUpForward(const Grid& grid) {
  Path path;
  addLine(path, grid, {4, 12}, {12, 4});
  path.moveTo(grid(5.5, 4)).lineTo(grid(12, 4)).lineTo(grid(12, 10.5));
  return path;
}

Path eyeSlash(const Grid& grid) {
  Path path;
  path.moveTo(grid(1.5, 8))
      .curveTo(grid(3.25, 5), grid(5.5, 3.5), grid(8, 3.5))
      .curveTo(grid(10.5, 3.5), grid(12.75, 5), grid(14.5, 8))
      .curveTo(grid(12.75, 11), grid(10.5, 12.5), grid(8, 12.5))
      .curveTo(grid(5.5, 12.5), grid(3.25, 11), grid(1.5, 8))
      .close();
  addCircle(path, grid, {8, 8}, 2.1);
  addLine(path, grid, {2.5, 1.75}, {13.5, 14.25});
  return path;
}

Path markAllRead(const Grid& grid) {
  Path path = polyline(grid, {{1.5, 8.5}, {4.75, 11.75}, {10.5, 4.75}});
  path.moveTo(grid(7, 10.25)).lineTo(grid(8.5, 11.75)).lineTo(grid(14.5, 4.75));
  return path;
}

Path bell(const Grid& grid) {
  Path path;
  path.moveTo(grid(4.25, 11.5))
      .lineTo(grid(4.25, 7.5))
      .curveTo(grid(4.25, 5), grid(5.9, 3.25), grid(8, 3.25))
      .curveTo(grid(10.1, 3.25), grid(11.75, 5), grid(11.75, 7.5))
      .lineTo(grid(11.75, 11.5));
  addLine(path, grid, {2.75, 11.5}, {13.25, 11.5});
  addLine(path, grid, {8, 1.75}, {8, 3.25});
  addLine(path, grid, {6.75, 13.75}, {9.25, 13.75});
  return path;
}

Path clock(const Grid& grid) {
  Path path;
  addCircle(path, grid, {8, 8}, 6.25);
  path.moveTo(grid(8, 4.75)).lineTo(grid(8, 8)).lineTo(grid(10.5, 9.75));
  return path;
}

Path symbolPath(Symbol symbol, const Grid& grid) {
  switch (symbol) {
    case Symbol::checkmark:
      return checkmark(grid);
    case Symbol::xmark:
      return xmark(grid);
    case Symbol::trash:
      return trash(grid);
    case Symbol::gearshape:
      return gearshape(grid);
    case Symbol::power:
      return power(grid);
    case Symbol::arrowUpForward:
      return arrowUpForward(grid);
    case Symbol::eyeSlash:
      return eyeSlash(grid);
    case Symbol::markAllRead:
      return markAllRead(grid);
    case Symbol::bell:
      return bell(grid);
    case Symbol::clock:
      return clock(grid);
  }
  return {};
}

}  // namespace

void drawSymbol(Canvas& canvas, Symbol symbol, const Rect& box, Color color) {
  if (box.isEmpty()) return;
  const Grid grid(box);
  canvas.save();
  canvas.clip(box);
  canvas.strokeRoundPath(symbolPath(symbol, grid), color, grid.length(kStroke));
  canvas.restore();
}

}  // namespace glimmet
