#include "engine/point_distance.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vaskelith::planar {

namespace {

// The distance from (px, py) to the segment from (ax, ay) to (bx, by), by
// the projection of the point on the segment's line, as GEOS computes it
// (so that both give the same last bits).
double to_segment(double px, double py, double ax, double ay, double bx, double by) {
  if (ax == bx && ay == by) return std::sqrt((px - ax) * (px - ax) + (py - ay) * (py - ay));
  const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
  const double r = ((px - ax) * dx + (py - ay) * dy) / len2;
  if (r <= 0.0) return std::sqrt((px - ax) * (px - ax) + (py - ay) * (py - ay));
  if (r >= 1.0) return std::sqrt((px - bx) * (px - bx) + (py - by) * (py - by));
  const double s = ((ay - py) * dx - (ax - px) * dy) / len2;
  return std::fabs(s) * std::sqrt(len2);
}

// The sign of the turn from a -> b to a -> p (1 left, -1 right, 0 on the
// line), or 2 where rounding leaves it undecided.  The bound is the
// classical one for this determinant evaluated in doubles: beyond it the
// computed sign is the exact sign.
int turn(double ax, double ay, double bx, double by, double px, double py) {
  const double left = (bx - ax) * (py - ay), right = (by - ay) * (px - ax);
  const double det = left - right;
  constexpr double kEps = std::numeric_limits<double>::epsilon() / 2;
  constexpr double kBound = (3.0 + 16.0 * kEps) * kEps;
  constexpr double kTiny = 1e-290;
  const double bound = kBound * (std::fabs(left) + std::fabs(right));
  if (det > bound) return 1;
  if (-det > bound) return -1;
  // Products of numbers this small have lost their relative precision, and
  // so has the bound.
  if (std::fabs(left) + std::fabs(right) < kTiny) return (bx == ax || py == ay) && (by == ay || px == ax) ? 0 : 2;
  // Zero for certain only where a factor of each product is: a difference
  // of doubles is zero exactly when they are equal.
  if ((bx == ax || py == ay) && (by == ay || px == ax)) return 0;
  return 2;
}

enum class Where { Outside, Inside, Boundary, Unsure };

// Where a point lies against the rings of a valid polygon, by counting the
// sides that cross the ray from it towards +x (even-odd over all rings,
// which for valid rings is inside the shells and outside the holes).
Where locate(double px, double py, const Geometry& g) {
  std::size_t crossings = 0;
  for (const Part& ring : g.parts) {
    const std::size_t n = ring.vertices.size();
    const double* xy = ring.vertices.xy_data();
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t j = i + 1 == n ? 0 : i + 1;
      const double x1 = xy[2 * i], y1 = xy[2 * i + 1], x2 = xy[2 * j], y2 = xy[2 * j + 1];
      if (x1 < px && x2 < px) continue;  // wholly to the left of the point
      if (px == x2 && py == y2) return Where::Boundary;
      if (y1 == py && y2 == py) {
        if (std::min(x1, x2) <= px && px <= std::max(x1, x2)) return Where::Boundary;
        continue;
      }
      if ((y1 > py && y2 <= py) || (y2 > py && y1 <= py)) {
        int t = turn(x1, y1, x2, y2, px, py);
        if (t == 2) return Where::Unsure;
        if (t == 0) return Where::Boundary;
        if (y2 < y1) t = -t;
        if (t > 0) ++crossings;
      }
    }
  }
  return crossings % 2 == 1 ? Where::Inside : Where::Outside;
}

}  // namespace

std::optional<double> point_to_straight(const Vertex& p, const Geometry& g) {
  const double px = p.x, py = p.y;
  // A coordinate that is not finite turns its products into NaN (x * 0).
  double probe = px * 0.0 + py * 0.0;
  for (const Part& part : g.parts) {
    const double* xy = part.vertices.xy_data();
    for (std::size_t k = 0, n = 2 * part.vertices.size(); k < n; ++k) probe += xy[k] * 0.0;
  }
  if (probe != 0.0) return std::nullopt;
  if (g.kind == GeometryKind::Polygon) {
    const Where w = locate(px, py, g);
    if (w == Where::Unsure) return std::nullopt;
    if (w != Where::Outside) return 0.0;
  }
  const bool closed = g.kind == GeometryKind::Polygon;
  double best = std::numeric_limits<double>::infinity();
  for (const Part& part : g.parts) {
    const std::size_t n = part.vertices.size();
    const double* xy = part.vertices.xy_data();
    const std::size_t segments = closed ? n : n - 1;
    for (std::size_t i = 0; i < segments; ++i) {
      const std::size_t j = i + 1 == n ? 0 : i + 1;
      best = std::min(best, to_segment(px, py, xy[2 * i], xy[2 * i + 1], xy[2 * j], xy[2 * j + 1]));
    }
  }
  // Infinite and missing coordinates, and distances past the largest
  // double, are left to GEOS, whose answer for them is its own.
  if (!std::isfinite(best)) return std::nullopt;
  return best;
}

}  // namespace vaskelith::planar
