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

namespace {

// ---- points against curved geometries, decided on the curves ----
//
// GEOS would see a point on an arc as off the chords; for a point set
// against a curved polyline or area the DE-9IM matrix is built here from
// each point's exact location instead.

enum class Where { Interior, Boundary, Exterior };

// Crossings of the ray from (px, py) towards +x with one segment.  The
// segment is cut where its y turns, so that each piece is monotone in y and
// counts like a straight edge under the half-open rule (y above py on one
// end only).
int ray_crossings(const SegmentView& s, double px, double py) {
  auto edge = [&](double ya, double yb, auto&& x_at_y) {
    if ((ya > py) == (yb > py)) return 0;
    return x_at_y() > px ? 1 : 0;
  };
  if (s.curve->is_line()) {
    const Vertex &a = *s.start, &b = *s.end;
    return edge(a.y, b.y, [&] { return a.x + (py - a.y) * (b.x - a.x) / (b.y - a.y); });
  }
  // Parameters (in [0, 1]) where y turns.
  std::vector<double> cuts{0.0};
  if (s.curve->kind == SegmentKind::EllipticArc) {
    const EllipticArc& e = s.curve->arc;
    // y(t) = cy + sin(rot) a cos t + cos(rot) b sin t: turns where
    // tan t = cos(rot) b / (sin(rot) a).
    const double A = std::sin(e.rotation) * e.semi_major, B = std::cos(e.rotation) * e.semi_major * e.ratio;
    const double t0 = std::atan2(B, A);
    const double lo = std::min(e.start_param, e.start_param + e.sweep), hi = std::max(e.start_param, e.start_param + e.sweep);
    for (double t = t0 + std::ceil((lo - t0) / std::numbers::pi) * std::numbers::pi; t < hi; t += std::numbers::pi) {
      const double u = (t - e.start_param) / e.sweep;
      if (u > 0 && u < 1) cuts.push_back(u);
    }
  } else {
    // A cubic Bezier's dy/dt is quadratic.
    const double y0 = s.start->y, y1 = s.curve->bezier.c1y, y2 = s.curve->bezier.c2y, y3 = s.end->y;
    const double qa = -y0 + 3 * y1 - 3 * y2 + y3, qb = 2 * (y0 - 2 * y1 + y2), qc = y1 - y0;
    if (qa != 0) {
      const double disc = qb * qb - 4 * qa * qc;
      if (disc >= 0) {
        const double r = std::sqrt(disc);
        for (double u : {(-qb - r) / (2 * qa), (-qb + r) / (2 * qa)})
          if (u > 0 && u < 1) cuts.push_back(u);
      }
    } else if (qb != 0) {
      const double u = -qc / qb;
      if (u > 0 && u < 1) cuts.push_back(u);
    }
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(1.0);
  int count = 0;
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const double ua = cuts[i], ub = cuts[i + 1];
    const Vertex va = planar::segment_point(s, ua), vb = planar::segment_point(s, ub);
    count += edge(va.y, vb.y, [&] {
      double lo = ua, hi = ub;
      const bool rising = vb.y > va.y;
      for (int k = 0; k < 80; ++k) {
        const double mid = 0.5 * (lo + hi);
        if ((planar::segment_point(s, mid).y > py) == rising)
          hi = mid;
        else
          lo = mid;
      }
      return planar::segment_point(s, 0.5 * (lo + hi)).x;
    });
  }
  return count;
}

Where locate(const Geometry& g, double x, double y) {
  double bx = x, by = y;
  nearest_on(g, x, y, bx, by);
  const EnvelopeBounds e = extent_of(g);
  const double eps = 1e-12 * (std::fabs(x) + std::fabs(y) + std::hypot(e.xmax - e.xmin, e.ymax - e.ymin));
  const bool on = std::hypot(bx - x, by - y) <= eps;
  if (g.kind == GeometryKind::Polyline) {
    if (!on) return Where::Exterior;
    // An end point counted an odd number of times is boundary.
    int ends = 0;
    for (const Part& p : g.parts) {
      if (p.empty()) continue;
      for (const Vertex* v : {&p.vertices.front(), &p.vertices.back()})
        if (std::hypot(v->x - x, v->y - y) <= eps) ++ends;
    }
    return ends % 2 == 1 ? Where::Boundary : Where::Interior;
  }
  if (on) return Where::Boundary;
  // Even-odd over all rings: the same as telling holes by nesting.
  int crossings = 0;
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(true);
    for (std::size_t i = 0; i < n; ++i) crossings += ray_crossings(p.segment(i, true), x, y);
  }
  return crossings % 2 == 1 ? Where::Interior : Where::Exterior;
}

bool is_point_set(const Geometry& g) { return g.kind == GeometryKind::Point || g.kind == GeometryKind::Multipoint; }

// The DE-9IM matrix of a point set against a curved polyline or polygon.
std::string point_matrix(const Geometry& points, const Geometry& g) {
  bool in = false, on = false, out = false;
  auto visit = [&](const Vertex& v) {
    if (!std::isfinite(v.x) || !std::isfinite(v.y)) return;
    switch (locate(g, v.x, v.y)) {
      case Where::Interior: in = true; break;
      case Where::Boundary: on = true; break;
      case Where::Exterior: out = true; break;
    }
  };
  if (points.kind == GeometryKind::Point)
    visit(points.point);
  else
    for (const Vertex& v : points.points) visit(v);
  std::string m = "FFFFFFFF2";
  m[0] = in ? '0' : 'F';
  m[1] = on ? '0' : 'F';
  m[2] = out ? '0' : 'F';
  const bool area = g.kind == GeometryKind::Polygon;
  m[6] = area ? '2' : '1';  // the exterior of points meets the interior of g
  if (area) {
    m[7] = '1';  // no set of points covers a ring
    return m;
  }
  // The line's boundary: end points counted an odd number of times.  One of
  // them outside the point set puts the exterior of the points on it.
  std::vector<std::pair<Vertex, int>> ends;
  for (const Part& p : g.parts) {
    if (p.empty()) continue;
    for (const Vertex* v : {&p.vertices.front(), &p.vertices.back()}) {
      auto it = std::find_if(ends.begin(), ends.end(), [&](const auto& e) { return e.first.x == v->x && e.first.y == v->y; });
      if (it == ends.end())
        ends.push_back({*v, 1});
      else
        ++it->second;
    }
  }
  auto in_points = [&](const Vertex& v) {
    if (points.kind == GeometryKind::Point) return points.point.x == v.x && points.point.y == v.y;
    for (const Vertex& q : points.points)
      if (q.x == v.x && q.y == v.y) return true;
    return false;
  };
  m[7] = 'F';
  for (const auto& [v, count] : ends)
    if (count % 2 == 1 && !in_points(v)) m[7] = '0';
  return m;
}

std::string transposed(const std::string& m) {
  return std::string{m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]};
}

// The exact matrix when one operand is a point set and the other a curved
// polyline or polygon; empty otherwise.
std::string exact_matrix(const Geometry& a, const Geometry& b) {
  auto curved = [](const Geometry& g) { return g.is_multipart() && g.has_curves() && !g.is_empty(); };
  if (is_point_set(a) && !a.is_empty() && curved(b)) return point_matrix(a, b);
  if (is_point_set(b) && !b.is_empty() && curved(a)) return transposed(point_matrix(b, a));
  return {};
}

// Whether every part of g's segments lies on h's segments (to rounding):
// checked at the vertices and, along curves, at twice their chord count.
bool lies_on(const Geometry& g, const Geometry& h) {
  const EnvelopeBounds e = extent_of(h);
  const double size = std::hypot(e.xmax - e.xmin, e.ymax - e.ymin);
  auto on = [&](const Vertex& v) {
    double bx = v.x, by = v.y;
    nearest_on(h, v.x, v.y, bx, by);
    return std::hypot(bx - v.x, by - v.y) <= 1e-9 * (size + std::fabs(v.x) + std::fabs(v.y));
  };
  std::vector<Vertex> chords;
  for (const Part& p : g.parts) {
    if (!p.empty() && !on(p.vertices[0])) return false;
    const std::size_t n = p.segment_count(g.closed());
    for (std::size_t i = 0; i < n; ++i) {
      const SegmentView s = p.segment(i, g.closed());
      chords.clear();
      planar::linearize_segment(s, 0, chords);
      const std::size_t k = 2 * chords.size();
      for (std::size_t j = 1; j <= k; ++j)
        if (!on(planar::segment_point(s, static_cast<double>(j) / static_cast<double>(k)))) return false;
    }
  }
  return true;
}

// A GEOS predicate on the operands as given; only when GEOS cannot decide
// on them (self-intersecting rings) are they made valid first.  Checking
// validity up front would cost more than most predicates.
template <class F>
bool predicate(const Geometry& a, const Geometry& b, F&& test) {
  {
    GeomPtr ga = to_geos(a, 0, false), gb = to_geos(b, 0, false);
    const char answer = test(ga.get(), gb.get());
    if (answer != 2) return answer == 1;
  }
  GeomPtr ga = to_geos(a), gb = to_geos(b);
  return geos::truth(test(ga.get(), gb.get()), "a spatial relation");
}

bool matches(const std::string& matrix, const char* pattern) {
  return geos::truth(GEOSRelatePatternMatch_r(ctx(), matrix.c_str(), pattern), "relate");
}

}  // namespace

bool relation(const Geometry& a, const Geometry& b, Relation r) {
  const std::string m = exact_matrix(a, b);
  if (!m.empty()) {
    const int da = dimension(a.kind), db = dimension(b.kind);
    switch (r) {
      case Relation::Contains: return matches(m, "T*****FF*");
      case Relation::Within: return matches(m, "T*F**F***");
      case Relation::Disjoint: return matches(m, "FF*FF****");
      case Relation::Intersects: return !matches(m, "FF*FF****");
      case Relation::Touches: return matches(m, "FT*******") || matches(m, "F**T*****") || matches(m, "F***T****");
      case Relation::Crosses: return da < db ? matches(m, "T*T******") : matches(m, "T*****T**");
      case Relation::Overlaps: return false;  // never between different dimensions
      case Relation::Equals: return false;
    }
  }
  if (r == Relation::Equals && (a.is_empty() || b.is_empty())) {
    // Two empty geometries of any kind are equal; an empty and a non-empty
    // one are not.
    return a.is_empty() && b.is_empty();
  }
  if (r == Relation::Equals && (a.has_curves() || b.has_curves()) && a.is_multipart() && b.is_multipart()) {
    // The chords of the same curve cut from another start are other chords:
    // curved geometries are compared on the curves themselves.
    return a.kind == b.kind && lies_on(a, b) && lies_on(b, a);
  }
  return predicate(a, b, [r](const GEOSGeometry* x, const GEOSGeometry* y) -> char {
    switch (r) {
      case Relation::Contains: return GEOSContains_r(ctx(), x, y);
      case Relation::Crosses: return GEOSCrosses_r(ctx(), x, y);
      case Relation::Disjoint: return GEOSDisjoint_r(ctx(), x, y);
      case Relation::Equals: return GEOSEquals_r(ctx(), x, y);
      case Relation::Intersects: return GEOSIntersects_r(ctx(), x, y);
      case Relation::Overlaps: return GEOSOverlaps_r(ctx(), x, y);
      case Relation::Touches: return GEOSTouches_r(ctx(), x, y);
      case Relation::Within: return GEOSWithin_r(ctx(), x, y);
    }
    return 2;
  });
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
  const std::string m = exact_matrix(a, b);
  if (!m.empty()) return matches(m, normal.c_str());
  return predicate(a, b, [&normal](const GEOSGeometry* x, const GEOSGeometry* y) {
    return GEOSRelatePattern_r(ctx(), x, y, normal.c_str());
  });
}

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
