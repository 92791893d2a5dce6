#include "engine/curve_contacts.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>
#include <utility>

#include "engine/arc_frame.hpp"
#include "engine/box_index.hpp"
#include "engine/planar_curves.hpp"

namespace vaskelith::planar {

namespace {

using XY = std::pair<double, double>;

// The angle between the vertices of a circle's own chords: a stretch that
// chords of this length already keep apart from another circle needs no
// more.
constexpr double kGridStep = 2 * kPi / kCircleGrid;
// Circles farther apart than this fraction of the larger radius keep their
// chords apart as they are: the chords lie within 1e-5 of the radius of
// their circle (see kCircleGrid), and the stretches cut finer keep a
// quarter of the gap (see march).
constexpr double kNearby = 1e-4;
// The rounding of where two circles meet, in units of rounding of their
// largest coordinate and radii: the centres and radii were computed from
// rounded points, and their distance rounds again.  Circles whose distance
// differs from the sum or difference of their radii by less touch.
constexpr double kRoundingUnits = 16;
// A point where circles meet this near an arc's end (a fraction of the
// radius, above the rounding) is that end: the arc's chords leave out grid
// vertices and marks a hair from its ends, and run through the end itself.
constexpr double kSnapToEnd = 1e-10;
// The shortest step a march takes from where two circles meet, in radians:
// shorter chords there could only separate what no area tells apart.
constexpr double kLeastStep = 1e-9;
// Vertices of two circles closer than this many times their rounding
// could not be told apart.
constexpr double kResolvable = 16;
// The most vertices one march adds.  Circles whose radii differ by less
// than about 1e-6 of the radius and that touch from inside would need more
// before their chords keep apart; past this the grid takes over.
constexpr int kMostSteps = 1024;

// One circle of the operands (as the scope cuts chords on it), with the
// ends of its arcs and the points its chords must pass through.
struct CircleUse {
  ScopeCircle c;
  EllipticArc arc;                    // one of its arcs, to name it by
  SegmentView segment;                // that arc with its ends
  std::vector<XY> ends;               // of its arcs
  std::vector<std::size_t> operands;  // holding an arc of it, ascending
  std::vector<XY> marks;
  // Whether every arc of it is shorter than a grid step: its chords then
  // run through its ends, middles and marks alone, and its centre may lie
  // so far away (a nearly straight arc) that points placed from it miss
  // the arcs by more than they bulge.  Such a circle is met from one of its
  // arcs (ArcFrame), and marked only where it meets the other curve.
  bool short_arcs = true;
};

XY on_circle(const ScopeCircle& c, double t) { return {c.cx + c.r * std::cos(t), c.cy + c.r * std::sin(t)}; }

double angle_of(const ScopeCircle& c, const XY& p) { return std::atan2(p.second - c.cy, p.first - c.cx); }

// What the chords of a circle must keep to one side of: another circle, or
// the line through a straight segment, placed relative to the circle's
// centre (so that far from the origin gaps keep their digits).
struct Other {
  bool line;
  double x, y;    // the other circle's centre, or a point of the line
  double r;       // the other circle's radius
  double ux, uy;  // the line's unit direction
  double gap(double px, double py) const {
    return line ? std::fabs((px - x) * uy - (py - y) * ux) : std::fabs(std::hypot(px - x, py - y) - r);
  }
};

Other other_circle(const ScopeCircle& from, const ScopeCircle& c) {
  return Other{false, c.cx - from.cx, c.cy - from.cy, c.r, 0, 0};
}

Other other_line(const ScopeCircle& from, const XY& a, double ux, double uy) {
  return Other{true, a.first - from.cx, a.second - from.cy, 0, ux, uy};
}

// Marks vertices along circle u from angle t0, in direction dir, as far as
// `limit` radians: each chord bulges from u by at most a quarter of the
// gap between u and the other at its nearer end, so that the chords of
// both keep to the sides the curves keep to.  `step` is the first step.
void march(CircleUse& u, const Other& other, double t0, double dir, double step, double limit) {
  const double r = u.c.r;
  auto gap_at = [&](double t) { return other.gap(r * std::cos(t0 + dir * t), r * std::sin(t0 + dir * t)); };
  double t = 0;
  for (int n = 0; n < kMostSteps; ++n) {
    // A chord of angle s bulges by r s^2 / 8 from its arc.
    step = std::max(step, std::sqrt(2 * gap_at(t) / r));
    if (step >= kGridStep) return;
    t += step;
    if (t >= limit) return;
    u.marks.push_back(on_circle(u.c, t0 + dir * t));
  }
}

// A point where curves meet (to rounding), moved onto an end of a segment
// of either that it all but is.
XY snapped(XY p, const std::vector<const std::vector<XY>*>& ends, double reach) {
  for (const auto* list : ends)
    for (const XY& e : *list)
      if (std::hypot(e.first - p.first, e.second - p.second) <= reach) return e;
  return p;
}

// One circle at a point where it meets another curve: the other, the
// direction (+-1 in angle) towards the curves' other meeting point, and
// how far to go towards it and away from it, in radians.
struct Side {
  CircleUse* u;
  Other other;
  double dir, towards, away;
};

// Marks on the circles of `sides` around point p where they meet the
// other curve, `sharp` the sine of the angle they cross at: vertices on
// both sides of p, the first chord short enough that the chords leave p in
// the order of the curves.
void around(const std::vector<Side>& sides, const XY& p, double sharp, double rounding) {
  // The first chords on every circle are of one length: from a point where
  // two circles touch, the one that curves more then turns away more, as
  // the circle does.  Where the curves are within rounding of one another
  // vertices on each could not be told apart: the first go where they can.
  double r = INFINITY;
  for (const Side& s : sides) r = std::min(r, s.u->c.r);
  double first = std::clamp(sharp / 2, std::max(kLeastStep, rounding / r), kGridStep) * r;
  const Side& s0 = sides[0];
  const double t0 = angle_of(s0.u->c, p), r0 = s0.u->c.r;
  auto gap_at = [&](double length) {
    const double at = t0 + s0.dir * length / r0;
    return s0.other.gap(r0 * std::cos(at), r0 * std::sin(at));
  };
  while (first < kGridStep * r && gap_at(first) < kResolvable * rounding) first *= 2;
  for (const Side& s : sides) {
    s.u->marks.push_back(p);
    const double t = angle_of(s.u->c, p);
    march(*s.u, s.other, t, s.dir, first / s.u->c.r, s.towards);
    march(*s.u, s.other, t, -s.dir, first / s.u->c.r, s.away);
  }
}

// The angle on circle c from meeting point p towards meeting point q,
// halved: how far the marches from either go.
void split(const ScopeCircle& c, const XY& p, const XY& q, Side& s) {
  const double tp = angle_of(c, p), delta = std::remainder(angle_of(c, q) - tp, 2 * kPi);
  s.dir = delta < 0 ? -1 : 1;
  s.towards = std::fabs(delta) / 2;
  s.away = kPi - s.towards;
  // The short arc between close meeting points keeps a vertex inside.
  if (std::fabs(delta) < 2 * kGridStep) s.u->marks.push_back(on_circle(c, tp + delta / 2));
}

// Marks for two points p and q where the curves of `sides` cross: each
// side's limits and direction are set from p towards q here.
void around_two(std::vector<Side> sides, const XY& p, const XY& q, double sharp, double rounding) {
  for (Side& s : sides) split(s.u->c, p, q, s);
  around(sides, p, sharp, rounding);
  for (Side& s : sides) s.dir = -s.dir;
  around(sides, q, sharp, rounding);
}

double rounding_of(double largest, double size) {
  return kRoundingUnits * std::numeric_limits<double>::epsilon() * (largest + size);
}

// A circle met from its arcs has no grid vertex between two close points
// where it crosses another curve: the chord between them would run along
// the other curve.  Its point halfway between the last two marks keeps the
// chords apart from it.
void mark_between(CircleUse& u, const ArcFrame& f) {
  const XY& p = u.marks[u.marks.size() - 2];
  const XY& q = u.marks.back();
  double x, y, gap;
  if (f.nearest(0.5 * (p.first + q.first), 0.5 * (p.second + q.second), x, y, gap)) u.marks.push_back({x, y});
}

// The marks two circles of different operands need where one of them is
// met from its arcs: the points where they cross, or touch to rounding.
void mark_short_pair(CircleUse& a, CircleUse& b) {
  const ArcFrame f1(a.segment), f2(b.segment);
  const XY s1{a.segment.start.x, a.segment.start.y}, s2{b.segment.start.x, b.segment.start.y};
  const double largest = std::max({std::fabs(s1.first), std::fabs(s1.second), std::fabs(s2.first),
                                   std::fabs(s2.second)});
  const double rounding = rounding_of(largest, std::min(a.c.r, b.c.r) * kGridStep);
  double px, py, ux, uy;
  if (!f1.radical_line(f2, px, py, ux, uy)) return;
  const std::vector<const std::vector<XY>*> ends{&a.ends, &b.ends};
  const ArcFrame::LineMeeting m = f1.meet_line(px, py, ux, uy);
  std::vector<XY> points;
  if (std::fabs(m.foot_gap) <= rounding) {
    double x, y, gap;
    if (f1.nearest(px + m.foot * ux, py + m.foot * uy, x, y, gap)) points.push_back({x, y});
  } else {
    for (int i = 0; i < m.count; ++i) points.push_back({px + m.at[i] * ux, py + m.at[i] * uy});
  }
  int found = 0;
  for (const XY& p : points) {
    if (!(std::fabs(f2.gap(p.first, p.second)) <= 2 * rounding)) continue;
    const XY q = snapped(p, ends, rounding + kSnapToEnd * std::hypot(a.segment.end.x - s1.first,
                                                                       a.segment.end.y - s1.second));
    a.marks.push_back(q);
    b.marks.push_back(q);
    ++found;
  }
  if (found == 2) mark_between(a, f1), mark_between(b, f2);
}

// The marks two circles of different operands need.
void mark_pair(CircleUse& a, CircleUse& b) {
  if (a.short_arcs || b.short_arcs) return mark_short_pair(a, b);
  const ScopeCircle &c1 = a.c, &c2 = b.c;
  const double r1 = c1.r, r2 = c2.r;
  const double dx = c2.cx - c1.cx, dy = c2.cy - c1.cy, d = std::hypot(dx, dy);
  // Concentric circles have their chord vertices at the same polar angles:
  // the chords keep apart as the circles do.
  if (!(d > 0)) return;
  const double ex = dx / d, ey = dy / d;
  const double largest = std::max({std::fabs(c1.cx), std::fabs(c1.cy), std::fabs(c2.cx), std::fabs(c2.cy)});
  const double rounding = rounding_of(largest, r1 + r2);
  const std::vector<const std::vector<XY>*> ends{&a.ends, &b.ends};
  const double reach = rounding + kSnapToEnd * std::min(r1, r2);
  const double outer = d - (r1 + r2), inner = d - std::fabs(r1 - r2);
  // Apart, or touching from outside: each circle's chords lie inside it,
  // away from the other, and touch only where a shared point makes them.
  if (outer > rounding) return;
  if (outer >= -rounding) {
    const XY t = snapped({c1.cx + r1 * ex, c1.cy + r1 * ey}, ends, reach);
    a.marks.push_back(t);
    b.marks.push_back(t);
    return;
  }
  // From inside, the nearest points are on the side of the inner circle
  // away from the outer one's centre.
  const double side = r1 > r2 ? 1.0 : -1.0;
  std::vector<Side> sides{{&a, other_circle(c1, c2), 1, kPi, kPi}, {&b, other_circle(c2, c1), 1, kPi, kPi}};
  if (inner < -rounding) {
    // Nested apart: from the nearest points, both ways.
    if (-inner > kNearby * std::max(r1, r2)) return;
    const double t0 = std::atan2(side * ey, side * ex);
    for (const Side& s : sides) {
      s.u->marks.push_back(on_circle(s.u->c, t0));
      const double least = std::max(kLeastStep, rounding / s.u->c.r);
      march(*s.u, s.other, t0, 1, least, kPi);
      march(*s.u, s.other, t0, -1, least, kPi);
    }
    return;
  }
  if (inner <= rounding) {
    around(sides, snapped({c1.cx + side * r1 * ex, c1.cy + side * r1 * ey}, ends, reach), 0, rounding);
    return;
  }
  // Crossing at two points, a along the line of centres from c1 and h off
  // it; the factors of h^2 are the distances from touching, without
  // cancellation.
  const double along = 0.5 * (d + (r1 - r2) * (r1 + r2) / d);
  const double h = std::sqrt((-outer) * (r1 + r2 + d) * inner * (d + std::fabs(r1 - r2))) / (2 * d);
  const XY p = snapped({c1.cx + along * ex - h * ey, c1.cy + along * ey + h * ex}, ends, reach);
  const XY q = snapped({c1.cx + along * ex + h * ey, c1.cy + along * ey - h * ex}, ends, reach);
  around_two(sides, p, q, std::min(1.0, d * h / (r1 * r2)), rounding);
}

// The marks a circle needs where a straight segment of another operand
// runs within its chords' reach inside the rim: there the chords may miss
// the segment where the circle crosses or touches it.  Outside the rim the
// chords keep away from the line, and farther inside the crossing is
// steep enough for the chords' own crossing to be moved onto the circle.
void mark_line(CircleUse& u, const XY& a, const XY& b) {
  const ScopeCircle& c = u.c;
  const double lx = b.first - a.first, ly = b.second - a.second, len = std::hypot(lx, ly);
  if (!(len > 0)) return;
  const double ux = lx / len, uy = ly / len;
  if (u.short_arcs) {
    // Met from an arc: where the line crosses the circle within the
    // segment, or touches it to rounding.
    const ArcFrame f(u.segment);
    const double largest = std::max({std::fabs(u.segment.start.x), std::fabs(u.segment.start.y),
                                     std::fabs(a.first), std::fabs(a.second), std::fabs(b.first),
                                     std::fabs(b.second)});
    const double rounding = rounding_of(largest, std::hypot(u.segment.end.x - u.segment.start.x,
                                                            u.segment.end.y - u.segment.start.y));
    const std::vector<XY> segment_ends{a, b};
    const std::vector<const std::vector<XY>*> ends{&u.ends, &segment_ends};
    const double reach = rounding + kSnapToEnd * len;
    const ArcFrame::LineMeeting m = f.meet_line(a.first, a.second, ux, uy);
    auto within = [&](double t) { return t >= -rounding && t <= len + rounding; };
    if (std::fabs(m.foot_gap) <= rounding) {
      double x, y, gap;
      if (within(m.foot) && f.nearest(a.first + m.foot * ux, a.second + m.foot * uy, x, y, gap))
        u.marks.push_back(snapped({x, y}, ends, reach));
      return;
    }
    int found = 0;
    for (int i = 0; i < m.count; ++i)
      if (within(m.at[i])) {
        u.marks.push_back(snapped({a.first + m.at[i] * ux, a.second + m.at[i] * uy}, ends, reach));
        ++found;
      }
    if (found == 2) mark_between(u, f);
    return;
  }
  const Other other = other_line(c, a, ux, uy);
  // The foot of the centre on the line, relative to the centre.
  const double along_foot = -(other.x * ux + other.y * uy);
  const double fx = other.x + along_foot * ux, fy = other.y + along_foot * uy, dist = std::hypot(fx, fy);
  const double largest = std::max({std::fabs(c.cx), std::fabs(c.cy), std::fabs(a.first), std::fabs(a.second),
                                   std::fabs(b.first), std::fabs(b.second)});
  const double rounding = rounding_of(largest, c.r);
  if (dist > c.r + rounding || dist < c.r * (1 - kNearby) || !(dist > 0)) return;
  const std::vector<XY> segment_ends{a, b};
  const std::vector<const std::vector<XY>*> ends{&u.ends, &segment_ends};
  const double reach = rounding + kSnapToEnd * c.r;
  // Whether the point at `t` along the line from the foot lies on the segment.
  auto on_segment = [&](double t) { return along_foot + t >= -rounding && along_foot + t <= len + rounding; };
  auto at = [&](double t) { return XY{c.cx + fx + t * ux, c.cy + fy + t * uy}; };
  std::vector<Side> sides{{&u, other, 1, kPi, kPi}};
  if (dist >= c.r - rounding) {
    if (on_segment(0)) around(sides, snapped({c.cx + fx * c.r / dist, c.cy + fy * c.r / dist}, ends, reach), 0, rounding);
    return;
  }
  const double half = std::sqrt((c.r - dist) * (c.r + dist));
  const bool p_on = on_segment(-half), q_on = on_segment(half);
  const XY p = snapped(at(-half), ends, reach), q = snapped(at(half), ends, reach);
  const double sharp = half / c.r;
  if (p_on && q_on) {
    around_two(sides, p, q, sharp, rounding);
  } else if (p_on || q_on) {
    around(sides, p_on ? p : q, sharp, rounding);
  }
}

// The straight segments of an operand, as pairs of end points.
std::vector<std::pair<XY, XY>> straight_segments(const Geometry& g) {
  std::vector<std::pair<XY, XY>> out;
  if (g.kind == GeometryKind::Envelope) {
    const EnvelopeBounds& e = g.envelope;
    if (e.empty()) return out;
    const XY c[4] = {{e.xmin, e.ymin}, {e.xmin, e.ymax}, {e.xmax, e.ymax}, {e.xmax, e.ymin}};
    for (int i = 0; i < 4; ++i) out.emplace_back(c[i], c[(i + 1) % 4]);
    return out;
  }
  if (!g.is_multipart()) return out;
  for (const Part& p : g.parts) {
    const std::size_t n = p.segment_count(g.closed());
    for (std::size_t i = 0; i < n; ++i) {
      const SegmentView sv = p.segment(i, g.closed());
      if (sv.curve->is_line()) out.emplace_back(XY{sv.start.x, sv.start.y}, XY{sv.end.x, sv.end.y});
    }
  }
  return out;
}

}  // namespace

void mark_circle_contacts(const std::vector<const Geometry*>& operands) {
  std::vector<CircleUse> uses;
  std::map<std::tuple<double, double, double>, std::size_t> known;
  for (std::size_t o = 0; o < operands.size(); ++o) {
    const Geometry& g = *operands[o];
    if (!g.is_multipart() || !g.has_curves()) continue;
    for (const Part& p : g.parts) {
      const std::size_t n = p.segment_count(g.closed());
      for (std::size_t i = 0; i < n; ++i) {
        const SegmentView sv = p.segment(i, g.closed());
        if (sv.curve->kind != SegmentKind::EllipticArc) continue;
        const EllipticArc& arc = sv.curve->arc;
        if (!arc.is_circular() || !(arc.semi_major > 0) || arc.sweep == 0 || !std::isfinite(arc.semi_major) ||
            !std::isfinite(arc.cx) || !std::isfinite(arc.cy))
          continue;
        const ScopeCircle c = scope_circle(arc);
        const auto [it, fresh] = known.try_emplace({c.cx, c.cy, c.r}, uses.size());
        if (fresh) uses.push_back(CircleUse{c, arc, sv, {}, {}, {}});
        CircleUse& u = uses[it->second];
        // The chords of a full circle run through grid vertices.
        if (!(std::fabs(arc.sweep) < kGridStep) || (sv.start.x == sv.end.x && sv.start.y == sv.end.y))
          u.short_arcs = false;
        u.ends.emplace_back(sv.start.x, sv.start.y);
        u.ends.emplace_back(sv.end.x, sv.end.y);
        if (u.operands.empty() || u.operands.back() != o) u.operands.push_back(o);
      }
    }
  }
  if (uses.empty()) return;
  std::vector<Box> boxes;
  for (const CircleUse& u : uses) {
    const double reach = u.c.r * (1 + kNearby);
    boxes.push_back(Box{u.c.cx - reach, u.c.cy - reach, u.c.cx + reach, u.c.cy + reach});
  }
  const BoxIndex index(boxes);
  for (std::size_t i = 0; i < uses.size(); ++i)
    index.query(boxes[i], [&](std::size_t j) {
      const CircleUse &a = uses[i], &b = uses[j];
      const bool one_operand = a.operands.size() == 1 && b.operands == a.operands;
      if (j > i && !one_operand) mark_pair(uses[i], uses[j]);
    });
  for (std::size_t o = 0; o < operands.size(); ++o) {
    for (const auto& [a, b] : straight_segments(*operands[o])) {
      Box box;
      box.add(a.first, a.second);
      box.add(b.first, b.second);
      index.query(box, [&](std::size_t i) {
        CircleUse& u = uses[i];
        if (!(u.operands.size() == 1 && u.operands[0] == o)) mark_line(u, a, b);
      });
    }
  }
  for (const CircleUse& u : uses) add_circle_vertices(u.arc, u.marks);
}

}  // namespace vaskelith::planar
