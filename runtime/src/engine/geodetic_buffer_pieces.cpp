// The pieces a geodetic buffer is the union of, in the azimuthal plane:
// circles round points and vertices, bodies between the offset curves of
// edges, wedges at their joints and caps at the ends of paths.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/geodetic_buffer_parts.hpp"

namespace vaskelith::geodetic::buffering {

namespace {

// Degrees of turn below which consecutive edges continue straight on, so
// the next edge starts from the very offset points the last one ended at.
constexpr double kStraightJoint = 1e-7;

// Halvings of the azimuth between two spokes of a loxodrome circle: enough
// to take a spoke from a few degrees to within kSeamDegrees of the last
// point a loxodrome reaches.
constexpr int kCircleDepth = 48;

// The point a loxodrome offset touches the envelope of the circles at is
// where the distances to the line's points this fraction of the buffer
// distance ahead and behind are equal; the touching point is found to an
// angle of kEnvelopeAngle degrees, far finer than any deviation shows.
constexpr double kEnvelopeStep = 1e-4;
constexpr double kEnvelopeAngle = 1e-8;
// Degrees from square to the edge searched for that point, in steps; an
// offset touching the envelope more obliquely than that is not looked for
// (the edge is covered by circles instead).
constexpr double kEnvelopeSearch = 10;
constexpr double kEnvelopeReach = 80;

// What a loxodrome offset point costs the budget, in geodesic offset points:
// the search for where it touches the envelope takes some ten trials of a
// direct and two inverse loxodromes, each several times a geodesic's work,
// and a buffer's budget bounds its time, not only its output.
constexpr double kRhumbOffsetCost = 4;

// Halvings of the stretch between two circles along an edge whose offsets
// are not reached: from a ground step to a millionth of it, finer than any
// center near a pole needs.
constexpr int kCircleFillDepth = 20;
// The share of the deviation a notch between circles along such an edge
// may take: its vertex is where the chords of two circles cross, each
// within half the deviation of its circle.
constexpr double kNotchShare = 0.75;

// Samples along one edge's offset curves: past that the deviation is far
// too fine for the edge.
constexpr double kMaxSamples = 1e6;

// Halvings of a chord between offsets that sags in the far field of the
// plane: from the step to a 65 536th of it, finer than any deviation the
// step was chosen for.
constexpr int kSagDepth = 16;

// Offset points of one buffer: the far ends of geodesics of the buffer
// distance, in the azimuthal plane.  Every point is spent from the buffer's
// budget of offset points.
class Offsets {
 public:
  Offsets(const Ellipsoid& e, const Azimuthal& az, const Plan& plan, PointBudget& budget)
      : geod_(e.geodesic()),
        rhumb_(e.rhumb()),
        az_(az),
        plan_(plan),
        budget_(budget),
        arc_step_(360.0 / plan.circle) {}

  const GeographicLib::Geodesic& geodesic() const { return geod_; }
  const GeographicLib::Rhumb& rhumb() const { return rhumb_; }
  const Azimuthal& plane() const { return az_; }
  const Plan& plan() const { return plan_; }
  // Spends the search of one loxodrome offset point beyond the point itself.
  void spend_search() const { budget_.spend(kRhumbOffsetCost - 1); }
  // Fails at once where `offsets` more offset points would outgrow the budget.
  void require(double offsets) const { budget_.require(offsets * (plan_.rhumb ? kRhumbOffsetCost : 1)); }

  XY at(const LonLat& c, double azimuth) const {
    budget_.spend(1);
    double lat, lon;
    geod_.Direct(c.lat, c.lon, azimuth, plan_.distance, lat, lon);
    return az_.forward({lon, lat});
  }

  // Points of the arc about c from azimuth a1 turning by `sweep` degrees
  // (either sign), strictly between its ends.
  void arc(const LonLat& c, double a1, double sweep, std::vector<XY>& ring) const {
    const int n = clamped_cast(std::ceil(std::fabs(sweep) / arc_step_), 0, std::numeric_limits<int>::max());
    for (int k = 1; k < n; ++k) ring.push_back(at(c, a1 + sweep * k / n));
  }

  std::vector<XY> circle(const LonLat& c) const {
    // The loxodromes leaving a pole are its meridians, the geodesics.
    if (plan_.rhumb && std::fabs(c.lat) < 90) return rhumb_circle(c);
    std::vector<XY> ring;
    for (int k = 0; k < plan_.circle; ++k) ring.push_back(at(c, arc_step_ * k));
    return ring;
  }

  // The far end of the loxodrome of the buffer distance leaving c at this
  // azimuth; false where it passes a pole or winds more than half a turn
  // round in longitude (the loxodrome between its ends is then another,
  // shorter one).
  bool rhumb_reach(const LonLat& c, double azimuth, LonLat& out) const {
    budget_.spend(1);
    return rhumb_try(c, azimuth, out);
  }

  // The same, not counted against the budget: for the trials of a search
  // that counts its outcome.
  bool rhumb_try(const LonLat& c, double azimuth, LonLat& out) const {
    double lat = 0, lon = 0, area = 0;
    rhumb_.GenDirect(
        c.lat, c.lon, azimuth, plan_.distance,
        GeographicLib::Rhumb::LATITUDE | GeographicLib::Rhumb::LONGITUDE | GeographicLib::Rhumb::LONG_UNROLL,
        lat, lon, area);
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lon - c.lon) > 180) return false;
    out = {lon, lat};
    return true;
  }

  // The loxodromic distance from a to b, counted against the budget.
  double measure(const LonLat& a, const LonLat& b) const {
    budget_.spend(1);
    return rhumb_distance(a, b);
  }

  double rhumb_distance(const LonLat& a, const LonLat& b) const {
    double s = 0, azi = 0;
    rhumb_.Inverse(a.lat, a.lon, b.lat, b.lon, s, azi);
    return s;
  }

  // Points of the loxodrome circle about c from azimuth a1 turning by
  // `sweep` degrees, strictly between its ends, as densely as a whole circle
  // has them; false where one of them is reached by no loxodrome.
  bool rhumb_arc(const LonLat& c, double a1, double sweep, std::vector<XY>& ring) const {
    const int n = clamped_cast(std::ceil(std::fabs(sweep) / arc_step_), 1, std::numeric_limits<int>::max());
    std::vector<XY> arc;
    bool missed = false;
    Spoke prev = spoke(c, a1);
    for (int k = 1; k <= n; ++k) {
      const Spoke next = spoke(c, k == n ? a1 + sweep : a1 + sweep * k / n);
      if (!prev.reached || !next.reached) return false;
      span(c, prev, next, arc, 0, missed);
      if (missed) return false;
      prev = next;
    }
    // The far end is the caller's own offset.
    arc.pop_back();
    ring.insert(ring.end(), arc.begin(), arc.end());
    return true;
  }

  // How far, measured along loxodromes from c, the middle of the chord from
  // a to b lies from the distance: near a pole the loxodromic distance
  // changes many times faster than the ground under it, so a chord close to
  // the circle on the ground may still be far from it in that measure.
  double rhumb_chord_error(const LonLat& c, const XY& a, const XY& b) const {
    budget_.spend(1);
    const LonLat mid = az_.reverse((a.first + b.first) / 2, (a.second + b.second) / 2);
    return std::fabs(rhumb_distance(c, mid) - plan_.distance);
  }

 private:
  // A sample of a loxodrome circle: its azimuth and, where a loxodrome
  // reaches it, its point.
  struct Spoke {
    double azimuth;
    bool reached;
    XY xy;
    LonLat at;  // longitude unrolled from the center's
  };

  Spoke spoke(const LonLat& c, double azimuth) const {
    LonLat p;
    Spoke s{azimuth, rhumb_reach(c, azimuth, p), {0, 0}, {0, 0}};
    if (s.reached) {
      s.xy = az_.forward(p);
      s.at = p;
    }
    return s;
  }

  double parallel_radius(double lat) const {
    const double f = rhumb_.Flattening(), e2 = f * (2 - f), phi = lat * kPi / 180, sn = std::sin(phi);
    return rhumb_.EquatorialRadius() * std::cos(phi) / std::sqrt(1 - e2 * sn * sn);
  }

  // A bound of the meters of loxodromic distance from c that a meter of
  // ground moves at the spoke's point.  The distance is the meridian arc A
  // over cos(azimuth); per meter east it changes by k sin(azimuth), per
  // meter north by cos(azimuth) - (k - 1) sin(azimuth) tan(azimuth), with
  // k the mean radius of the parallels along the way over the radius of
  // the point's own.  k is at most the widest radius along the way over the
  // point's, and (k - 1) tan(azimuth) at most that times the longitude
  // turned (in radians): the radii change no faster than themselves with
  // the isometric latitude.  Far from the poles the bound is near 1; near
  // one it runs to thousands.
  double speed_bound(const LonLat& c, const Spoke& s) const {
    const double r = parallel_radius(s.at.lat);
    if (!(r > 0)) return std::numeric_limits<double>::infinity();
    const double widest =
        (c.lat > 0) != (s.at.lat > 0) ? rhumb_.EquatorialRadius() : std::max(parallel_radius(c.lat), r);
    const double k = widest / r, turn = std::fabs(s.at.lon - c.lon) * kPi / 180, azi = s.azimuth * kPi / 180;
    return std::hypot(k * std::sin(azi), std::fabs(std::cos(azi)) + k * turn);
  }

  // The points of the loxodrome circle about c after spoke a up to spoke b,
  // b's own included where it is reached.  Between a spoke that reaches and
  // one that does not, the last point reached (where the circle meets the
  // meridian opposite the center); `missed` tells that a spoke between
  // reached nothing.  Spokes are added wherever the chord between two
  // strays by more than half the deviation, on the ground or in loxodromic
  // distance from c: near a pole a few degrees of azimuth sweep the circle
  // half round.
  void span(const LonLat& c, const Spoke& a, const Spoke& b, std::vector<XY>& ring, int depth,
            bool& missed) const {
    if (depth >= kCircleDepth) {
      if (b.reached) ring.push_back(b.xy);
      return;
    }
    const Spoke m = spoke(c, (a.azimuth + b.azimuth) / 2);
    if (!m.reached) missed = true;
    if (a.reached && b.reached && m.reached) {
      const double allowed = std::max(plan_.deviation / 2, kRoundingFloor);
      const double sag = std::hypot((a.xy.first + b.xy.first) / 2 - m.xy.first,
                                    (a.xy.second + b.xy.second) / 2 - m.xy.second);
      // The chord's middle strays by no more than the sag on the ground;
      // only where the distance may run faster than the ground is it
      // measured.
      const double speed = std::max({speed_bound(c, a), speed_bound(c, m), speed_bound(c, b)});
      if (sag <= allowed && (sag * speed <= allowed || rhumb_chord_error(c, a.xy, b.xy) <= allowed)) {
        ring.push_back(b.xy);
        return;
      }
    } else if (!a.reached && !b.reached && !m.reached) {
      return;
    } else if (std::fabs(b.azimuth - a.azimuth) < kSeamDegrees) {
      // The last point reached, to rounding.
      if (m.reached) ring.push_back(m.xy);
      return;
    }
    span(c, a, m, ring, depth + 1, missed);
    span(c, m, b, ring, depth + 1, missed);
  }

  // The loxodrome circle: the far ends of the loxodromes of the buffer
  // distance all round, where one reaches, and the last points reached
  // between.
  std::vector<XY> rhumb_circle(const LonLat& c) const {
    std::vector<XY> ring;
    bool missed = false;
    const Spoke first = spoke(c, 0);
    if (first.reached) ring.push_back(first.xy);
    Spoke prev = first;
    for (int k = 1; k <= plan_.circle; ++k) {
      const Spoke next =
          k == plan_.circle ? Spoke{360, first.reached, first.xy, first.at} : spoke(c, arc_step_ * k);
      span(c, prev, next, ring, 0, missed);
      prev = next;
    }
    if (!ring.empty() && ring.front() == ring.back()) ring.pop_back();
    if (ring.size() < 3)
      fail(kGeometryEngine, "The geodetic buffer reaches too far around the globe.",
           "No loxodrome of the buffer distance stays within half a turn of the center.");
    return ring;
  }

  const GeographicLib::Geodesic& geod_;
  const GeographicLib::Rhumb& rhumb_;
  const Azimuthal& az_;
  const Plan& plan_;
  PointBudget& budget_;
  double arc_step_;
};

// The offset curves of one edge, sampled start to end, and the edge's
// azimuths at its ends.
struct Edge {
  double azi1 = 0, azi2 = 0;
  std::vector<XY> left, right;
  // Loxodromes: the azimuths at the edge's ends of the loxodromes reaching
  // the offsets there, and whether every offset was reached (where not, the
  // edge is covered by circles instead).
  double left1 = 0, left2 = 0, right1 = 0, right2 = 0;
  bool reached = true;
};

// The offsets of the point at distance s along `line`, to either side.
void offsets_along(const Offsets& o, const GeographicLib::GeodesicLine& line, double s, XY& left, XY& right,
                   double* azimuth = nullptr) {
  double lat, lon, azi;
  line.Position(s, lat, lon, azi);
  if (azimuth) *azimuth = azi;
  left = o.at({lon, lat}, azi - 90);
  right = o.at({lon, lat}, azi + 90);
}

// The step suits offsets bent like the earth, as they are seen within a
// quarter meridian of the plane's center; farther out the plane bends them
// more, and a chord between the offsets at s0 and s1 that sags by more than
// a quarter of the deviation is split, its new points appended to `ed` in
// order.  So is one that `fits` (told s0 and s1 and the four ends) finds
// too far from the distance in the buffer's own measure.
template <class Along, class Fits>
bool split_sagging_chords(const Offsets& o, const Along& along, const Fits& fits, double near, Edge& ed,
                          double s0, const XY& l0, const XY& r0, double s1, const XY& l1, const XY& r1,
                          int depth) {
  const auto is_near = [&](const XY& p) { return std::hypot(p.first, p.second) < near; };
  if (depth >= kSagDepth) return true;
  if (is_near(l0) && is_near(l1) && is_near(r0) && is_near(r1) && fits(s0, l0, r0, s1, l1, r1)) return true;
  const double sm = (s0 + s1) / 2;
  XY lm, rm;
  if (!along(sm, lm, rm)) return false;
  const auto sag = [](const XY& p, const XY& q, const XY& mid) {
    return std::hypot((p.first + q.first) / 2 - mid.first, (p.second + q.second) / 2 - mid.second);
  };
  const double allowed = std::max(o.plan().deviation / 4, kRoundingFloor);
  if (sag(l0, l1, lm) <= allowed && sag(r0, r1, rm) <= allowed && fits(s0, l0, r0, s1, l1, r1)) return true;
  if (!split_sagging_chords(o, along, fits, near, ed, s0, l0, r0, sm, lm, rm, depth + 1)) return false;
  ed.left.push_back(lm);
  ed.right.push_back(rm);
  return split_sagging_chords(o, along, fits, near, ed, sm, lm, rm, s1, l1, r1, depth + 1);
}

// The offsets of an edge of length `len` at samples a step apart, and
// between them where their chords sag in the far field (`near` and beyond)
// or do not `fit`; `at_end` is told just after the first sample (true) and
// the last (false).  False where `along` reaches no offset.
template <class Along, class Fits, class AtEnd>
bool sample_offsets(const Offsets& o, const Along& along, const Fits& fits, const AtEnd& at_end, double len,
                    double near, Edge& ed) {
  const double samples = std::ceil(len / o.plan().step);
  if (samples > kMaxSamples) fail(kInvalidArgument, kDeviationTooSmall);
  const int m = std::max(1, static_cast<int>(samples));
  o.require(2.0 * (m + 1));
  XY l0, r0;
  if (!along(0, l0, r0)) return false;
  at_end(true);
  ed.left.push_back(l0);
  ed.right.push_back(r0);
  for (int k = 1; k <= m; ++k) {
    XY l1, r1;
    if (!along(len * k / m, l1, r1)) return false;
    if (k == m) at_end(false);
    if (!split_sagging_chords(o, along, fits, near, ed, len * (k - 1) / m, l0, r0, len * k / m, l1, r1, 0))
      return false;
    ed.left.push_back(l1);
    ed.right.push_back(r1);
    l0 = l1;
    r0 = r1;
  }
  return true;
}

// The offset curves of the geodesic edge from a to b, sampled a step apart
// and closer where the plane bends them.
Edge edge_offsets(const Offsets& o, const Ellipsoid& e, const LonLat& a, const LonLat& b) {
  const GeographicLib::GeodesicLine line = o.geodesic().InverseLine(a.lat, a.lon, b.lat, b.lon);
  Edge ed;
  double azimuth = 0;
  const auto along = [&](double s, XY& left, XY& right) {
    offsets_along(o, line, s, left, right, &azimuth);
    return true;
  };
  // Geodesic distance changes as fast as the ground: the sag in the plane
  // tells it all.
  const auto fits = [](double, const XY&, const XY&, double, const XY&, const XY&) { return true; };
  sample_offsets(
      o, along, fits, [&](bool first) { (first ? ed.azi1 : ed.azi2) = azimuth; }, line.Distance(),
      kPi / 4 * e.semi_major(), ed);
  return ed;
}

// The point at distance s along a loxodrome, its longitude unrolled; false
// past a pole.
bool rhumb_position(const GeographicLib::RhumbLine& line, double s, LonLat& out) {
  double lat = 0, lon = 0, area = 0;
  line.GenPosition(
      s, GeographicLib::Rhumb::LATITUDE | GeographicLib::Rhumb::LONGITUDE | GeographicLib::Rhumb::LONG_UNROLL,
      lat, lon, area);
  out = {lon, lat};
  return std::isfinite(lat) && std::isfinite(lon);
}

// The offset to one side (-1 left, +1 right) of the point at s along the
// loxodrome `line` of azimuth `alpha`: the far end of the loxodrome of the
// buffer distance from that point which touches the envelope of the
// circles round the line's points, and that loxodrome's azimuth.  There the
// distances to the line's points just ahead and just behind are equal;
// square to the line the nearer one lies ahead or behind as the parallels
// narrow towards the pole, and the touching point is searched for from
// there by false position.  False where no loxodrome reaches it.
bool rhumb_offset(const Offsets& o, const GeographicLib::RhumbLine& line, double alpha, double s, int side,
                  XY& out, double& azimuth) {
  const double h = o.plan().distance * kEnvelopeStep;
  LonLat ahead, behind, c;
  if (!rhumb_position(line, s, c) || !rhumb_position(line, s + h, ahead) ||
      !rhumb_position(line, s - h, behind))
    return false;
  // Nearer the point behind than the one ahead: negative.  Its sign turns
  // from - to + between the line's heading (angle 0) and the reverse (180).
  LonLat p;
  const auto lean = [&](double angle) {
    if (!o.rhumb_try(c, alpha + side * angle, p)) return kNaN;
    return o.rhumb_distance(ahead, p) - o.rhumb_distance(behind, p);
  };
  double prev = 90, g_prev = lean(prev);
  if (!std::isfinite(g_prev)) return false;
  // Walk away from square, towards the side the sign says, until it turns.
  const double dir = g_prev < 0 ? 1 : -1;
  double lo = 0, hi = 0, g_lo = 0, g_hi = 0;
  for (;;) {
    const double a = prev + dir * kEnvelopeSearch;
    if (std::fabs(a - 90) > kEnvelopeReach) return false;
    const double g = lean(a);
    if (!std::isfinite(g)) return false;
    if ((g < 0) != (g_prev < 0)) {
      lo = g < 0 ? a : prev;
      g_lo = g < 0 ? g : g_prev;
      hi = g < 0 ? prev : a;
      g_hi = g < 0 ? g_prev : g;
      break;
    }
    prev = a;
    g_prev = g;
  }
  // Now lean(lo) < 0 <= lean(hi); false position with the Illinois step.
  int stale = 0;
  while (std::fabs(hi - lo) > kEnvelopeAngle) {
    double a = (lo * g_hi - hi * g_lo) / (g_hi - g_lo);
    if (!(a > std::min(lo, hi) && a < std::max(lo, hi))) a = (lo + hi) / 2;
    const double g = lean(a);
    if (!std::isfinite(g)) return false;
    if (g == 0) {
      lo = hi = a;
      break;
    }
    if (g < 0) {
      lo = a;
      g_lo = g;
      if (stale < 0) g_hi /= 2;
      stale = -1;
    } else {
      hi = a;
      g_hi = g;
      if (stale > 0) g_lo /= 2;
      stale = 1;
    }
  }
  azimuth = alpha + side * (lo + hi) / 2;
  o.spend_search();
  if (!o.rhumb_reach(c, azimuth, p)) return false;
  out = o.plane().forward(p);
  return true;
}

// The offset curves of the loxodrome edge from a to b, sampled as
// edge_offsets samples a geodesic's; `reached` false where a loxodrome
// reaches no offset.
Edge rhumb_edge_offsets(const Offsets& o, const Ellipsoid& e, const LonLat& a, const LonLat& b) {
  double len = 0, alpha = 0;
  o.rhumb().Inverse(a.lat, a.lon, b.lat, b.lon, len, alpha);
  const GeographicLib::RhumbLine line = o.rhumb().Line(a.lat, a.lon, alpha);
  Edge ed;
  ed.azi1 = ed.azi2 = alpha;
  double left_azi = 0, right_azi = 0;
  const auto along = [&](double s, XY& left, XY& right) {
    return rhumb_offset(o, line, alpha, s, -1, left, left_azi) &&
           rhumb_offset(o, line, alpha, s, 1, right, right_azi);
  };
  const auto at_end = [&](bool first) {
    (first ? ed.left1 : ed.left2) = left_azi;
    (first ? ed.right1 : ed.right2) = right_azi;
  };
  // A chord of offsets fits where its middles lie within a quarter of the
  // deviation of the distance from the line's point halfway between, which
  // is their foot to first order: an offset is where the distances to the
  // points just ahead and behind are equal.
  const double allowed = std::max(o.plan().deviation / 4, kRoundingFloor);
  const auto fits = [&](double s0, const XY& l0, const XY& r0, double s1, const XY& l1, const XY& r1) {
    LonLat foot;
    if (!rhumb_position(line, (s0 + s1) / 2, foot)) return true;
    return o.rhumb_chord_error(foot, l0, l1) <= allowed && o.rhumb_chord_error(foot, r0, r1) <= allowed;
  };
  ed.reached = sample_offsets(o, along, fits, at_end, len, kPi / 4 * e.semi_major(), ed);
  return ed;
}

// A circle along an edge: its center, its place along the edge and its
// ring in the azimuthal plane.
struct EdgeCircle {
  double s;
  LonLat c;
  std::vector<XY> ring;
};

// Where the outlines of two rings of the plane cross.
std::vector<XY> crossings(const std::vector<XY>& a, const std::vector<XY>& b) {
  const GeomPtr pa = polygon(a), pb = polygon(b);
  if (!pa || !pb) return {};
  const GeomPtr ea = geos::take(GEOSBoundary_r(C(), pa.get()), "outlining a circle");
  const GeomPtr eb = geos::take(GEOSBoundary_r(C(), pb.get()), "outlining a circle");
  const GeomPtr x = geos::take(GEOSIntersection_r(C(), ea.get(), eb.get()), "crossing two circles");
  std::vector<XY> out;
  for (const GEOSGeometry* part : geos::components(x.get())) {
    if (GEOSisEmpty_r(C(), part)) continue;
    const std::vector<XY> pts = coords(part);
    out.insert(out.end(), pts.begin(), pts.end());
  }
  return out;
}

// Circles along `line` between c0 and c1 wherever the notch between their
// circles is deeper than kNotchShare of the deviation, measured along
// loxodromes from the edge between: near a pole the loxodromic distance to
// the far side changes many times faster than the center moves on the
// ground, and circles a ground step apart leave deep notches.  A notch is
// where the two circles cross; one inside the circle of the edge's point
// on the same meridian (among `others`, the circles a step apart) is no
// notch of the buffer, as happens on the far side of a pole.
void add_circles_between(const Offsets& o, const GeographicLib::RhumbLine& line,
                         const std::vector<EdgeCircle>& others, const EdgeCircle& c0, const EdgeCircle& c1,
                         Pieces& out, std::size_t at, int depth) {
  if (depth >= kCircleFillDepth) return;
  const double d = o.plan().distance;
  const double deep = std::max(o.plan().deviation * kNotchShare, kRoundingFloor);
  std::vector<LonLat> between;
  for (double t : {0.25, 0.5, 0.75}) {
    LonLat c;
    if (rhumb_position(line, c0.s + (c1.s - c0.s) * t, c)) between.push_back(c);
  }
  const auto notch = [&](const XY& p) {
    const LonLat x = o.plane().reverse(p.first, p.second);
    double nearest = std::numeric_limits<double>::infinity();
    for (const LonLat& c : between) nearest = std::min(nearest, o.measure(c, x));
    if (d - nearest <= deep) return false;
    const auto across = [&](const EdgeCircle& e) {
      return std::fabs(std::remainder(e.c.lon - x.lon, 360.0));
    };
    const auto same_meridian =
        std::min_element(others.begin(), others.end(),
                         [&](const EdgeCircle& a, const EdgeCircle& b) { return across(a) < across(b); });
    return same_meridian == others.end() || o.measure(same_meridian->c, x) > d - deep;
  };
  const std::vector<XY> cross = crossings(c0.ring, c1.ring);
  if (std::none_of(cross.begin(), cross.end(), notch)) return;
  EdgeCircle cm;
  cm.s = (c0.s + c1.s) / 2;
  if (!rhumb_position(line, cm.s, cm.c)) return;
  cm.ring = o.circle(cm.c);
  add_circles_between(o, line, others, c0, cm, out, at, depth + 1);
  out.add(polygon(cm.ring), at);
  add_circles_between(o, line, others, cm, c1, out, at, depth + 1);
}

// Loxodrome circles along the loxodrome from a to b, both ends included,
// close enough together that the notches between them are no deeper than
// kNotchShare of the deviation: the buffer of edges whose offsets no
// loxodrome reaches.
void add_edge_circles(const Offsets& o, const LonLat& a, const LonLat& b, Pieces& out, std::size_t at) {
  const Plan& plan = o.plan();
  double len = 0, alpha = 0;
  o.rhumb().Inverse(a.lat, a.lon, b.lat, b.lon, len, alpha);
  const GeographicLib::RhumbLine line = o.rhumb().Line(a.lat, a.lon, alpha);
  // Circles of the distance a ground step apart leave notches of a quarter
  // of the deviation on the ground; where the loxodromic distance runs
  // faster, more are added between.
  const double samples = std::ceil(len / std::sqrt(2 * plan.distance * plan.deviation));
  if (samples > kMaxSamples) fail(kInvalidArgument, kDeviationTooSmall);
  const int m = std::max(1, static_cast<int>(samples));
  std::vector<EdgeCircle> circles;
  for (int k = 0; k <= m; ++k) {
    EdgeCircle e;
    e.s = len * k / m;
    if (!rhumb_position(line, e.s, e.c)) continue;
    e.ring = o.circle(e.c);
    out.add(polygon(e.ring), at);
    circles.push_back(std::move(e));
  }
  for (std::size_t k = 1; k < circles.size(); ++k)
    add_circles_between(o, line, circles, circles[k - 1], circles[k], out, at, 0);
}

// A wedge of a loxodrome circle about c: from the offset `from` (reached
// at azimuth a1) round by `sweep` degrees to the offset `to`; the whole
// circle where a loxodrome reaches no point between.
void add_rhumb_wedge(const Offsets& o, const LonLat& c, const XY& from, double a1, double sweep, const XY& to,
                     Pieces& out, std::size_t at) {
  std::vector<XY> wedge{o.plane().forward(c), from};
  if (!o.rhumb_arc(c, a1, sweep, wedge)) {
    out.add(polygon(o.circle(c)), at);
    return;
  }
  wedge.push_back(to);
  out.add(polygon(wedge), at);
}

// The wedges at a vertex between loxodrome edges: each side turns from the
// azimuth reaching one edge's offset to that reaching the next one's.  A
// vertex of an edge whose offsets are not reached has its circle from the
// circles along that edge.
void add_rhumb_joint(const Offsets& o, const LonLat& c, const Edge& in, const Edge& next, Pieces& out,
                     std::size_t at) {
  if (!in.reached || !next.reached) return;
  add_rhumb_wedge(o, c, in.left.back(), in.left2, std::remainder(next.left1 - in.left2, 360.0),
                  next.left.front(), out, at);
  add_rhumb_wedge(o, c, in.right.back(), in.right2, std::remainder(next.right1 - in.right2, 360.0),
                  next.right.front(), out, at);
}

// The two wedges at vertex c, where the edge `in` turns into `next`: the
// arcs between their offsets.  Where the direction does not turn, `next`
// starts from the very points `in` ended at instead.
void add_joint(const Offsets& o, const LonLat& c, const Edge& in, Edge& next, Pieces& out, std::size_t at) {
  const double turn = std::remainder(next.azi1 - in.azi2, 360.0);
  if (in.reached && next.reached && std::fabs(turn) < kStraightJoint) {
    next.left.front() = in.left.back();
    next.right.front() = in.right.back();
    return;
  }
  if (o.plan().rhumb) {
    add_rhumb_joint(o, c, in, next, out, at);
    return;
  }
  const XY centre = o.plane().forward(c);
  std::vector<XY> lw{centre, in.left.back()};
  o.arc(c, in.azi2 - 90, turn, lw);
  lw.push_back(next.left.front());
  out.add(polygon(lw), at);
  std::vector<XY> rw{centre, in.right.back()};
  o.arc(c, in.azi2 + 90, turn, rw);
  rw.push_back(next.right.front());
  out.add(polygon(rw), at);
}

// The body of the edge from a to b, between its offset curves.  It runs
// through the edge's own end points, so that it meets the wedges and caps
// along the very same chords.
GeomPtr edge_body(const Azimuthal& az, const Edge& ed, const LonLat& a, const LonLat& b) {
  std::vector<XY> ring(ed.left.begin(), ed.left.end());
  ring.push_back(az.forward(b));
  ring.insert(ring.end(), ed.right.rbegin(), ed.right.rend());
  ring.push_back(az.forward(a));
  return polygon(ring);
}

// Half circles around the ends of an open path, from one offset round to
// the other.
void add_end_caps(const Offsets& o, const std::vector<LonLat>& pts, const Edge& first, const Edge& last,
                  Pieces& out, std::size_t first_at, std::size_t last_at) {
  if (o.plan().rhumb) {
    // Round the back of the start from the right offset to the left one,
    // and round the front of the end from the left to the right.
    const auto ahead = [](double from, double to) { return std::fmod(to - from + 720.0, 360.0); };
    if (first.reached)
      add_rhumb_wedge(o, pts.front(), first.right.front(), first.right1, ahead(first.right1, first.left1),
                      first.left.front(), out, first_at);
    if (last.reached)
      add_rhumb_wedge(o, pts.back(), last.left.back(), last.left2, ahead(last.left2, last.right2),
                      last.right.back(), out, last_at);
    return;
  }
  const Azimuthal& az = o.plane();
  std::vector<XY> cap{az.forward(pts.front()), first.right.front()};
  o.arc(pts.front(), first.azi1 + 90, 180, cap);
  cap.push_back(first.left.front());
  out.add(polygon(cap), first_at);
  std::vector<XY> end{az.forward(pts.back()), last.left.back()};
  o.arc(pts.back(), last.azi2 - 90, 180, end);
  end.push_back(last.right.back());
  out.add(polygon(end), last_at);
}

// The pieces along one path, or along a ring when `closed`: wedges at its
// joints, a body along every edge, and caps at the ends of a path.  Their
// places along the path start at `at`; returns the place after the last.
std::size_t add_path_pieces(const Offsets& o, const Ellipsoid& e, const std::vector<LonLat>& pts, bool closed,
                            Pieces& out, std::size_t at) {
  const std::size_t n = pts.size();
  const std::size_t count = closed ? n : n - 1;
  // Places: the first cap, then body i at 2i + 1 and the joint after it at
  // 2i + 2; the joint closing a ring sits last, beside the first body.
  const auto body_at = [&](std::size_t i) { return at + 2 * i + 1; };
  std::vector<Edge> edges;
  edges.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    edges.push_back(o.plan().rhumb ? rhumb_edge_offsets(o, e, pts[i], pts[(i + 1) % n])
                                   : edge_offsets(o, e, pts[i], pts[(i + 1) % n]));
  for (std::size_t i = 0; i + 1 < count; ++i)
    add_joint(o, pts[i + 1], edges[i], edges[i + 1], out, body_at(i) + 1);
  if (closed && count > 1) add_joint(o, pts[0], edges[count - 1], edges[0], out, body_at(count));
  // Edges whose offsets are not reached are covered by circles, along each
  // run of them that keeps one heading (one loxodrome) at once.
  std::size_t run = count;
  for (std::size_t i = 0; i < count; ++i) {
    if (edges[i].reached) {
      out.add(edge_body(o.plane(), edges[i], pts[i], pts[(i + 1) % n]), body_at(i));
      continue;
    }
    if (run == count) run = i;
    const bool run_goes_on =
        i + 1 < count && !edges[i + 1].reached &&
        std::fabs(std::remainder(edges[i + 1].azi1 - edges[i].azi2, 360.0)) < kStraightJoint;
    if (run_goes_on) continue;
    add_edge_circles(o, pts[run], pts[(i + 1) % n], out, body_at(i));
    run = count;
  }
  if (!closed) add_end_caps(o, pts, edges.front(), edges.back(), out, at, body_at(count));
  return body_at(count) + 1;
}

// The buffer pieces in the azimuthal plane: circles around lone points; for
// paths and rings, a body along every edge (between its two offset curves),
// a wedge at every vertex where the direction turns (the arc between the
// offsets of the edges meeting there) and a half circle at each end of a
// path.  Neighbouring pieces share their offset points exactly, so that
// their union closes without cracks.
}  // namespace

Pieces pieces(const Shapes& s, const Ellipsoid& e, const Azimuthal& az, const Plan& plan,
              PointBudget& budget) {
  const Offsets o(e, az, plan, budget);
  Pieces out;
  std::size_t at = 0;
  for (const auto& p : s.points) out.add(polygon(o.circle(p)), at++);
  for (const auto& path : s.paths)
    if (path.size() >= 2) at = add_path_pieces(o, e, path, false, out, at);
  for (const auto& ring : s.outlines)
    if (ring.size() >= 2) at = add_path_pieces(o, e, ring, true, out, at);
  return out;
}

}  // namespace vaskelith::geodetic::buffering
