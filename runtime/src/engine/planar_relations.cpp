// Spatial relations and distance, decided by GEOS on the linear form.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/geos_context.hpp"
#include "engine/geos_convert.hpp"
#include "engine/planar_curves.hpp"
#include "engine/planar_ops.hpp"
#include "errors.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

bool relation(const Geometry& a, const Geometry& b, Relation r) {
  GeomPtr ga = to_geos(a), gb = to_geos(b);
  switch (r) {
    case Relation::Contains: return geos::truth(GEOSContains_r(ctx(), ga.get(), gb.get()), "contains");
    case Relation::Crosses: return geos::truth(GEOSCrosses_r(ctx(), ga.get(), gb.get()), "crosses");
    case Relation::Disjoint: return geos::truth(GEOSDisjoint_r(ctx(), ga.get(), gb.get()), "disjoint");
    case Relation::Equals:
      // Two empty geometries of any kind are equal; an empty and a
      // non-empty one are not.
      if (a.is_empty() || b.is_empty()) return a.is_empty() && b.is_empty();
      return geos::truth(GEOSEquals_r(ctx(), ga.get(), gb.get()), "equals");
    case Relation::Intersects: return geos::truth(GEOSIntersects_r(ctx(), ga.get(), gb.get()), "intersects");
    case Relation::Overlaps: return geos::truth(GEOSOverlaps_r(ctx(), ga.get(), gb.get()), "overlaps");
    case Relation::Touches: return geos::truth(GEOSTouches_r(ctx(), ga.get(), gb.get()), "touches");
    case Relation::Within: return geos::truth(GEOSWithin_r(ctx(), ga.get(), gb.get()), "within");
  }
  return false;
}

bool relate(const Geometry& a, const Geometry& b, const std::string& pattern) {
  if (pattern.size() != 9)
    fail(kInvalidArgument, "The relation must be a DE-9IM pattern of nine characters.", "Got \"" + pattern + "\".");
  std::string normal = pattern;
  for (char& c : normal) {
    if (c == 't') c = 'T';
    if (c == 'f') c = 'F';
    if (c != 'T' && c != 'F' && c != '*' && c != '0' && c != '1' && c != '2')
      fail(kInvalidArgument, "The relation may only hold the characters T, F, *, 0, 1 and 2.",
           "Got \"" + pattern + "\".");
  }
  GeomPtr ga = to_geos(a), gb = to_geos(b);
  return geos::truth(GEOSRelatePattern_r(ctx(), ga.get(), gb.get(), normal.c_str()), "relate");
}

namespace {

// The point of the segment nearest to (x, y), exactly for lines and circular
// arcs, by a search over the parameter for other curves.
void nearest_on_segment(const SegmentView& s, double x, double y, double& bx, double& by) {
  bx = s.start->x;
  by = s.start->y;
  auto consider = [&](double px, double py, double& best) {
    const double d = std::hypot(px - x, py - y);
    if (d < best) best = d, bx = px, by = py;
  };
  double best = INFINITY;
  consider(s.start->x, s.start->y, best);
  consider(s.end->x, s.end->y, best);
  if (s.curve->is_line()) {
    const double dx = s.end->x - s.start->x, dy = s.end->y - s.start->y, len2 = dx * dx + dy * dy;
    if (len2 > 0) {
      const double u = std::clamp(((x - s.start->x) * dx + (y - s.start->y) * dy) / len2, 0.0, 1.0);
      consider(s.start->x + u * dx, s.start->y + u * dy, best);
    }
    return;
  }
  if (s.curve->kind == SegmentKind::EllipticArc && s.curve->arc.is_circular()) {
    const EllipticArc& a = s.curve->arc;
    const double angle = std::atan2(y - a.cy, x - a.cx);
    // The parameter of that angle within the sweep, if it is there.
    double u = (angle - a.start_param) / a.sweep;
    const double turn = 2 * std::numbers::pi / std::fabs(a.sweep);
    u -= std::floor(u / turn) * turn;
    if (u <= 1) consider(a.cx + a.semi_major * std::cos(angle), a.cy + a.semi_major * std::sin(angle), best);
    return;
  }
  // Other curves: the best of 64 samples, then golden-section search on
  // either side of it.
  auto dist_at = [&](double u) {
    const Vertex v = planar::segment_point(s, u);
    return std::hypot(v.x - x, v.y - y);
  };
  constexpr int kSamples = 64;
  int at = 0;
  double low = INFINITY;
  for (int i = 0; i <= kSamples; ++i) {
    const double d = dist_at(static_cast<double>(i) / kSamples);
    if (d < low) low = d, at = i;
  }
  double lo = std::max(0, at - 1) / static_cast<double>(kSamples);
  double hi = std::min(kSamples, at + 1) / static_cast<double>(kSamples);
  const double g = 0.5 * (std::sqrt(5.0) - 1);
  for (int i = 0; i < 80; ++i) {
    const double m1 = hi - g * (hi - lo), m2 = lo + g * (hi - lo);
    if (dist_at(m1) < dist_at(m2))
      hi = m2;
    else
      lo = m1;
  }
  const Vertex v = planar::segment_point(s, 0.5 * (lo + hi));
  consider(v.x, v.y, best);
}

// The point of a multipart geometry's segments nearest to (x, y).
void nearest_on(const Geometry& g, double x, double y, double& bx, double& by) {
  double best = INFINITY;
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(g.closed());
    for (std::size_t i = 0; i < n; ++i) {
      double px = x, py = y;
      nearest_on_segment(p.segment(i, g.closed()), x, y, px, py);
      const double d = std::hypot(px - x, py - y);
      if (d < best) best = d, bx = px, by = py;
    }
    if (p.size() == 1 && n == 0) {
      const double d = std::hypot(p.vertices[0].x - x, p.vertices[0].y - y);
      if (d < best) best = d, bx = p.vertices[0].x, by = p.vertices[0].y;
    }
  }
}

}  // namespace

double distance(const Geometry& a, const Geometry& b) {
  // No distance separates an empty geometry from anything.
  if (a.is_empty() || b.is_empty()) return kNaN;
  if (a.kind == GeometryKind::Point && b.kind == GeometryKind::Point)
    return std::hypot(a.point.x - b.point.x, a.point.y - b.point.y);
  GeomPtr ga = to_geos(a), gb = to_geos(b);
  double d = 0;
  geos::check(GEOSDistance_r(ctx(), ga.get(), gb.get(), &d), "distance");
  if (d == 0 || !(a.has_curves() || b.has_curves())) return d;
  // GEOS measured between chords; the nearest points it found are moved onto
  // the true curves, each in turn projected onto the other geometry, which
  // settles on the true nearest pair close to GEOS's.
  GEOSCoordSequence* pair = GEOSNearestPoints_r(ctx(), ga.get(), gb.get());
  if (pair == nullptr) return d;
  double ax = 0, ay = 0, bx = 0, by = 0;
  GEOSCoordSeq_getXY_r(ctx(), pair, 0, &ax, &ay);
  GEOSCoordSeq_getXY_r(ctx(), pair, 1, &bx, &by);
  GEOSCoordSeq_destroy_r(ctx(), pair);
  for (int i = 0; i < 16; ++i) {
    if (a.is_multipart()) nearest_on(a, bx, by, ax, ay);
    if (b.is_multipart()) nearest_on(b, ax, ay, bx, by);
  }
  return std::hypot(ax - bx, ay - by);
}

}  // namespace vaskelith::planar
