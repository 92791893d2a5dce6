#include "engine/curve_contacts.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>
#include <utility>

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
  std::vector<XY> ends;               // of its arcs
  std::vector<std::size_t> operands;  // holding an arc of it, ascending
  std::vector<XY> marks;
};

XY on_circle(const ScopeCircle& c, double t) { return {c.cx + c.r * std::cos(t), c.cy + c.r * std::sin(t)}; }

double angle_of(const ScopeCircle& c, const XY& p) { return std::atan2(p.second - c.cy, p.first - c.cx); }

// Marks vertices along circle u from angle t0, in direction dir, as far as
// `limit` radians: each chord bulges from u by at most a quarter of the
// gap between u and the other circle at its nearer end, so that two such
// chords keep to the sides the circles keep to.  `step` is the first step.
void march(CircleUse& u, const ScopeCircle& other, double t0, double dir, double step, double limit) {
  const double ox = other.cx - u.c.cx, oy = other.cy - u.c.cy, r = u.c.r;
  auto gap_at = [&](double t) {
    const double at = t0 + dir * t;
    return std::fabs(std::hypot(r * std::cos(at) - ox, r * std::sin(at) - oy) - other.r);
  };
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

// A point both circles pass through (to rounding), moved onto an arc's end
// that it all but is.
XY shared_point(XY p, const CircleUse& a, const CircleUse& b, double rounding) {
  for (const CircleUse* u : {&a, &b})
    for (const XY& e : u->ends)
      if (std::hypot(e.first - p.first, e.second - p.second) <= rounding + kSnapToEnd * u->c.r) return e;
  return p;
}

// Marks on both circles around a point where they meet, `sharp` the sine of
// the angle they cross at: on each side, vertices from the point, the first
// chord short enough that the chords leave the point in the order of the
// circles.  `limits` bound the march towards the circles' other meeting
// point and away from it, on each circle, in radians.
void around(CircleUse& a, CircleUse& b, const XY& p, double sharp, double rounding, const double towards[2],
            const double away[2], const double dir[2]) {
  CircleUse* us[2] = {&a, &b};
  // The first chords on both circles are of one length: from a point where
  // the circles touch, the one that curves more then turns away more, as
  // the circle does.  Where the circles are within rounding of one another
  // vertices on each could not be told apart: the first go where they can.
  const double r = std::min(a.c.r, b.c.r);
  double first = std::clamp(sharp / 2, std::max(kLeastStep, rounding / r), kGridStep) * r;
  const double ta = angle_of(a.c, p);
  auto gap_at = [&](double length) {
    const double at = ta + dir[0] * length / a.c.r;
    return std::fabs(std::hypot(a.c.cx + a.c.r * std::cos(at) - b.c.cx, a.c.cy + a.c.r * std::sin(at) - b.c.cy) -
                     b.c.r);
  };
  while (first < kGridStep * r && gap_at(first) < kResolvable * rounding) first *= 2;
  for (int k = 0; k < 2; ++k) {
    CircleUse& u = *us[k];
    const ScopeCircle& other = us[1 - k]->c;
    u.marks.push_back(p);
    const double t0 = angle_of(u.c, p);
    march(u, other, t0, dir[k], first / u.c.r, towards[k]);
    march(u, other, t0, -dir[k], first / u.c.r, away[k]);
  }
}

// The marks two circles of different operands need.
void mark_pair(CircleUse& a, CircleUse& b) {
  const ScopeCircle &c1 = a.c, &c2 = b.c;
  const double r1 = c1.r, r2 = c2.r;
  const double dx = c2.cx - c1.cx, dy = c2.cy - c1.cy, d = std::hypot(dx, dy);
  // Concentric circles have their chord vertices at the same polar angles:
  // the chords keep apart as the circles do.
  if (!(d > 0)) return;
  const double ex = dx / d, ey = dy / d;
  const double largest = std::max({std::fabs(c1.cx), std::fabs(c1.cy), std::fabs(c2.cx), std::fabs(c2.cy)});
  const double rounding = kRoundingUnits * std::numeric_limits<double>::epsilon() * (largest + r1 + r2);
  const double outer = d - (r1 + r2), inner = d - std::fabs(r1 - r2);
  // Apart, or touching from outside: each circle's chords lie inside it,
  // away from the other, and touch only where a shared point makes them.
  if (outer > rounding) return;
  if (outer >= -rounding) {
    const XY t = shared_point({c1.cx + r1 * ex, c1.cy + r1 * ey}, a, b, rounding);
    a.marks.push_back(t);
    b.marks.push_back(t);
    return;
  }
  // From inside, the nearest points are on the side of the inner circle
  // away from the outer one's centre.
  const double side = r1 > r2 ? 1.0 : -1.0;
  const double half_turn[2] = {kPi, kPi};
  if (inner < -rounding) {
    // Nested apart: from the nearest points, both ways.
    if (-inner > kNearby * std::max(r1, r2)) return;
    CircleUse* us[2] = {&a, &b};
    for (int k = 0; k < 2; ++k) {
      CircleUse& u = *us[k];
      const double t0 = std::atan2(side * ey, side * ex);
      u.marks.push_back(on_circle(u.c, t0));
      const double least = std::max(kLeastStep, rounding / u.c.r);
      march(u, us[1 - k]->c, t0, 1, least, kPi);
      march(u, us[1 - k]->c, t0, -1, least, kPi);
    }
    return;
  }
  if (inner <= rounding) {
    const XY t = shared_point({c1.cx + side * r1 * ex, c1.cy + side * r1 * ey}, a, b, rounding);
    const double dir[2] = {1, 1};
    around(a, b, t, 0, rounding, half_turn, half_turn, dir);
    return;
  }
  // Crossing at two points, a along the line of centres from c1 and h off
  // it; the factors of h^2 are the distances from touching, without
  // cancellation.
  const double along = 0.5 * (d + (r1 - r2) * (r1 + r2) / d);
  const double h = std::sqrt((-outer) * (r1 + r2 + d) * inner * (d + std::fabs(r1 - r2))) / (2 * d);
  const XY p = shared_point({c1.cx + along * ex - h * ey, c1.cy + along * ey + h * ex}, a, b, rounding);
  const XY q = shared_point({c1.cx + along * ex + h * ey, c1.cy + along * ey - h * ex}, a, b, rounding);
  const double sharp = std::min(1.0, d * h / (r1 * r2));
  double towards[2], away[2], dir[2];
  CircleUse* us[2] = {&a, &b};
  for (int k = 0; k < 2; ++k) {
    const ScopeCircle& c = us[k]->c;
    const double tp = angle_of(c, p), delta = std::remainder(angle_of(c, q) - tp, 2 * kPi);
    dir[k] = delta < 0 ? -1 : 1;
    towards[k] = std::fabs(delta) / 2;
    away[k] = kPi - towards[k];
    // The short arc between close meeting points keeps a vertex inside.
    if (std::fabs(delta) < 2 * kGridStep) us[k]->marks.push_back(on_circle(c, tp + delta / 2));
  }
  around(a, b, p, sharp, rounding, towards, away, dir);
  for (double& v : dir) v = -v;
  around(a, b, q, sharp, rounding, towards, away, dir);
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
        if (fresh) uses.push_back(CircleUse{c, arc, {}, {}, {}});
        CircleUse& u = uses[it->second];
        u.ends.emplace_back(sv.start.x, sv.start.y);
        u.ends.emplace_back(sv.end.x, sv.end.y);
        if (u.operands.empty() || u.operands.back() != o) u.operands.push_back(o);
      }
    }
  }
  if (uses.size() < 2) return;
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
  for (const CircleUse& u : uses) add_circle_vertices(u.arc, u.marks);
}

}  // namespace vaskelith::planar
