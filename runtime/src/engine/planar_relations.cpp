// Spatial relations and distance, decided by GEOS on the linear form.
#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <numbers>
#include <optional>

#include "engine/arc_frame.hpp"
#include "engine/box_index.hpp"
#include "engine/engine_form.hpp"
#include "engine/geos_context.hpp"
#include "engine/geos_convert.hpp"
#include "engine/input_limits.hpp"
#include "engine/planar_curves.hpp"
#include "curves.hpp"
#include "engine/planar_ops.hpp"
#include "engine/point_distance.hpp"
#include "errors.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

namespace {

// An arc parameter this near its range, relative to the sweep, is in it.
constexpr double kOnRelative = 1e-12;
// Points this many ulps of the magnitudes involved apart are one point, and
// nothing farther apart is.  A coordinate carries the rounding of its own
// magnitude, and a point computed on a circular arc (its centre plus the
// radius times a cosine) that of the centre and of the radius besides.  The
// circle through three stored points, two of them close, swings by some
// tens of their ulps on its far side: measured up to 16 on arcs that
// overlays cut, so four times that.
constexpr double kRoundingUlps = 64;

// How far apart two points at the given magnitude may lie and still be one.
double rounding_at(double magnitude) {
  return kRoundingUlps * std::numeric_limits<double>::epsilon() * magnitude;
}

// Whether the segment is a circular arc placed from its chord (see
// kChordFormSweep): nearly straight arcs among them have their centres far
// away.
bool chord_form_circle(const SegmentView& s) {
  return s.curve->kind == SegmentKind::EllipticArc && s.curve->arc.is_circular() && s.curve->arc.semi_major > 0 &&
         std::fabs(s.curve->arc.sweep) < kChordFormSweep && s.curve->arc.sweep != 0 &&
         (s.start.x != s.end.x || s.start.y != s.end.y);
}

// How far a circular arc in the chord form bulges from its chord.
double sagitta(const SegmentView& s) {
  return 0.5 * std::hypot(s.end.x - s.start.x, s.end.y - s.start.y) * std::tan(std::fabs(s.curve->arc.sweep) / 4);
}

// A box holding the segment, found with little trigonometry: that of a
// curve's whole ellipse or of its control points, or of a circular arc's
// chord grown by its bulge.
Box rough_box(const SegmentView& s) {
  Box b;
  b.add(s.start.x, s.start.y);
  b.add(s.end.x, s.end.y);
  if (chord_form_circle(s)) {
    const double bulge = sagitta(s);
    return Box{b.xmin - bulge, b.ymin - bulge, b.xmax + bulge, b.ymax + bulge};
  }
  if (s.curve->kind == SegmentKind::EllipticArc) {
    const EllipticArc& a = s.curve->arc;
    b.add(a.cx - a.semi_major, a.cy - a.semi_major);
    b.add(a.cx + a.semi_major, a.cy + a.semi_major);
  } else if (s.curve->kind == SegmentKind::CubicBezier) {
    b.add(s.curve->bezier.c1x, s.curve->bezier.c1y);
    b.add(s.curve->bezier.c2x, s.curve->bezier.c2y);
  }
  return b;
}

// The magnitude whose rounding a point computed on the segment carries: its
// coordinates', and for a curve also its centre's and size or its control
// points'.  A circular arc in the chord form is placed and measured from its
// ends (ArcFrame), never from its centre: its own bulge is all it adds.
double magnitude(const SegmentView& s) {
  double m = std::max({std::fabs(s.start.x), std::fabs(s.start.y), std::fabs(s.end.x), std::fabs(s.end.y)});
  if (chord_form_circle(s)) return m + sagitta(s);
  if (s.curve->kind == SegmentKind::EllipticArc) {
    const EllipticArc& a = s.curve->arc;
    m = std::max(m, std::max(std::fabs(a.cx), std::fabs(a.cy)) + a.semi_major);
  } else if (s.curve->kind == SegmentKind::CubicBezier) {
    const BezierCurve& b = s.curve->bezier;
    m = std::max({m, std::fabs(b.c1x), std::fabs(b.c1y), std::fabs(b.c2x), std::fabs(b.c2y)});
  }
  return m;
}

// The point of the segment nearest to (x, y), exactly for lines and circular
// arcs, by a search over the parameter for other curves; returns its
// distance.
double nearest_on_segment(const SegmentView& s, double x, double y, double& bx, double& by) {
  bx = s.start.x;
  by = s.start.y;
  auto consider = [&](double px, double py, double& best, double d = -1) {
    if (d < 0) d = std::hypot(px - x, py - y);
    if (d < best) best = d, bx = px, by = py;
  };
  double best = INFINITY;
  consider(s.start.x, s.start.y, best);
  consider(s.end.x, s.end.y, best);
  if (s.curve->is_line()) {
    const double dx = s.end.x - s.start.x, dy = s.end.y - s.start.y, len2 = dx * dx + dy * dy;
    if (len2 > 0) {
      const double u = std::clamp(((x - s.start.x) * dx + (y - s.start.y) * dy) / len2, 0.0, 1.0);
      consider(s.start.x + u * dx, s.start.y + u * dy, best);
    }
    return best;
  }
  if (s.curve->kind == SegmentKind::EllipticArc && s.curve->arc.is_circular() && s.curve->arc.semi_major > 0) {
    // The circle's point on the ray from its centre, when the arc holds it;
    // its distance is measured on the circle rather than from the rounded
    // point.
    const ArcFrame f(s);
    double px, py, gap;
    if (f.nearest(x, y, px, py, gap) && f.holds(px, py)) consider(px, py, best, std::fabs(gap));
    return best;
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
  return best;
}

// The point of a multipart geometry's segments nearest to (x, y); returns
// how far from (x, y) that point may lie and still be the same point.
double nearest_on(const Geometry& g, double x, double y, double& bx, double& by) {
  double best = INFINITY, at = std::max(std::fabs(x), std::fabs(y));
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(g.closed());
    for (std::size_t i = 0; i < n; ++i) {
      const SegmentView s = p.segment(i, g.closed());
      double px = x, py = y;
      const double d = nearest_on_segment(s, x, y, px, py);
      if (d < best) best = d, bx = px, by = py, at = std::max({std::fabs(x), std::fabs(y), magnitude(s)});
    }
    if (p.size() == 1 && n == 0) {
      const double d = std::hypot(p.vertices[0].x - x, p.vertices[0].y - y);
      if (d < best) best = d, bx = p.vertices[0].x, by = p.vertices[0].y;
    }
  }
  return rounding_at(at);
}

// ---- exact distance between two segments ----

bool on_circle_arc(const EllipticArc& a, double angle) {
  double u = (angle - a.start_param) / a.sweep;
  const double turn = 2 * std::numbers::pi / std::fabs(a.sweep);
  u -= std::floor(u / turn) * turn;
  return u <= 1 + kOnRelative || u >= turn - kOnRelative;
}

bool is_circle(const Curve& c) {
  return c.kind == SegmentKind::EllipticArc && c.arc.is_circular() && c.arc.semi_major > 0;
}

double point_dist(const SegmentView& s, double x, double y) {
  double bx, by;
  return nearest_on_segment(s, x, y, bx, by);
}

bool lines_cross(const Vertex& p, const Vertex& q, const Vertex& r, const Vertex& t) {
  auto orient = [](const Vertex& a, const Vertex& b, const Vertex& c) {
    const double v = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
  };
  const int o1 = orient(p, q, r), o2 = orient(p, q, t), o3 = orient(r, t, p), o4 = orient(r, t, q);
  return o1 * o2 <= 0 && o3 * o4 <= 0 && !(o1 == 0 && o2 == 0 && o3 == 0 && o4 == 0);
}

// The distance between a straight segment p-q and a circular arc (interior
// candidates only).
double line_circle(const Vertex& p, const Vertex& q, const SegmentView& arc) {
  double best = INFINITY;
  const double dx = q.x - p.x, dy = q.y - p.y, len = std::hypot(dx, dy);
  if (!(len > 0)) return best;
  const ArcFrame f(arc);
  const double ux = dx / len, uy = dy / len;
  const ArcFrame::LineMeeting m = f.meet_line(p.x, p.y, ux, uy);
  if (m.count == 0) {
    // Apart: the nearest pair lies on the perpendicular from the centre.
    double bx, by, gap;
    if (m.foot >= 0 && m.foot <= len && f.nearest(p.x + m.foot * ux, p.y + m.foot * uy, bx, by, gap) &&
        f.holds(bx, by))
      best = m.foot_gap;
    return best;
  }
  for (const double t : m.at) {
    if (!(t >= 0 && t <= len)) continue;
    if (f.holds(p.x + t * ux, p.y + t * uy)) return 0;
  }
  return best;
}

// Whether two circular arcs cross where both hold the crossing.
bool arcs_cross(const ArcFrame& f1, const ArcFrame& f2) {
  double px, py, ux, uy;
  if (!f1.radical_line(f2, px, py, ux, uy)) return false;  // concentric: the end points decide
  const ArcFrame::LineMeeting m = f1.meet_line(px, py, ux, uy);
  for (int i = 0; i < m.count; ++i) {
    const double x = px + m.at[i] * ux, y = py + m.at[i] * uy;
    if (f1.holds(x, y) && f2.holds(x, y)) return true;
  }
  return false;
}

// The distance between two circular arcs where they do not cross, from the
// pairs of points on the line of their centres (interior candidates only).
double circle_circle(const EllipticArc& a, const EllipticArc& b) {
  const double dx = b.cx - a.cx, dy = b.cy - a.cy, d = std::hypot(dx, dy);
  const double ra = a.semi_major, rb = b.semi_major;
  if (d == 0) return INFINITY;  // concentric: the end points decide
  double best = INFINITY;
  const double theta = std::atan2(dy, dx);
  for (double ta : {theta, theta + std::numbers::pi}) {
    if (!on_circle_arc(a, ta)) continue;
    for (double tb : {theta, theta + std::numbers::pi}) {
      if (!on_circle_arc(b, tb)) continue;
      best = std::min(best, std::hypot(a.cx + ra * std::cos(ta) - b.cx - rb * std::cos(tb),
                                       a.cy + ra * std::sin(ta) - b.cy - rb * std::sin(tb)));
    }
  }
  return best;
}

double segment_distance(const SegmentView& s1, const SegmentView& s2) {
  double best = std::min({point_dist(s2, s1.start.x, s1.start.y), point_dist(s2, s1.end.x, s1.end.y),
                          point_dist(s1, s2.start.x, s2.start.y), point_dist(s1, s2.end.x, s2.end.y)});
  if (best == 0) return 0;
  const bool l1 = s1.curve->is_line(), l2 = s2.curve->is_line();
  if (l1 && l2) return lines_cross(s1.start, s1.end, s2.start, s2.end) ? 0 : best;
  if (l1 && is_circle(*s2.curve)) return std::min(best, line_circle(s1.start, s1.end, s2));
  if (l2 && is_circle(*s1.curve)) return std::min(best, line_circle(s2.start, s2.end, s1));
  if (is_circle(*s1.curve) && is_circle(*s2.curve)) {
    const ArcFrame f1(s1), f2(s2);
    if (arcs_cross(f1, f2)) return 0;
    // The nearest pair on the line of centres.  Circles all but one have
    // no line of centres to speak of: from centres near enough to be used,
    // else by the search below, which measures each point of one arc to
    // the other on the arc itself.
    const double along_centres = f1.centre_line_distance(f2);
    if (!std::isnan(along_centres)) return std::min(best, along_centres);
    if (!f1.far_centred() && !f2.far_centred()) return std::min(best, circle_circle(s1.curve->arc, s2.curve->arc));
  }
  // Other curves: the best of 64 samples along s1 (each measured exactly
  // to s2), refined by golden-section search around it.
  auto at = [&](double u) {
    const Vertex v = planar::segment_point(s1, u);
    return point_dist(s2, v.x, v.y);
  };
  constexpr int kSamples = 64;
  int k = 0;
  double low = INFINITY;
  for (int i = 0; i <= kSamples; ++i) {
    const double v = at(static_cast<double>(i) / kSamples);
    if (v < low) low = v, k = i;
  }
  double lo = std::max(0, k - 1) / static_cast<double>(kSamples), hi = std::min(kSamples, k + 1) / static_cast<double>(kSamples);
  const double g = 0.5 * (std::sqrt(5.0) - 1);
  for (int i = 0; i < 80; ++i) {
    const double m1 = hi - g * (hi - lo), m2 = lo + g * (hi - lo);
    if (at(m1) < at(m2))
      hi = m2;
    else
      lo = m1;
  }
  return std::min({best, low, at(0.5 * (lo + hi))});
}

struct SegmentRef {
  SegmentView view;
  double x0, y0, x1, y1;  // its extent
};

// `keep` holds the parts made up here; a deque, so that the views stay put.
std::vector<SegmentRef> segments_of(const Geometry& g, std::deque<Part>& keep) {
  std::vector<SegmentRef> out;
  auto add = [&](const SegmentView& v) {
    SegmentRef r{v, INFINITY, INFINITY, -INFINITY, -INFINITY};
    double xmin = std::min(v.start.x, v.end.x), xmax = std::max(v.start.x, v.end.x);
    double ymin = std::min(v.start.y, v.end.y), ymax = std::max(v.start.y, v.end.y);
    grow_extent(v, xmin, xmax, ymin, ymax);
    r.x0 = xmin, r.x1 = xmax, r.y0 = ymin, r.y1 = ymax;
    out.push_back(r);
  };
  if (g.kind == GeometryKind::Point || g.kind == GeometryKind::Multipoint || g.kind == GeometryKind::Envelope) {
    // Points as zero-length segments; an envelope as its four sides.
    Part p;
    if (g.kind == GeometryKind::Point) p.vertices = {g.point, g.point};
    if (g.kind == GeometryKind::Envelope) {
      const EnvelopeBounds& e = g.envelope;
      p.vertices = {{e.xmin, e.ymin}, {e.xmin, e.ymax}, {e.xmax, e.ymax}, {e.xmax, e.ymin}, {e.xmin, e.ymin}};
    }
    keep.push_back(std::move(p));
    if (g.kind == GeometryKind::Multipoint)
      for (const Vertex& v : g.points) keep.push_back(Part{{v, v}, {}});
    for (const Part& q : keep)
      for (std::size_t i = 0; i + 1 < q.size(); ++i) add(q.segment(i, false));
    return out;
  }
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(g.closed());
    for (std::size_t i = 0; i < n; ++i) add(p.segment(i, g.closed()));
    if (p.size() == 1 && n == 0) {
      keep.push_back(Part{{p.vertices[0], p.vertices[0]}, {}});
      add(keep.back().segment(0, false));
    }
  }
  return out;
}

// The distance between the boundaries of two geometries, curves exact,
// over all pairs of segments whose extents are near enough to matter.
double boundary_distance(const Geometry& a, const Geometry& b) {
  std::deque<Part> keep_a, keep_b;
  const auto sa = segments_of(a, keep_a), sb = segments_of(b, keep_b);
  double best = INFINITY;
  for (const SegmentRef& x : sa) {
    for (const SegmentRef& y : sb) {
      const double gx = std::max({0.0, x.x0 - y.x1, y.x0 - x.x1}), gy = std::max({0.0, x.y0 - y.y1, y.y0 - x.y1});
      if (std::hypot(gx, gy) >= best) continue;
      best = std::min(best, segment_distance(x.view, y.view));
      if (best == 0) return 0;
    }
  }
  return best;
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
    const Vertex &a = s.start, &b = s.end;
    return edge(a.y, b.y, [&] { return a.x + (py - a.y) * (b.x - a.x) / (b.y - a.y); });
  }
  // A curve wholly above, below or left of the ray misses it.
  const Box box = rough_box(s);
  if (box.ymin > py || box.ymax < py || box.xmax < px) return 0;
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
    const double y0 = s.start.y, y1 = s.curve->bezier.c1y, y2 = s.curve->bezier.c2y, y3 = s.end.y;
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

// A length of the segment within a factor of sqrt 2 for a line (and exact
// for a circular arc): enough to weigh pieces of runs against each other.
double rough_length(const SegmentView& s) {
  if (!s.curve->is_line()) return s.curve->arc.semi_major * std::fabs(s.curve->arc.sweep);
  return std::fabs(s.end.x - s.start.x) + std::fabs(s.end.y - s.start.y);
}

// The segments of a straight geometry by their boxes, grown by rounding.
SegmentBoxes segment_boxes(const Geometry& g) {
  std::vector<SegmentBoxes::Place> at;
  std::vector<Box> boxes;
  std::vector<double> total(g.parts.size(), 0.0), lengths;
  std::vector<std::size_t> longest(g.parts.size(), 0), first(g.parts.size(), 0);
  for (std::size_t r = 0; r < g.parts.size(); ++r) {
    const Part& p = g.parts[r];
    const std::size_t n = p.segment_count(g.closed());
    double most = -1;
    first[r] = boxes.size();
    for (std::size_t i = 0; i < n; ++i) {
      const SegmentView v = p.segment(i, g.closed());
      const double tol = rounding_at(magnitude(v)), length = rough_length(v);
      Box b = rough_box(v);
      boxes.push_back(Box{b.xmin - tol, b.ymin - tol, b.xmax + tol, b.ymax + tol});
      at.push_back({r, i});
      lengths.push_back(length);
      total[r] += length;
      if (length > most) most = length, longest[r] = i;
    }
  }
  BoxIndex index(boxes);
  return SegmentBoxes{std::move(at),      std::move(boxes), std::move(index),         std::move(total),
                      std::move(longest), std::move(first), RunLengths(lengths)};
}

SegmentView segment_at(const Geometry& g, const SegmentBoxes& kept, std::size_t i) {
  return g.parts[kept.at[i].part].segment(kept.at[i].index, g.closed());
}

// Whether (x, y) lies on g's segments to rounding.  Only the segments whose
// box holds it are measured.
bool on_segments(const Geometry& g, double x, double y) {
  const double at = std::max(std::fabs(x), std::fabs(y));
  auto near = [&](const SegmentView& s) {
    const double eps = rounding_at(std::max(at, magnitude(s)));
    const Box b = rough_box(s);
    if (x < b.xmin - eps || x > b.xmax + eps || y < b.ymin - eps || y > b.ymax + eps) return false;
    return point_dist(s, x, y) <= eps;
  };
  const SegmentBoxes* kept = kept_segment_boxes(g, segment_boxes);
  if (kept) {
    // A segment box grown by its own rounding and the point's box grown by
    // the point's meet wherever the two are within the larger rounding.
    const double eps = rounding_at(at);
    bool found = false;
    kept->index.query(Box{x - eps, y - eps, x + eps, y + eps}, [&](std::size_t i) {
      if (!found) found = near(segment_at(g, *kept, i));
    });
    if (found) return true;
  }
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(g.closed());
    if (!kept)
      for (std::size_t i = 0; i < n; ++i)
        if (near(p.segment(i, g.closed()))) return true;
    if (p.size() == 1 && n == 0 && std::hypot(p.vertices[0].x - x, p.vertices[0].y - y) <= rounding_at(at))
      return true;
  }
  return false;
}

Where locate(const Geometry& g, double x, double y) {
  const bool on = on_segments(g, x, y);
  if (g.kind == GeometryKind::Polyline) {
    if (!on) return Where::Exterior;
    // An end point counted an odd number of times is boundary.
    const double eps = rounding_at(std::max(std::fabs(x), std::fabs(y)));
    int ends = 0;
    for (const Part& p : g.parts) {
      if (p.empty()) continue;
      for (const Vertex& v : {p.vertices.front(), p.vertices.back()})
        if (std::hypot(v.x - x, v.y - y) <= eps) ++ends;
    }
    return ends % 2 == 1 ? Where::Boundary : Where::Interior;
  }
  if (on) return Where::Boundary;
  // Even-odd over all rings: the same as telling holes by nesting.
  int crossings = 0;
  if (const SegmentBoxes* kept = kept_segment_boxes(g, segment_boxes)) {
    // Only a segment reaching the ray's height right of its start can cross it.
    kept->index.query(Box{x, y, INFINITY, y},
                      [&](std::size_t i) { crossings += ray_crossings(segment_at(g, *kept, i), x, y); });
    return crossings % 2 == 1 ? Where::Interior : Where::Exterior;
  }
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(true);
    for (std::size_t i = 0; i < n; ++i) crossings += ray_crossings(p.segment(i, true), x, y);
  }
  return crossings % 2 == 1 ? Where::Interior : Where::Exterior;
}

// Whether a point of h lies in the interior of the area g, on its curves.
bool inside_on_curves(const Geometry& g, const Geometry& h) {
  if (g.kind != GeometryKind::Polygon || g.is_empty() || h.is_empty()) return false;
  Vertex v;
  if (h.kind == GeometryKind::Point)
    v = h.point;
  else if (h.kind == GeometryKind::Multipoint)
    v = h.points[0];
  else if (h.is_multipart() && !h.parts[0].empty())
    v = h.parts[0].vertices[0];
  else
    return false;
  return locate(g, v.x, v.y) == Where::Interior;
}

bool is_point_set(const Geometry& g) { return g.kind == GeometryKind::Point || g.kind == GeometryKind::Multipoint; }

// The boundary of a polyline: the ends of its paths counted an odd number
// of times.
std::vector<Vertex> line_boundary(const Geometry& g) {
  std::vector<std::pair<Vertex, int>> ends;
  for (const Part& p : g.parts) {
    if (p.empty()) continue;
    for (const Vertex& v : {p.vertices.front(), p.vertices.back()}) {
      auto it =
          std::find_if(ends.begin(), ends.end(), [&](const auto& e) { return e.first.x == v.x && e.first.y == v.y; });
      if (it == ends.end())
        ends.push_back({v, 1});
      else
        ++it->second;
    }
  }
  std::vector<Vertex> out;
  for (const auto& [v, count] : ends)
    if (count % 2 == 1) out.push_back(v);
  return out;
}

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
  // One end of the line outside the point set puts the exterior of the
  // points on the line's boundary.
  auto in_points = [&](const Vertex& v) {
    if (points.kind == GeometryKind::Point) return points.point.x == v.x && points.point.y == v.y;
    for (const Vertex& q : points.points)
      if (q.x == v.x && q.y == v.y) return true;
    return false;
  };
  m[7] = 'F';
  for (const Vertex& v : line_boundary(g))
    if (!in_points(v)) m[7] = '0';
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
  auto on = [&](const Vertex& v) {
    double bx = v.x, by = v.y;
    const double eps = nearest_on(h, v.x, v.y, bx, by);
    return std::hypot(bx - v.x, by - v.y) <= eps;
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

// The size of the coordinates of two operands, against which rounding is
// measured.
double scale_of(const Geometry& a, const Geometry& b) {
  const EnvelopeBounds ea = extent_of(a), eb = extent_of(b);
  return std::max({std::fabs(ea.xmin), std::fabs(ea.xmax), std::fabs(ea.ymin), std::fabs(ea.ymax),
                   std::fabs(eb.xmin), std::fabs(eb.xmax), std::fabs(eb.ymin), std::fabs(eb.ymax),
                   std::hypot(ea.xmax - ea.xmin, ea.ymax - ea.ymin)});
}

// Whether two geometries that GEOS found apart on their chords meet on
// their curves.  Only an answer for chords that are disjoint: a distance of
// zero holds for overlapping shapes too.
bool meet_on_curves(const Geometry& a, const Geometry& b) {
  return distance(a, b) <= rounding_at(scale_of(a, b));
}

// A point GEOS takes as it is: finite, within the engine's range (a point
// outside it is refused, or left out, by the full path).
bool engine_point(const Geometry& g) {
  return g.kind == GeometryKind::Point && std::fabs(g.point.x) <= limits::kLargestCoordinate &&
         std::fabs(g.point.y) <= limits::kLargestCoordinate;
}

// A GEOS predicate on the operands as given; only when GEOS cannot decide
// on them (self-intersecting rings) are they made valid first.  Checking
// validity up front would cost more than most predicates.  The operand with
// more vertices answers through its prepared form when it keeps one:
// `prepared_test(p, other, swapped)` asks the predicate of the prepared
// geometry p against the other operand, with the operands swapped when p
// is b's, and `prepared_xy(p, x, y, swapped)` the same of a point operand
// given by its coordinates, which spares the point's GEOS form; each
// answers -1 where GEOS has no prepared form of the predicate.
template <class F, class P, class X>
bool predicate(const Geometry& a, const Geometry& b, F&& test, P&& prepared_test, X&& prepared_xy) {
  {
    const bool swapped = vertex_count(b) > vertex_count(a);
    const Geometry& other = swapped ? a : b;
    const PreparedUse use = prepared_form(swapped ? b : a);
    int answer = -1;
    if (use.prepared && engine_point(other)) answer = prepared_xy(use.prepared, other.point.x, other.point.y, swapped);
    if (answer < 0) {
      GeosForm ga = geos_form(a, false), gb = geos_form(b, false);
      if (use.prepared) answer = prepared_test(use.prepared, swapped ? ga.get() : gb.get(), swapped);
      if (answer < 0) answer = test(ga.get(), gb.get());
    }
    if (answer != 2) return answer == 1;
  }
  GeosForm ga = geos_form(a), gb = geos_form(b);
  return geos::truth(test(ga.get(), gb.get()), "a spatial relation");
}

template <class F, class P>
bool predicate(const Geometry& a, const Geometry& b, F&& test, P&& prepared_test) {
  return predicate(a, b, test, prepared_test, [](const GEOSPreparedGeometry*, double, double, bool) { return -1; });
}

template <class F>
bool predicate(const Geometry& a, const Geometry& b, F&& test) {
  return predicate(a, b, test, [](const GEOSPreparedGeometry*, const GEOSGeometry*, bool) { return -1; });
}

bool matches(const std::string& matrix, const char* pattern) {
  return geos::truth(GEOSRelatePatternMatch_r(ctx(), matrix.c_str(), pattern), "relate");
}

// The DE-9IM matrix GEOS finds on the chords; like `predicate`, the operands
// are made valid only when GEOS cannot relate them as given.
std::string chord_matrix(const Geometry& a, const Geometry& b) {
  auto relate_geos = [&](bool repair) -> std::string {
    const GeosForm ga = geos_form(a, repair), gb = geos_form(b, repair);
    char* m = GEOSRelate_r(ctx(), ga.get(), gb.get());
    if (m == nullptr) return {};
    std::string out = m;
    GEOSFree_r(ctx(), m);
    return out;
  };
  std::string m = relate_geos(false);
  if (m.empty()) m = relate_geos(true);
  if (m.size() != 9) geos::engine_failure("GEOS could not compute a spatial relation.");
  return m;
}

bool curved_areas(const Geometry& a, const Geometry& b) {
  return dimension(a.kind) == 2 && dimension(b.kind) == 2 && (a.has_curves() || b.has_curves()) &&
         !a.is_empty() && !b.is_empty();
}

// Two curves tangent where both carry a vertex, each vertex rounded from
// its own centre, may cross by an ulp or so: all that the two areas' chords
// then have in common is a sliver whose mean width (twice its area over its
// perimeter) is at the level of rounding of the coordinates.  A true overlap
// that thin cannot be told from a touch anyway.  The sliver's perimeter, or
// a negative number when the chords have more than that in common.
double rounding_sliver(const GEOSGeometry* ga, const GEOSGeometry* gb, double scale) {
  const GeomPtr common = geos::take(GEOSIntersection_r(ctx(), ga, gb), "an intersection");
  double area = 0, perimeter = 0;
  geos::check(GEOSArea_r(ctx(), common.get(), &area), "an area");
  geos::check(GEOSLength_r(ctx(), common.get(), &perimeter), "a length");
  return 2 * area <= perimeter * rounding_at(scale) ? perimeter : -1;
}

// The length of boundary that two areas share.
double shared_boundary(const GEOSGeometry* ga, const GEOSGeometry* gb) {
  const GeomPtr ba = geos::take(GEOSBoundary_r(ctx(), ga), "a boundary");
  const GeomPtr bb = geos::take(GEOSBoundary_r(ctx(), gb), "a boundary");
  const GeomPtr common = geos::take(GEOSIntersection_r(ctx(), ba.get(), bb.get()), "an intersection");
  double length = 0;
  geos::check(GEOSLength_r(ctx(), common.get(), &length), "a length");
  return length;
}

// How far inside the area g the point lies (to its true curves); negative
// when it lies on or outside it.
double depth_inside(const Geometry& g, double x, double y) {
  if (g.kind == GeometryKind::Envelope) {
    const EnvelopeBounds& e = g.envelope;
    return std::min({x - e.xmin, e.xmax - x, y - e.ymin, e.ymax - y});
  }
  if (locate(g, x, y) != Where::Interior) return -1;
  double bx = x, by = y;
  nearest_on(g, x, y, bx, by);
  return std::hypot(bx - x, by - y);
}

// Whether a point lies inside both areas (on their curves) by more than
// rounding: then their interiors surely meet, and no sliver need be looked
// for.  The centers of the extents and
// of their overlap are tried, which finds one for most shapes that overlap
// by more than a sliver, at the cost of a walk along each boundary.
bool deep_in_both(const Geometry& a, const Geometry& b, double scale) {
  const EnvelopeBounds ea = extent_of(a), eb = extent_of(b);
  const double ox = (std::max(ea.xmin, eb.xmin) + std::min(ea.xmax, eb.xmax)) / 2;
  const double oy = (std::max(ea.ymin, eb.ymin) + std::min(ea.ymax, eb.ymax)) / 2;
  const double deep = rounding_at(scale);
  for (const auto& [x, y] : {std::pair{ox, oy}, std::pair{(ea.xmin + ea.xmax) / 2, (ea.ymin + ea.ymax) / 2},
                             std::pair{(eb.xmin + eb.xmax) / 2, (eb.ymin + eb.ymax) / 2}})
    if (depth_inside(a, x, y) > deep && depth_inside(b, x, y) > deep) return true;
  return false;
}

// ---- lines and circular arcs, related on the curves ----
//
// Chords stand in for arcs only to 1e-5 of the radius: a disc nested against
// another's rim pokes out of its chords, and a lens thinner than that may
// vanish between them.  For polylines and polygons made of lines and
// circular arcs, each one's paths or rings are cut where they meet the
// other's on the true curves (crossings and tangencies); between two cuts a
// path or ring lies wholly inside the other, on its boundary, or outside it,
// which one point of the run tells, and the matrix follows from the runs
// and, for polylines, from where their ends lie.

bool lines_and_circles(const Geometry& g) {
  if (!g.is_multipart() || g.is_empty()) return false;
  for (const Part& p : g.parts)
    for (const Curve& c : p.curves)
      if (!c.is_line() && !is_circle(c)) return false;
  return true;
}

// The parameter on s of a point on it to rounding: its projection, at the
// nearer end when it falls outside.
double param_on(const SegmentView& s, double x, double y) {
  if (s.curve->is_line()) {
    const double dx = s.end.x - s.start.x, dy = s.end.y - s.start.y, len2 = dx * dx + dy * dy;
    return len2 > 0 ? std::clamp(((x - s.start.x) * dx + (y - s.start.y) * dy) / len2, 0.0, 1.0) : 0.0;
  }
  return ArcFrame(s).param(x, y);
}

// The points where two segments meet, each a line or a circular arc, to
// within `tol`: where their lines or circles cross or touch within both (a
// crossing nearer to a touch than `tol` is the touch), and where two lines
// or arcs of one circle end on each other.  The end of an arc near a curve
// it crosses is left to the crossing: the end may lie within rounding of the
// other curve some way from where they cross, which would read as a piece
// of boundary they share.
void meeting_points(const SegmentView& s, const SegmentView& t, double tol, std::vector<Vertex>& out) {
  auto ends_on_each_other = [&] {
    for (const auto& [from, to] : {std::pair{&s, &t}, std::pair{&t, &s}})
      for (const Vertex& e : {from->start, from->end})
        if (point_dist(*to, e.x, e.y) <= tol) out.push_back(e);
  };
  auto add_if_on_both = [&](double x, double y) {
    if (point_dist(s, x, y) <= tol && point_dist(t, x, y) <= tol) out.push_back(Vertex{x, y});
  };
  const bool line_s = s.curve->is_line(), line_t = t.curve->is_line();
  if (line_s && line_t) {
    ends_on_each_other();
    // A crossing inside both: each one's ends clearly on either side of the
    // other's line (ends near it were taken above).
    auto side = [&](const SegmentView& g, const Vertex& v) {
      const double dx = g.end.x - g.start.x, dy = g.end.y - g.start.y, len = std::hypot(dx, dy);
      if (!(len > 0)) return 0.0;
      const double d = (dx * (v.y - g.start.y) - dy * (v.x - g.start.x)) / len;
      return std::fabs(d) <= tol ? 0.0 : d;
    };
    const double s0 = side(t, s.start), s1 = side(t, s.end), t0 = side(s, t.start), t1 = side(s, t.end);
    if (s0 * s1 < 0 && t0 * t1 < 0) {
      const double u = s0 / (s0 - s1);
      out.push_back(Vertex{s.start.x + u * (s.end.x - s.start.x), s.start.y + u * (s.end.y - s.start.y)});
    }
    return;
  }
  if (line_s || line_t) {
    const SegmentView& line = line_s ? s : t;
    const ArcFrame c(line_s ? t : s);
    const double dx = line.end.x - line.start.x, dy = line.end.y - line.start.y, len = std::hypot(dx, dy);
    if (!(len > 0)) return;
    const double ux = dx / len, uy = dy / len;
    const ArcFrame::LineMeeting m = c.meet_line(line.start.x, line.start.y, ux, uy);
    // A point along the line: only those within the segment, to rounding,
    // are measured against both.
    auto add_at = [&](double along) {
      if (along >= -tol && along <= len + tol) add_if_on_both(line.start.x + along * ux, line.start.y + along * uy);
    };
    if (std::fabs(m.foot_gap) <= tol) {
      // Touching: the circle's point nearest the line.
      double x, y, gap;
      if (m.foot >= -tol && m.foot <= len + tol &&
          c.nearest(line.start.x + m.foot * ux, line.start.y + m.foot * uy, x, y, gap))
        add_if_on_both(x, y);
    } else {
      for (int i = 0; i < m.count; ++i) add_at(m.at[i]);
    }
    return;
  }
  const ArcFrame fs(s), ft(t);
  // One circle: their ends bound what they share.
  auto on_circle = [&](const ArcFrame& f, const SegmentView& g) {
    if (!(std::fabs(f.gap(g.start.x, g.start.y)) <= tol && std::fabs(f.gap(g.end.x, g.end.y)) <= tol)) return false;
    const Vertex mid = segment_point(g, 0.5);
    return std::fabs(f.gap(mid.x, mid.y)) <= tol;
  };
  if (on_circle(fs, t) && on_circle(ft, s)) return ends_on_each_other();
  double px, py, ux, uy;
  if (!fs.radical_line(ft, px, py, ux, uy)) return;  // concentric: apart
  const ArcFrame::LineMeeting m = fs.meet_line(px, py, ux, uy);
  // The nearest points of the two circles lie on the line of centres,
  // which meets the radical line at its foot.
  const double fx = px + m.foot * ux, fy = py + m.foot * uy;
  double x1, y1, x2, y2, gap;
  if (fs.nearest(fx, fy, x1, y1, gap) && ft.nearest(fx, fy, x2, y2, gap) && std::hypot(x1 - x2, y1 - y2) <= tol) {
    // Touching, from outside or inside: halfway between those points.
    add_if_on_both(0.5 * (x1 + x2), 0.5 * (y1 + y2));
    return;
  }
  for (int i = 0; i < m.count; ++i) add_if_on_both(px + m.at[i] * ux, py + m.at[i] * uy);
}

struct BoundarySegment {
  SegmentView view;
  std::size_t ring;   // index into the geometry's parts
  std::size_t index;  // of the segment within its path or ring
  Box box;            // its extent, grown by its rounding
  double rounding;
};

// The segments of g's paths or rings; with `near`, only those that may
// meet it.
std::vector<BoundarySegment> boundary_segments(const Geometry& g, const Box* near = nullptr) {
  std::vector<BoundarySegment> out;
  for (std::size_t r = 0; r < g.parts.size(); ++r) {
    const Part& p = g.parts[r];
    const std::size_t n = p.segment_count(g.closed());
    for (std::size_t i = 0; i < n; ++i) {
      const SegmentView v = p.segment(i, g.closed());
      if (near) {
        const double tol = rounding_at(magnitude(v));
        const Box b = rough_box(v);
        if (!near->meets(Box{b.xmin - tol, b.ymin - tol, b.xmax + tol, b.ymax + tol})) continue;
      }
      double xmin = std::min(v.start.x, v.end.x), xmax = std::max(v.start.x, v.end.x);
      double ymin = std::min(v.start.y, v.end.y), ymax = std::max(v.start.y, v.end.y);
      grow_extent(v, xmin, xmax, ymin, ymax);
      const double tol = rounding_at(magnitude(v));
      out.push_back({v, r, i, Box{xmin - tol, ymin - tol, xmax + tol, ymax + tol}, tol});
    }
  }
  return out;
}

// A place on a path or ring: segment `seg` at parameter u in [0, 1] (1
// only at a path's end).
struct Cut {
  std::size_t seg;
  double u;
  bool operator<(const Cut& o) const { return seg < o.seg || (seg == o.seg && u < o.u); }
};

// What the runs of one operand's paths or rings, between their cuts, are
// found to be against the other operand: in its interior, on its boundary
// or outside it.
struct RunsFound {
  bool inside = false, on = false, outside = false;
  // Runs on the other's boundary with both interiors on one side, and with
  // them on either side.
  bool same_side = false, opposite_side = false;
};

// A point of g near (x, y) off its boundary (by `offset` along (nx, ny)):
// whether it lies in g's interior.
bool interior_beside(const Geometry& g, double x, double y, double nx, double ny, double offset) {
  return locate(g, x + offset * nx, y + offset * ny) == Where::Interior;
}

// Classifies the runs of `g`'s paths or rings between the cuts against `h`.
RunsFound classify_runs(const Geometry& g, std::vector<std::vector<Cut>>& cuts, const Geometry& h) {
  RunsFound found;
  const bool closed = g.closed();
  const SegmentBoxes* kept = kept_segment_boxes(g, segment_boxes);
  for (std::size_t r = 0; r < g.parts.size(); ++r) {
    const Part& p = g.parts[r];
    const std::size_t n = p.segment_count(closed);
    if (n == 0) continue;
    std::vector<Cut>& ring_cuts = cuts[r];
    for (Cut& c : ring_cuts)
      if (c.u >= 1 && (closed || c.seg + 1 < n)) c = Cut{(c.seg + 1) % n, 0.0};
    // A path runs from its start to its end; a ring round to where it began.
    if (!closed) ring_cuts.push_back(Cut{0, 0.0}), ring_cuts.push_back(Cut{n - 1, 1.0});
    std::sort(ring_cuts.begin(), ring_cuts.end());
    ring_cuts.erase(std::unique(ring_cuts.begin(), ring_cuts.end(),
                                [](const Cut& x, const Cut& y) { return x.seg == y.seg && x.u == y.u; }),
                    ring_cuts.end());
    if (ring_cuts.empty()) ring_cuts.push_back(Cut{0, 0.0});
    const std::size_t k = ring_cuts.size();
    for (std::size_t j = 0; j < (closed ? k : k - 1); ++j) {
      const Cut from = ring_cuts[j], to = ring_cuts[(j + 1) % k];
      // The run's pieces, one per segment it passes; its longest piece's
      // middle stands for it, away from the cuts at either end.
      double total = 0, longest = -1, rep_u = 0;
      std::size_t rep_seg = from.seg;
      auto piece = [&](std::size_t seg, double u0, double u1) {
        // Its length, that of a line within a factor of sqrt 2.
        const double length = (u1 - u0) * rough_length(p.segment(seg, closed));
        total += length;
        if (length > longest) longest = length, rep_seg = seg, rep_u = 0.5 * (u0 + u1);
      };
      if (k > 1 && from < to && from.seg == to.seg) {
        piece(from.seg, from.u, to.u);
      } else if (k == 1 && from.u == 0 && kept) {
        // A ring the other never meets, whole: its summary is kept.
        total = kept->total[r], rep_seg = kept->longest[r], rep_u = 0.5;
      } else {
        piece(from.seg, from.u, 1.0);
        // The whole segments between: weighed from the kept lengths when
        // there are any, in one or two stretches (a ring's run may pass its
        // first vertex), else one by one.
        const std::size_t whole = (to.seg + n - from.seg - 1) % n;
        if (kept) {
          const std::size_t lo = (from.seg + 1) % n, base = kept->first[r];
          auto stretch = [&](std::size_t a, std::size_t b) {
            if (a >= b) return;
            total += kept->lengths.sum(base + a, base + b);
            const std::size_t i = kept->lengths.longest(base + a, base + b);
            const double length = kept->lengths.length(i);
            if (length > longest) longest = length, rep_seg = i - base, rep_u = 0.5;
          };
          stretch(lo, std::min(n, lo + whole));
          if (lo + whole > n) stretch(0, lo + whole - n);
        } else {
          for (std::size_t seg = (from.seg + 1) % n; seg != to.seg; seg = (seg + 1) % n) piece(seg, 0.0, 1.0);
        }
        if (to.u > 0) piece(to.seg, 0.0, to.u);
      }
      const SegmentView s = p.segment(rep_seg, closed);
      const double tol = rounding_at(magnitude(s));
      // Cuts a rounding apart bound no run: they are one point.
      if (total <= tol) continue;
      const Vertex v = segment_point(s, rep_u);
      switch (locate(h, v.x, v.y)) {
        case Where::Interior: found.inside = true; break;
        case Where::Exterior: found.outside = true; break;
        case Where::Boundary: {
          found.on = true;
          if (!closed || !h.closed()) break;
          // Which side each interior lies on, a little off the run: far
          // beyond rounding, far within the run.
          double nx, ny;
          if (s.curve->is_line()) {
            nx = s.start.y - s.end.y, ny = s.end.x - s.start.x;
          } else {
            nx = v.x - s.curve->arc.cx, ny = v.y - s.curve->arc.cy;
          }
          const double norm = std::hypot(nx, ny), offset = std::sqrt(tol * total);
          if (!(norm > 0)) break;
          const bool in_g = interior_beside(g, v.x, v.y, nx / norm, ny / norm, offset);
          const bool in_h = interior_beside(h, v.x, v.y, nx / norm, ny / norm, offset);
          (in_g == in_h ? found.same_side : found.opposite_side) = true;
          break;
        }
      }
    }
  }
  return found;
}

// Whether (x, y) is one of `ends` to rounding.
bool among(const std::vector<Vertex>& ends, double x, double y) {
  const double eps = rounding_at(std::max(std::fabs(x), std::fabs(y)));
  for (const Vertex& e : ends)
    if (std::hypot(e.x - x, e.y - y) <= eps) return true;
  return false;
}

// Sets the cells of a polyline's boundary (row 1 of the matrix, or column 1
// when `column`) from where its ends lie against h.
void place_ends(const std::vector<Vertex>& ends, const Geometry& h, bool column, std::string& m) {
  for (const Vertex& e : ends) {
    const int at = static_cast<int>(locate(h, e.x, e.y));  // interior, boundary, exterior
    m[column ? 3 * at + 1 : 3 + at] = '0';
  }
}

// The DE-9IM matrix of two polylines or polygons made of lines and circular
// arcs.
std::string circle_matrix(const Geometry& a, const Geometry& b) {
  std::vector<std::vector<Cut>> cuts_a(a.parts.size()), cuts_b(b.parts.size());
  std::vector<Vertex> points, meetings;
  auto visit = [&](const BoundarySegment& x, const BoundarySegment& y) {
    points.clear();
    meeting_points(x.view, y.view, std::max(x.rounding, y.rounding), points);
    for (const Vertex& v : points) {
      cuts_a[x.ring].push_back(Cut{x.index, param_on(x.view, v.x, v.y)});
      cuts_b[y.ring].push_back(Cut{y.index, param_on(y.view, v.x, v.y)});
      meetings.push_back(v);
    }
  };
  // The operand with fewer vertices is indexed, the other's segments near
  // it looked up; those of a larger one that keeps its index are looked up
  // there instead, its segments far from the other never visited.
  const bool index_a = vertex_count(a) <= vertex_count(b);
  const Geometry& many_g = index_a ? b : a;
  const std::vector<BoundarySegment> few = boundary_segments(index_a ? a : b);
  if (const SegmentBoxes* kept = kept_segment_boxes(many_g, segment_boxes)) {
    for (const BoundarySegment& x : few)
      kept->index.query(x.box, [&](std::size_t i) {
        const SegmentView v = segment_at(many_g, *kept, i);
        const BoundarySegment y{v, kept->at[i].part, kept->at[i].index, kept->boxes[i], rounding_at(magnitude(v))};
        index_a ? visit(x, y) : visit(y, x);
      });
  } else {
    std::vector<Box> boxes;
    boxes.reserve(few.size());
    Box extent;
    for (const BoundarySegment& s : few) boxes.push_back(s.box), extent.add(s.box);
    const BoxIndex index(boxes);
    for (const BoundarySegment& y : boundary_segments(many_g, &extent))
      index.query(y.box, [&](std::size_t i) { index_a ? visit(few[i], y) : visit(y, few[i]); });
  }
  const RunsFound fa = classify_runs(a, cuts_a, b), fb = classify_runs(b, cuts_b, a);
  std::string m(9, 'F');
  m[8] = '2';
  if (a.closed() && b.closed()) {
    const bool opposite = fa.opposite_side || fb.opposite_side;
    m[0] = fa.inside || fb.inside || fa.same_side || fb.same_side ? '2' : 'F';
    m[1] = fb.inside ? '1' : 'F';
    m[2] = fa.outside || fb.inside || opposite ? '2' : 'F';
    m[3] = fa.inside ? '1' : 'F';
    m[4] = fa.on || fb.on ? '1' : (meetings.empty() ? 'F' : '0');
    m[5] = fa.outside ? '1' : 'F';
    m[6] = fb.outside || fa.inside || opposite ? '2' : 'F';
    m[7] = fb.outside ? '1' : 'F';
    return m;
  }
  if (!a.closed() && !b.closed()) {
    const std::vector<Vertex> ends_a = line_boundary(a), ends_b = line_boundary(b);
    // The interiors meet along a run, or where the paths meet away from
    // both one's and the other's ends.
    m[0] = fa.inside ? '1' : 'F';
    for (const Vertex& v : meetings)
      if (m[0] == 'F' && !among(ends_a, v.x, v.y) && !among(ends_b, v.x, v.y)) m[0] = '0';
    m[2] = fa.outside ? '1' : 'F';
    m[6] = fb.outside ? '1' : 'F';
    place_ends(ends_a, b, false, m);
    place_ends(ends_b, a, true, m);
    return m;
  }
  // A polyline against an area, the polyline first.
  const bool line_first = !a.closed();
  const Geometry& line = line_first ? a : b;
  const RunsFound &runs = line_first ? fa : fb, &rings = line_first ? fb : fa;
  const std::vector<Vertex> ends = line_boundary(line);
  m[0] = runs.inside ? '1' : 'F';
  m[1] = runs.on ? '1' : 'F';
  for (const Vertex& v : meetings)
    if (m[1] == 'F' && !among(ends, v.x, v.y)) m[1] = '0';
  m[2] = runs.outside ? '1' : 'F';
  place_ends(ends, line_first ? b : a, false, m);
  m[6] = '2';
  m[7] = rings.outside ? '1' : 'F';
  return line_first ? m : transposed(m);
}

// The matrix of two areas, one of them curved, where the chords and the
// curves tell different stories: chords that are apart while the curves
// touch, and chords that overlap by a rounding sliver where the curves
// touch.  Both become the matrix of a touch: the interiors do not meet, the
// boundaries do (along a line only where they share more than the sliver).
// Chords that overlap within the curves' own tolerance are left as GEOS
// sees them.
std::string curved_area_matrix(const Geometry& a, const Geometry& b) {
  std::string m = chord_matrix(a, b);
  if (m[0] == '2') {
    const double scale = scale_of(a, b);
    if (deep_in_both(a, b, scale)) return m;
    const GeosForm ga = geos_form(a), gb = geos_form(b);
    const double sliver = rounding_sliver(ga.get(), gb.get(), scale);
    if (sliver < 0) return m;
    if (m[4] == '1' && shared_boundary(ga.get(), gb.get()) <= sliver) m[4] = '0';
  } else if (m[1] != 'F' || m[3] != 'F' || m[4] != 'F' || !meet_on_curves(a, b)) {
    return m;
  }
  m[0] = m[1] = m[3] = 'F';
  if (m[4] == 'F') m[4] = '0';
  return m;
}

// Whether the relation holds by a matrix found here rather than by GEOS (da,
// db the dimensions of the operands).
bool holds(const std::string& m, Relation r, int da, int db) {
  switch (r) {
    case Relation::Contains: return matches(m, "T*****FF*");
    case Relation::Within: return matches(m, "T*F**F***");
    case Relation::Disjoint: return matches(m, "FF*FF****");
    case Relation::Intersects: return !matches(m, "FF*FF****");
    case Relation::Touches:
      return matches(m, "FT*******") || matches(m, "F**T*****") || matches(m, "F***T****");
    case Relation::Crosses:
      if (da == 1 && db == 1) return matches(m, "0********");
      return da != db && (da < db ? matches(m, "T*T******") : matches(m, "T*****T**"));  // never two areas
    case Relation::Overlaps: return da == db && matches(m, da == 1 ? "1*T***T**" : "T*T***T**");
    case Relation::Equals: return da == db && matches(m, "T*F**FFF*");
  }
  return false;
}

}  // namespace

bool relation(const Geometry& a, const Geometry& b, Relation r) {
  const GeosForm plain = &a == &b ? geos_form(a, false) : GeosForm(nullptr);
  if (&a == &b && (a.kind != GeometryKind::Polygon || GEOSisValid_r(ctx(), plain.get()) == 1)) {
    // A geometry and itself are one point set: relating them would node it
    // against itself only to find that.  Only whether the set is empty is
    // left to ask, of the form as given where that needs no repair (the
    // repair of an area that crosses itself would decide it, at the cost
    // of the repair).
    const bool empty = GEOSisEmpty_r(ctx(), plain.get()) != 0;
    switch (r) {
      case Relation::Equals: return true;
      case Relation::Contains:
      case Relation::Within:
      case Relation::Intersects: return !empty;
      case Relation::Disjoint: return empty;
      case Relation::Crosses:
      case Relation::Overlaps:
      case Relation::Touches: return false;
    }
  }
  // Without true curves GEOS's answer on the operands stands as it is.
  const bool curved = a.has_curves() || b.has_curves();
  std::string m = curved ? exact_matrix(a, b) : std::string();
  if (m.empty() && curved && lines_and_circles(a) && lines_and_circles(b)) m = circle_matrix(a, b);
  if (!m.empty()) return holds(m, r, dimension(a.kind), dimension(b.kind));
  if (r == Relation::Equals && (a.is_empty() || b.is_empty())) {
    // Two empty geometries of any kind are equal; an empty and a non-empty
    // one are not.
    return a.is_empty() && b.is_empty();
  }
  if (r == Relation::Equals && curved && a.is_multipart() && b.is_multipart()) {
    // The chords of the same curve cut from another start are other chords:
    // curved geometries are compared on the curves themselves.
    return a.kind == b.kind && lies_on(a, b) && lies_on(b, a);
  }
  if (curved && (r == Relation::Touches || r == Relation::Overlaps) && curved_areas(a, b)) {
    const std::string m = curved_area_matrix(a, b);
    if (r == Relation::Overlaps) return matches(m, "T*T***T**");
    return matches(m, "FT*******") || matches(m, "F**T*****") || matches(m, "F***T****");
  }
  const bool answer = predicate(a, b, [r](const GEOSGeometry* x, const GEOSGeometry* y) -> char {
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
  }, [r](const GEOSPreparedGeometry* p, const GEOSGeometry* y, bool swapped) -> int {
    // Asked of b, a relation is its converse (contains and within trade
    // places; the others are symmetric).
    Relation q = r;
    if (swapped && r == Relation::Contains) q = Relation::Within;
    else if (swapped && r == Relation::Within) q = Relation::Contains;
    switch (q) {
      case Relation::Contains: return GEOSPreparedContains_r(ctx(), p, y);
      case Relation::Crosses: return GEOSPreparedCrosses_r(ctx(), p, y);
      case Relation::Disjoint: return GEOSPreparedDisjoint_r(ctx(), p, y);
      case Relation::Intersects: return GEOSPreparedIntersects_r(ctx(), p, y);
      case Relation::Overlaps: return GEOSPreparedOverlaps_r(ctx(), p, y);
      case Relation::Touches: return GEOSPreparedTouches_r(ctx(), p, y);
      case Relation::Within: return GEOSPreparedWithin_r(ctx(), p, y);
      case Relation::Equals: return -1;
    }
    return -1;
  }, [r](const GEOSPreparedGeometry* p, double x, double y, bool swapped) -> int {
#if GEOS_VERSION_MAJOR > 3 || (GEOS_VERSION_MAJOR == 3 && GEOS_VERSION_MINOR >= 12)
    // The prepared geometry contains the point when it is a and contains
    // is asked, or when it is b and within is; the converse questions (does
    // the point contain the geometry) go the full way.
    if ((r == Relation::Contains && !swapped) || (r == Relation::Within && swapped))
      return GEOSPreparedContainsXY_r(ctx(), p, x, y);
    if (r == Relation::Intersects) return GEOSPreparedIntersectsXY_r(ctx(), p, x, y);
    if (r == Relation::Disjoint) {
      const char meets = GEOSPreparedIntersectsXY_r(ctx(), p, x, y);
      return meets == 2 ? 2 : 1 - meets;
    }
#else
    (void)p, (void)x, (void)y, (void)swapped;  // the point variants came with GEOS 3.12
#endif
    return -1;
  });
  // Chords lie inside convex arcs: two curved shapes that touch (tangent
  // circles) look apart on their chords.  When GEOS finds the chords apart,
  // the distance measured on the curves has the last word.  A "no" to
  // touches says nothing about that by itself (the shapes may overlap), so
  // there the chords are asked first.
  if (!curved) return answer;
  bool apart = (r == Relation::Disjoint && answer) || (r == Relation::Intersects && !answer);
  if (r == Relation::Touches && !answer)
    apart = predicate(a, b, [](const GEOSGeometry* x, const GEOSGeometry* y) {
      return GEOSDisjoint_r(ctx(), x, y);
    });
  if (apart && meet_on_curves(a, b)) return r != Relation::Disjoint;
  return answer;
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
  if ((a.has_curves() || b.has_curves()) && lines_and_circles(a) && lines_and_circles(b))
    return matches(circle_matrix(a, b), normal.c_str());
  if (curved_areas(a, b)) return matches(curved_area_matrix(a, b), normal.c_str());
  return predicate(
      a, b,
      [&normal](const GEOSGeometry* x, const GEOSGeometry* y) {
        return GEOSRelatePattern_r(ctx(), x, y, normal.c_str());
      },
      [&normal](const GEOSPreparedGeometry* p, const GEOSGeometry* y, bool swapped) -> int {
#if GEOS_VERSION_MAJOR > 3 || (GEOS_VERSION_MAJOR == 3 && GEOS_VERSION_MINOR >= 13)
        const std::string asked = swapped ? transposed(normal) : normal;
        return GEOSPreparedRelatePattern_r(ctx(), p, y, asked.c_str());
#else
        (void)p, (void)y, (void)swapped;
        return -1;  // prepared relate came with GEOS 3.13
#endif
      });
}

namespace {

// Up to this many vertices, a point's distance to a straight polyline or
// polygon is measured segment by segment (a few instructions each) rather
// than through GEOS, whose set-up alone costs what a hundred segments do;
// larger geometries are worth GEOS's indexed, prepared distance.
constexpr std::size_t kDirectDistanceUpTo = 256;

// Whether a point's distance to `g` may be measured on `g`'s own vertices:
// they are exactly what its GEOS form holds.
bool measured_directly(const Geometry& g) {
  if (g.has_curves() || vertex_count(g) > kDirectDistanceUpTo) return false;
  if (g.kind == GeometryKind::Polyline)
    return std::all_of(g.parts.begin(), g.parts.end(), [](const Part& p) { return p.size() >= 2; });
  return g.kind == GeometryKind::Polygon && keeps_forms(g) && valid_as_is(g);
}

}  // namespace

double distance(const Geometry& a, const Geometry& b) {
  // No distance separates an empty geometry from anything.
  if (a.is_empty() || b.is_empty()) return kNaN;
  if (a.kind == GeometryKind::Point && b.kind == GeometryKind::Point)
    return std::hypot(a.point.x - b.point.x, a.point.y - b.point.y);
  if (a.kind == GeometryKind::Point || b.kind == GeometryKind::Point) {
    const Geometry& point = a.kind == GeometryKind::Point ? a : b;
    const Geometry& other = a.kind == GeometryKind::Point ? b : a;
    if (measured_directly(other))
      if (const std::optional<double> d = point_to_straight(point.point, other)) return *d;
  }
  GeosForm ga = geos_form(a), gb = geos_form(b);
  double d = 0;
  {
    const bool swapped = vertex_count(b) > vertex_count(a);
    const PreparedUse use = prepared_form(swapped ? b : a, PreparedFor::Distance);
    if (use.prepared)
      geos::check(GEOSPreparedDistance_r(ctx(), use.prepared, swapped ? ga.get() : gb.get(), &d), "distance");
    else
      geos::check(GEOSDistance_r(ctx(), ga.get(), gb.get(), &d), "distance");
  }
  if (!(a.has_curves() || b.has_curves())) return d;
  // Chords lie inside their arcs: two arcs whose bows nest, a rounding
  // apart, have chords that cross.  Where the chords meet, lines and
  // circles are asked again on the curves.  An area thinner than rounding
  // (an ellipse of axis ratio 1e-12) has chords that repair to nothing,
  // which GEOS finds at no distance from anything: its curves are measured.
  const bool vanished = GEOSisEmpty_r(ctx(), ga.get()) == 1 || GEOSisEmpty_r(ctx(), gb.get()) == 1;
  if (d == 0 && !vanished &&
      !(lines_and_circles(a) && lines_and_circles(b) && !relation(a, b, Relation::Intersects)))
    return 0;
  if (d == 0 && vanished && (inside_on_curves(a, b) || inside_on_curves(b, a))) return 0;
  // GEOS measured between chords, and found the operands apart (neither
  // inside the other): the distance is that of their boundaries, measured
  // on the curves pair by pair while that stays affordable.
  const std::size_t count_a = a.is_multipart() ? [&] {
    std::size_t n = 0;
    for (const Part& p : a.parts) n += p.size();
    return n;
  }() : a.points.size() + 4;
  const std::size_t count_b = b.is_multipart() ? [&] {
    std::size_t n = 0;
    for (const Part& p : b.parts) n += p.size();
    return n;
  }() : b.points.size() + 4;
  if (static_cast<double>(count_a) * static_cast<double>(count_b) <= 4e6) return boundary_distance(a, b);
  // Otherwise the nearest points GEOS found are moved onto the true curves,
  // each in turn projected onto the other geometry.
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
