#include "engine/planar_curves.hpp"

#include "curves.hpp"
#include "engine/gauss_legendre.hpp"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vaskelith::planar {

namespace {

// Tolerances of the curve engine, each relative to the size it names.
//
// The arc-length integrator refines a piece until it agrees with its halves
// to this fraction of the whole length: a few units of rounding of the sum.
constexpr double kLengthAgreement = 1e-14;
// The least parameter distance of the cuts placed near a point where a
// curve almost stops, so that a speed of zero still gives a finite cut.
constexpr double kLeastTurnCut = 1e-17;
// A Newton step on the length this small, relative to its piece, leaves an
// error at rounding (the error squares at each step).
constexpr double kNewtonSettled = 1e-9;
// Circles are bucketed on a power of two near this fraction of the radius:
// two circles a rounding apart fall into one bucket but for a chance of
// about one in a million.
constexpr double kCircleBucket = 1e-9;
// Two circles within this fraction of the radius (centre and radius) are one.
constexpr double kSameCircle = 1e-12;
// Two Bezier curves are one when their control points agree to this
// fraction of their magnitude; two elliptic arcs when centre and semi-major
// axis agree to this fraction of the axis, and the axis ratio to it.
constexpr double kSameControlPoint = 1e-12;
constexpr double kSameArc = 1e-9;
// An arc whose radius is more than this many times the larger of its chord
// and its coordinates has its centre so far away that points placed from
// it round by more than a few units of the arc's own coordinates.
constexpr double kFarCentre = 4;
// A grid vertex this fraction of a grid step from an arc's end is left out:
// it would make a chord of no length.
constexpr double kCircleGridHair = 1e-9;
// The chord tolerance of a geometry: this fraction of its extent's
// diagonal, or kChordOfPoint for an extent of no size.
constexpr double kChordOfExtent = 1e-6;
constexpr double kChordOfPoint = 1e-9;
// Keeps a relative scale positive at the origin.
constexpr double kScaleFloor = 1e-300;
// The square root of x^2 + y^2 is as good as hypot, and several times
// faster, while the sum lies between a floor and a ceiling: above the
// ceiling the squares may have overflowed, below the floor they may have
// lost digits to underflow.  Outside, hypot is used.  Speeds along a curve
// keep to a narrower range than the edges of a straight path (edge_length).
constexpr double kSpeedSquaresFloor = 1e-280;
constexpr double kSpeedSquaresCeiling = 1e280;

// Gauss-Legendre nodes and weights on [-1, 1], 8 points.
constexpr double kGLx[8] = {-0.9602898564975363, -0.7966664774136267, -0.5255324099163290, -0.1834346424956498,
                            0.1834346424956498,  0.5255324099163290,  0.7966664774136267,  0.9602898564975363};
constexpr double kGLw[8] = {0.1012285362903763, 0.2223810344533745, 0.3137066458778873, 0.3626837833783620,
                            0.3626837833783620, 0.3137066458778873, 0.2223810344533745, 0.1012285362903763};

template <class F>
double integrate(F&& f, double a, double b, int pieces) {
  double total = 0;
  const double h = (b - a) / pieces;
  for (int p = 0; p < pieces; ++p) {
    const double lo = a + p * h, mid = lo + 0.5 * h, half = 0.5 * h;
    double s = 0;
    for (int i = 0; i < 8; ++i) s += kGLw[i] * f(mid + half * kGLx[i]);
    total += s * half;
  }
  return total;
}

double hypot2(double x, double y) { return std::hypot(x, y); }

// Bezier with its end points.
struct Bez {
  double x0, y0, x1, y1, x2, y2, x3, y3;
  void at(double t, double& x, double& y) const {
    const double s = 1 - t;
    const double b0 = s * s * s, b1 = 3 * s * s * t, b2 = 3 * s * t * t, b3 = t * t * t;
    x = b0 * x0 + b1 * x1 + b2 * x2 + b3 * x3;
    y = b0 * y0 + b1 * y1 + b2 * y2 + b3 * y3;
  }
  void deriv(double t, double& dx, double& dy) const {
    const double s = 1 - t;
    dx = 3 * s * s * (x1 - x0) + 6 * s * t * (x2 - x1) + 3 * t * t * (x3 - x2);
    dy = 3 * s * s * (y1 - y0) + 6 * s * t * (y2 - y1) + 3 * t * t * (y3 - y2);
  }
};

Bez bez_of(const SegmentView& s) {
  const BezierCurve& b = s.curve->bezier;
  return Bez{s.start.x, s.start.y, b.c1x, b.c1y, b.c2x, b.c2y, s.end.x, s.end.y};
}

// |(x, y)|: a square root where the squares cannot overflow or lose
// precision to underflow, which is several times faster than hypot.
double norm2(double x, double y) {
  const double q = x * x + y * y;
  if (q > kSpeedSquaresFloor && q < kSpeedSquaresCeiling) return std::sqrt(q);
  return std::hypot(x, y);
}

using quadrature::gauss;

// Roots in (0, 1) of the cubic c3 u^3 + c2 u^2 + c1 u + c0: the interval is
// cut where the derivative vanishes, and each monotone stretch whose ends
// differ in sign is bisected.
void cubic_roots_in_unit(double c3, double c2, double c1, double c0, std::vector<double>& out) {
  auto p = [&](double u) { return ((c3 * u + c2) * u + c1) * u + c0; };
  double cuts[4] = {0, 0, 0, 1};
  int nc = 1;
  // 3 c3 u^2 + 2 c2 u + c1 = 0, without cancellation.
  const double a = 3 * c3, b = 2 * c2, c = c1;
  if (a != 0) {
    const double disc = b * b - 4 * a * c;
    if (disc >= 0) {
      const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
      for (double r : {q / a, q != 0 ? c / q : 0.0})
        if (r > 0 && r < 1) cuts[nc++] = r;
    }
  } else if (b != 0) {
    const double r = -c / b;
    if (r > 0 && r < 1) cuts[nc++] = r;
  }
  if (nc == 3 && cuts[2] < cuts[1]) std::swap(cuts[1], cuts[2]);
  cuts[nc++] = 1;
  for (int i = 0; i + 1 < nc; ++i) {
    double lo = cuts[i], hi = cuts[i + 1];
    double plo = p(lo), phi = p(hi);
    if (!(plo < 0 && phi > 0) && !(plo > 0 && phi < 0)) continue;
    for (int k = 0; k < 200; ++k) {
      const double mid = 0.5 * (lo + hi);
      if (!(mid > lo && mid < hi)) break;
      const double pm = p(mid);
      if (pm == 0) {
        lo = hi = mid;
        break;
      }
      if ((pm < 0) == (plo < 0)) {
        lo = mid;
        plo = pm;
      } else {
        hi = mid;
      }
    }
    out.push_back(0.5 * (lo + hi));
  }
}

Curve reversed(const Curve& c) {
  Curve r = c;
  if (c.kind == SegmentKind::EllipticArc) {
    r.arc.start_param = c.arc.start_param + c.arc.sweep;
    r.arc.sweep = -c.arc.sweep;
  } else if (c.kind == SegmentKind::CubicBezier) {
    r.bezier = BezierCurve{c.bezier.c2x, c.bezier.c2y, c.bezier.c1x, c.bezier.c1y};
  }
  return r;
}

}  // namespace

double own_tolerance(const SegmentView& s) {
  // Relative to the curve alone, so that the same curve in two geometries
  // becomes the same chords (overlays of the two then see one line).
  constexpr double kRelative = 1e-5;
  if (s.curve->kind == SegmentKind::EllipticArc) {
    const EllipticArc& a = s.curve->arc;
    return kRelative * std::min(a.semi_major, a.semi_major * std::fabs(a.sweep));
  }
  if (s.curve->kind == SegmentKind::CubicBezier) {
    const BezierCurve& b = s.curve->bezier;
    return kRelative * (hypot2(b.c1x - s.start.x, b.c1y - s.start.y) + hypot2(b.c2x - b.c1x, b.c2y - b.c1y) +
                        hypot2(s.end.x - b.c2x, s.end.y - b.c2y));
  }
  return 0;
}

Vertex lerp(const Vertex& a, const Vertex& b, double u) {
  return Vertex{a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u, a.m + (b.m - a.m) * u};
}

namespace {

// Sorted, without repeats, and inside [0, 1].
void tidy(std::vector<double>& v) {
  v.erase(std::remove_if(v.begin(), v.end(), [](double u) { return !(u >= 0 && u <= 1); }), v.end());
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

// The speed of an ellipse is least and greatest at the ends of its axes:
// adds their parameters within the arc (a bounded count: a sweep is at most
// a turn).  Returns the arc's even grid: a piece per eighth of a half turn.
int arc_turns(const EllipticArc& a, std::vector<double>& turns) {
  const int grid = clamped_cast(std::ceil(std::fabs(a.sweep) / (kPi / 8)), 1, 64);
  const double q = kPi / 2, t0 = a.start_param;
  const double first = std::floor(std::min(t0, t0 + a.sweep) / q) + 1;
  for (int i = 0; i < 8; ++i) {
    const double u = ((first + i) * q - t0) / a.sweep;
    if (u > 0 && u < 1) turns.push_back(u);
  }
  return grid;
}

// |B'|^2 is least or greatest where B' . B'' = 0, a cubic in u: adds its
// roots.
void bezier_turns(const Bez& b, std::vector<double>& turns) {
  const double cx = 3 * (b.x1 - b.x0), cy = 3 * (b.y1 - b.y0);
  const double bx = 6 * (b.x2 - 2 * b.x1 + b.x0), by = 6 * (b.y2 - 2 * b.y1 + b.y0);
  const double ax = 3 * (b.x3 - 3 * b.x2 + 3 * b.x1 - b.x0), ay = 3 * (b.y3 - 3 * b.y2 + 3 * b.y1 - b.y0);
  cubic_roots_in_unit(2 * (ax * ax + ay * ay), 3 * (ax * bx + ay * by), bx * bx + by * by + 2 * (ax * cx + ay * cy),
                      bx * cx + by * cy, turns);
}

}  // namespace

ArcLength::ArcLength(const SegmentView& s)
    : s_(s), exact_(s.curve->is_line() || (s.curve->kind == SegmentKind::EllipticArc && s.curve->arc.is_circular())) {
  if (s.curve->is_line()) {
    total_ = edge_length(s.end.x - s.start.x, s.end.y - s.start.y);
    return;
  }
  if (exact_) {
    total_ = circular_arc_length(s.curve->arc, s.start.x, s.start.y, s.end.x, s.end.y);
    return;
  }
  // Where the pieces start: an even grid (eight pieces for a Bezier, one
  // per eighth of a half turn for an arc), the ends, and the parameters
  // where the speed is least or greatest (`turns`).
  std::vector<double> turns{0.0, 1.0};
  int grid = 8;
  if (s.curve->kind == SegmentKind::EllipticArc) {
    const EllipticArc& a = s.curve->arc;
    if (!std::isfinite(a.sweep) || !std::isfinite(a.start_param)) {
      total_ = kNaN;
      return;
    }
    grid = arc_turns(a, turns);
  } else {
    bezier_turns(bez_of(s), turns);
  }
  std::vector<double> cuts = turns;
  for (int i = 1; i < grid; ++i) cuts.push_back(static_cast<double>(i) / grid);
  tidy(cuts);
  add_cuts_near_turns(cuts, turns);
  measure(cuts);
}

// Where the curve almost stops, the speed behaves like sqrt(a^2 t^2 + e^2)
// about the turn: smooth, but only within e / a of it, and a quadrature
// over a piece that ends at the turn keeps an error of about a (e/a)^2
// that halving the piece does not reveal (both halves share it).  Cuts at
// e/a, 2 e/a, 4 e/a, ... from the turn make every piece smooth at its own
// scale.  e/a is the speed over the acceleration there.
void ArcLength::add_cuts_near_turns(std::vector<double>& cuts, const std::vector<double>& turns) const {
  const std::size_t plain = cuts.size();
  for (double c : turns) {
    const double v = speed(c), acc = acceleration(c);
    if (!(v > 0) || !(acc > 0) || !std::isfinite(v / acc)) continue;
    const double d = std::max(v / acc, kLeastTurnCut);
    const auto at = std::lower_bound(cuts.begin(), cuts.begin() + static_cast<std::ptrdiff_t>(plain), c);
    const double below = at == cuts.begin() ? c : *(at - 1);
    const double above = at + 1 >= cuts.begin() + static_cast<std::ptrdiff_t>(plain) ? c : *(at + 1);
    for (double x = d; c + x < above; x *= 2) cuts.push_back(c + x);
    for (double x = d; c - x > below; x *= 2) cuts.push_back(c - x);
  }
  tidy(cuts);
}

// One quadrature over each piece between the cuts: a first estimate of the
// length, which sets the scale the refinement works to.
void ArcLength::measure(const std::vector<double>& cuts) {
  auto f = [this](double u) { return speed(u); };
  std::vector<Job> work;
  double estimate = 0;
  for (std::size_t i = cuts.size() - 1; i-- > 0;) {
    const double whole = gauss(f, cuts[i], cuts[i + 1]);
    work.push_back({cuts[i], cuts[i + 1], whole, 0});
    estimate += whole;
  }
  if (!std::isfinite(estimate)) {
    // Infinite or NaN coordinates: nothing to place along the curve.
    total_ = estimate;
    return;
  }
  refine(work, kLengthAgreement * estimate);
}

// Each piece is refined until it agrees with its halves to `tolerance`;
// near a point where the curve almost stops the pieces shrink geometrically
// towards it, so this takes a few dozen halvings.  The budget only guards
// against a curve that rounding keeps from agreeing anywhere.  Pieces are
// taken from the back of `work`, which holds them last to first, so the
// table of pieces is made in the order of the curve.
void ArcLength::refine(std::vector<Job>& work, double tolerance) {
  auto f = [this](double u) { return speed(u); };
  int budget = 1 << 14;
  while (!work.empty()) {
    const Job j = work.back();
    work.pop_back();
    const double mid = 0.5 * (j.lo + j.hi);
    const double left = gauss(f, j.lo, mid), right = gauss(f, mid, j.hi);
    // Speeds that overflow never agree: such a piece is kept as it is.
    if (j.depth >= 60 || --budget <= 0 || !(mid > j.lo && mid < j.hi) || !std::isfinite(left + right) ||
        std::fabs(left + right - j.whole) <= tolerance) {
      // Kept as two pieces: the length up to a point inside either half is
      // then measured by one quadrature over part of a half, which is at
      // least as good as that of the half.
      pieces_.push_back({j.lo, mid, total_, left});
      total_ += left;
      pieces_.push_back({mid, j.hi, total_, right});
      total_ += right;
    } else {
      work.push_back({mid, j.hi, right, j.depth + 1});
      work.push_back({j.lo, mid, left, j.depth + 1});
    }
  }
}

double ArcLength::speed(double u) const {
  if (s_.curve->kind == SegmentKind::CubicBezier) {
    const Bez b = bez_of(s_);
    double dx, dy;
    b.deriv(u, dx, dy);
    return norm2(dx, dy);
  }
  const EllipticArc& a = s_.curve->arc;
  const double t = a.start_param + a.sweep * u;
  return std::fabs(a.sweep) * norm2(a.semi_major * std::sin(t), a.semi_major * a.ratio * std::cos(t));
}

double ArcLength::acceleration(double u) const {
  if (s_.curve->kind == SegmentKind::CubicBezier) {
    const Bez b = bez_of(s_);
    const double v = 1 - u;
    return 6 * norm2(v * (b.x2 - 2 * b.x1 + b.x0) + u * (b.x3 - 2 * b.x2 + b.x1),
                     v * (b.y2 - 2 * b.y1 + b.y0) + u * (b.y3 - 2 * b.y2 + b.y1));
  }
  const EllipticArc& a = s_.curve->arc;
  const double t = a.start_param + a.sweep * u;
  return a.sweep * a.sweep * norm2(a.semi_major * std::cos(t), a.semi_major * a.ratio * std::sin(t));
}

double ArcLength::length_within(const Piece& p, double u) const {
  if (u <= p.lo) return p.before;
  if (u >= p.hi) return p.before + p.length;
  return p.before + gauss([this](double v) { return speed(v); }, p.lo, u);
}

double ArcLength::param_at(double distance) {
  if (!(total_ > 0) || !std::isfinite(total_) || !(distance > 0)) return 0;
  if (distance >= total_) return 1;
  if (exact_) return distance / total_;
  const std::size_t k = piece_holding(distance);
  const Piece& p = pieces_[k];
  // First guess: on from the last answer along its tangent when in the same
  // piece, else in proportion within the piece.
  double u;
  if (k == last_piece_ && last_u_ >= p.lo && last_u_ <= p.hi && distance >= last_distance_ && speed(last_u_) > 0)
    u = last_u_ + (distance - last_distance_) / speed(last_u_);
  else
    u = p.length > 0 ? p.lo + (p.hi - p.lo) * (distance - p.before) / p.length : p.lo;
  u = solve_in_piece(p, u, distance);
  last_piece_ = k;
  last_u_ = u;
  last_distance_ = distance;
  return u;
}

// The piece holding the distance: the one used last or a later one when
// the distances increase, else found by bisection.
std::size_t ArcLength::piece_holding(double distance) const {
  std::size_t k = last_piece_;
  if (k >= pieces_.size() || distance < pieces_[k].before) {
    k = static_cast<std::size_t>(
        std::upper_bound(pieces_.begin(), pieces_.end(), distance,
                         [](double d, const Piece& p) { return d < p.before; }) -
        pieces_.begin());
    k = k == 0 ? 0 : k - 1;
  }
  while (k + 1 < pieces_.size() && distance >= pieces_[k + 1].before) ++k;
  return k;
}

// The parameter within piece p at the distance, from the guess u: Newton's
// method, kept inside a shrinking bracket (bisection when a step would
// leave it, as next to a point where the curve stops).
double ArcLength::solve_in_piece(const Piece& p, double u, double distance) const {
  double lo = p.lo, hi = p.hi;
  if (!(u > lo && u < hi)) u = 0.5 * (lo + hi);
  for (int iter = 0; iter < 60; ++iter) {
    const double g = length_within(p, u) - distance;
    if (g == 0) break;
    if (g < 0)
      lo = u;
    else
      hi = u;
    const double v = speed(u);
    double next = v > 0 ? u - g / v : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    const double step = std::fabs(next - u);
    u = next;
    // Newton's error squares at each step, and the speed changes little
    // across a piece: a step this small leaves an error at rounding.
    if (step <= kNewtonSettled * (p.hi - p.lo) || !(hi > lo)) break;
  }
  return u;
}

double segment_length(const SegmentView& s) { return ArcLength(s).total(); }

double segment_area_term(const SegmentView& s) {
  const Vertex& p = s.start;
  const Vertex& q = s.end;
  switch (s.curve->kind) {
    case SegmentKind::EllipticArc: {
      // The chord's term and the area between chord and arc, ab/2 (t - sin t)
      // for a parameter sweep t.  The center does not enter: found from the
      // end points, it carries the rounding of its absolute coordinates,
      // which at 5e6 is a good part of an arc of radius 0.01.
      const EllipticArc& a = s.curve->arc;
      const double b = a.semi_major * a.ratio;
      return 0.5 * (p.x * q.y - q.x * p.y + a.semi_major * b * sweep_less_sine(a.sweep));
    }
    case SegmentKind::CubicBezier: {
      const Bez bz = bez_of(s);
      return 0.5 * integrate(
                       [&](double t) {
                         double x, y, dx, dy;
                         bz.at(t, x, y);
                         bz.deriv(t, dx, dy);
                         return x * dy - y * dx;
                       },
                       0.0, 1.0, 1);
    }
    default:
      return 0.5 * (p.x * q.y - q.x * p.y);
  }
}

Vertex segment_point(const SegmentView& s, double u) {
  if (u <= 0) return s.start;
  if (u >= 1) return s.end;
  Vertex v = lerp(s.start, s.end, u);
  switch (s.curve->kind) {
    case SegmentKind::EllipticArc: {
      const EllipticArc& a = s.curve->arc;
      if (a.is_circular())
        circular_arc_point(a, s.start.x, s.start.y, s.end.x, s.end.y, u, v.x, v.y);
      else
        a.point_at(a.start_param + a.sweep * u, v.x, v.y);
      break;
    }
    case SegmentKind::CubicBezier:
      bez_of(s).at(u, v.x, v.y);
      break;
    default:
      break;
  }
  return v;
}

Vertex segment_point_at_length(const SegmentView& s, double distance) {
  if (distance <= 0) return s.start;
  ArcLength walk(s);
  if (!(walk.total() > 0) || !std::isfinite(walk.total())) return s.start;
  if (distance >= walk.total()) return s.end;
  return walk.point_at(distance);
}

void segment_tangent(const SegmentView& s, bool at_end, double& dx, double& dy) {
  dx = s.end.x - s.start.x;
  dy = s.end.y - s.start.y;
  if (s.curve->kind == SegmentKind::EllipticArc) {
    const EllipticArc& a = s.curve->arc;
    const double t = a.start_param + (at_end ? a.sweep : 0.0);
    const double ex = -a.semi_major * std::sin(t), ey = a.semi_major * a.ratio * std::cos(t);
    const double cr = std::cos(a.rotation), sr = std::sin(a.rotation);
    const double sign = a.sweep < 0 ? -1.0 : 1.0;
    dx = sign * (cr * ex - sr * ey);
    dy = sign * (sr * ex + cr * ey);
  } else if (s.curve->kind == SegmentKind::CubicBezier) {
    const Bez b = bez_of(s);
    b.deriv(at_end ? 1.0 : 0.0, dx, dy);
    if (dx == 0 && dy == 0) {
      // A control point on the end point: the direction is that of the
      // next control point.
      if (at_end) {
        dx = b.x3 - b.x1;
        dy = b.y3 - b.y1;
      } else {
        dx = b.x2 - b.x0;
        dy = b.y2 - b.y0;
      }
    }
  }
  const double len = hypot2(dx, dy);
  if (len > 0) {
    dx /= len;
    dy /= len;
  }
}

namespace {

// Chords already made in the current scope, by the unordered pair of end
// points of their curve.
struct ChordKey {
  double ax, ay, bx, by;
  bool operator==(const ChordKey& o) const { return ax == o.ax && ay == o.ay && bx == o.bx && by == o.by; }
};
struct ChordKeyHash {
  std::size_t operator()(const ChordKey& k) const noexcept {
    std::size_t h = 0;
    for (double v : {k.ax, k.ay, k.bx, k.by}) h = h * 1000003u ^ std::hash<double>{}(v == 0 ? 0.0 : v);
    return h;
  }
};
struct ChordEntry {
  Vertex start, end;
  Curve curve;
  std::vector<Vertex> inner;   // the chord vertices between start and end
  std::vector<double> params;  // their curve parameters
};
// A circle as the first arc of it met in the scope described it; later arcs
// whose circle differs from it by rounding only are cut on it, so that their
// chord vertices are the very same points.
// Besides its grid vertices, the chords of a circle pass through its marks:
// points that other circles of the same call need among them (see
// add_circle_vertices), each at its polar angle.
struct Mark {
  double angle, x, y;
};
struct Circle {
  double cx, cy, r;
  std::vector<Mark> marks;  // by angle
};
struct CircleKey {
  long long x, y, r;
  bool operator==(const CircleKey& o) const { return x == o.x && y == o.y && r == o.r; }
};
struct CircleKeyHash {
  std::size_t operator()(const CircleKey& k) const noexcept {
    return std::hash<long long>{}(k.x) * 31 + std::hash<long long>{}(k.y) * 17 + std::hash<long long>{}(k.r);
  }
};

struct ChordCache {
  std::unordered_map<ChordKey, std::vector<ChordEntry>, ChordKeyHash> chords;
  // Indices into `circle_list`, which keeps its circles where they are.
  std::unordered_map<CircleKey, std::vector<std::size_t>, CircleKeyHash> circles;
  std::deque<Circle> circle_list;
};

// The cache of the outermost live scope, made when a curve first needs it:
// most engine calls meet no curve at all.
thread_local bool in_scope = false;
thread_local ChordCache* current_cache = nullptr;

ChordCache* scope_cache() {
  if (!in_scope) return nullptr;
  if (current_cache == nullptr) current_cache = new ChordCache;
  return current_cache;
}

// The circle to cut an arc's chords on: the arc's own outside a scope, else
// the scope's, which lives as long as the scope.
Circle& canonical_circle(const EllipticArc& a, Circle& own) {
  own = Circle{a.cx, a.cy, a.semi_major, {}};
  ChordCache* cache = scope_cache();
  if (cache == nullptr) return own;
  const double bucket = std::exp2(std::floor(std::log2(a.semi_major * kCircleBucket)));
  const CircleKey key{std::llround(a.cx / bucket), std::llround(a.cy / bucket), std::llround(a.semi_major / bucket)};
  auto& list = cache->circles[key];
  for (const std::size_t i : list) {
    Circle& k = cache->circle_list[i];
    if (std::fabs(k.cx - own.cx) <= kSameCircle * own.r && std::fabs(k.cy - own.cy) <= kSameCircle * own.r &&
        std::fabs(k.r - own.r) <= kSameCircle * own.r)
      return k;
  }
  list.push_back(cache->circle_list.size());
  return cache->circle_list.emplace_back(std::move(own));
}

ChordKey key_of(const Vertex& a, const Vertex& b) {
  if (a.x < b.x || (a.x == b.x && a.y < b.y)) return ChordKey{a.x, a.y, b.x, b.y};
  return ChordKey{b.x, b.y, a.x, a.y};
}

// Whether two curves between the same two points (`reversed`: in the other
// direction) are the same curve, to rounding.
bool same_curve(const ChordEntry& e, const SegmentView& s, bool reversed) {
  if (e.curve.kind != s.curve->kind) return false;
  if (e.curve.kind == SegmentKind::CubicBezier) {
    const BezierCurve &a = e.curve.bezier, &b = s.curve->bezier;
    const double scale =
        std::fabs(a.c1x) + std::fabs(a.c1y) + std::fabs(a.c2x) + std::fabs(a.c2y) + kScaleFloor;
    auto near = [&](double x0, double y0, double x1, double y1) {
      return hypot2(x0 - x1, y0 - y1) <= kSameControlPoint * scale;
    };
    return reversed ? near(a.c1x, a.c1y, b.c2x, b.c2y) && near(a.c2x, a.c2y, b.c1x, b.c1y)
                    : near(a.c1x, a.c1y, b.c1x, b.c1y) && near(a.c2x, a.c2y, b.c2x, b.c2y);
  }
  const EllipticArc &a = e.curve.arc, &b = s.curve->arc;
  const double r = a.semi_major, tol = kSameArc * r;
  if (std::fabs(a.semi_major - b.semi_major) > tol || std::fabs(a.ratio - b.ratio) > kSameArc) return false;
  if (hypot2(a.cx - b.cx, a.cy - b.cy) > tol) return false;
  // The same side of the ellipse: the middles agree.
  double ax, ay, bx, by;
  a.point_at(a.start_param + 0.5 * a.sweep, ax, ay);
  b.point_at(b.start_param + 0.5 * b.sweep, bx, by);
  return hypot2(ax - bx, ay - by) <= tol;
}

}  // namespace

LinearizationScope::LinearizationScope() : owner_(!in_scope) {
  in_scope = true;
}

LinearizationScope::~LinearizationScope() {
  if (owner_) {
    delete current_cache;
    current_cache = nullptr;
    in_scope = false;
  }
}

namespace {

// Grid indices are counted in a long: beyond this many grid steps from
// parameter 0 (arcs built from absurd coordinates) the index would not fit.
constexpr double kGreatestGridIndex = 1e15;

// The circle's marks within the arc from parameter lo to hi (a hair from
// either end excluded: the end vertex stands for such a mark), as (parameter,
// mark) pairs by parameter.
std::vector<std::pair<double, const Mark*>> marks_within(const Circle& circle, double lo, double hi, double hair) {
  std::vector<std::pair<double, const Mark*>> found;
  for (const Mark& m : circle.marks) {
    // An arc sweeps a turn at most: a mark falls into it at two turns at most.
    for (double k = std::ceil((lo - m.angle) / (2 * kPi)); k <= std::floor((hi - m.angle) / (2 * kPi)); ++k) {
      const double t = m.angle + 2 * kPi * k;
      if (t - lo > hair && hi - t > hair) found.emplace_back(t, &m);
    }
  }
  std::sort(found.begin(), found.end(), [](const auto& p, const auto& q) { return p.first < q.first; });
  return found;
}

void circle_chords(const SegmentView& s, std::vector<Vertex>& out, std::vector<double>* params) {
  const EllipticArc& a = s.curve->arc;
  Circle own;
  const Circle& circle = canonical_circle(a, own);
  // A grid vertex placed from a centre far away (a nearly straight arc's)
  // would miss the arc by more than it bulges: such an arc's are placed
  // from its chord, as its points are.
  const double size = std::max({std::hypot(s.end.x - s.start.x, s.end.y - s.start.y), std::fabs(s.start.x),
                                std::fabs(s.start.y), std::fabs(s.end.x), std::fabs(s.end.y)});
  const bool from_chord = std::fabs(a.sweep) < kChordFormSweep && a.semi_major > kFarCentre * size;
  const double g = 2 * kPi / kCircleGrid;
  const double s0 = a.start_param, s1 = a.start_param + a.sweep;
  const double lo = std::min(s0, s1), hi = std::max(s0, s1);
  auto emit = [&](double u, Vertex v) {
    out.push_back(v);
    if (params) params->push_back(u);
  };
  // Parameters that are not finite, or so large that their grid index would
  // not fit, place no grid vertex.
  if (!(std::fabs(lo / g) < kGreatestGridIndex && std::fabs(hi / g) < kGreatestGridIndex)) {
    emit(0.5, segment_point(s, 0.5));
    return;
  }
  long j0 = static_cast<long>(std::floor(lo / g)) + 1, j1 = static_cast<long>(std::ceil(hi / g)) - 1;
  // No grid vertex a hair away from an end.
  if (static_cast<double>(j0) * g - lo < kCircleGridHair * g) ++j0;
  if (hi - static_cast<double>(j1) * g < kCircleGridHair * g) --j1;
  // Marks are left out a hair from the ends: of a grid step, or of the arc
  // when it is shorter (a nearly straight one), those at the ends themselves
  // by their coordinates.
  auto marks = marks_within(circle, lo, hi, kCircleGridHair * std::min(g, hi - lo));
  std::erase_if(marks, [&](const auto& m) {
    return (m.second->x == s.start.x && m.second->y == s.start.y) || (m.second->x == s.end.x && m.second->y == s.end.y);
  });
  if (j1 < j0 && marks.empty()) {
    // Shorter than one grid step: its middle keeps it apart from a line.
    emit(0.5, segment_point(s, 0.5));
    emit(1.0, s.end);
    return;
  }
  // The grid vertices and the marks, merged in the order of the sweep; a
  // grid vertex a hair from a mark gives way to it.
  const long count = j1 - j0 + 1;
  const std::size_t nm = marks.size();
  long k = 0;
  std::size_t i = 0;
  auto vertex_at = [&](double t, double x, double y) {
    const double u = (t - s0) / a.sweep;
    Vertex v = lerp(s.start, s.end, u);
    v.x = x;
    v.y = y;
    emit(u, v);
  };
  while (k < count || i < nm) {
    const long j = a.sweep > 0 ? j0 + k : j1 - k;
    const double tj = static_cast<double>(j) * g;
    if (i < nm) {
      const auto& [tm, m] = marks[a.sweep > 0 ? i : nm - 1 - i];
      const bool grid_left = k < count, near = grid_left && std::fabs(tm - tj) <= kCircleGridHair * g;
      if (!grid_left || near || (a.sweep > 0 ? tm < tj : tm > tj)) {
        if (near) ++k;
        vertex_at(tm, m->x, m->y);
        ++i;
        continue;
      }
    }
    if (from_chord) {
      double x, y;
      circular_arc_point(a, s.start.x, s.start.y, s.end.x, s.end.y, (tj - s0) / a.sweep, x, y);
      vertex_at(tj, x, y);
      ++k;
      continue;
    }
    const long jm = ((j % kCircleGrid) + kCircleGrid) % kCircleGrid;
    double dx, dy;
    if (jm % (kCircleGrid / 4) == 0) {
      static const double axis[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
      dx = axis[jm / (kCircleGrid / 4)][0];
      dy = axis[jm / (kCircleGrid / 4)][1];
    } else {
      dx = std::cos(static_cast<double>(jm) * g);
      dy = std::sin(static_cast<double>(jm) * g);
    }
    vertex_at(tj, circle.cx + circle.r * dx, circle.cy + circle.r * dy);
    ++k;
  }
  emit(1.0, s.end);
}

}  // namespace

ScopeCircle scope_circle(const EllipticArc& a) {
  Circle own;
  const Circle& c = canonical_circle(a, own);
  return ScopeCircle{c.cx, c.cy, c.r};
}

void add_circle_vertices(const EllipticArc& a, const std::vector<std::pair<double, double>>& points) {
  ChordCache* cache = scope_cache();
  if (cache == nullptr || points.empty()) return;
  Circle own;
  Circle& c = canonical_circle(a, own);
  for (const auto& [x, y] : points) c.marks.push_back(Mark{std::atan2(y - c.cy, x - c.cx), x, y});
  std::sort(c.marks.begin(), c.marks.end(), [](const Mark& m, const Mark& n) { return m.angle < n.angle; });
  // Chords already cut in the scope would not pass through the new marks.
  cache->chords.clear();
}

namespace {

void uncached_chords(const SegmentView& s, double tolerance, std::vector<Vertex>& out, std::vector<double>* params) {
  const bool own = !(tolerance > 0);
  if (own && s.curve->kind == SegmentKind::EllipticArc && s.curve->arc.is_circular() && s.curve->arc.semi_major > 0 &&
      s.curve->arc.sweep != 0) {
    circle_chords(s, out, params);
    return;
  }
  int n = 1;
  if (own) tolerance = own_tolerance(s);
  if (s.curve->kind == SegmentKind::EllipticArc) {
    const EllipticArc& a = s.curve->arc;
    double step = kPi / 8;
    if (a.semi_major > 0 && tolerance < a.semi_major) step = std::min(step, 2 * std::acos(1 - tolerance / a.semi_major));
    // Two chords at least: the middle vertex tells the curve apart from a
    // straight segment between the same ends when results are read back.
    n = clamped_cast(std::ceil(std::fabs(a.sweep) / step), 2, 4096);
  } else if (s.curve->kind == SegmentKind::CubicBezier) {
    const Bez b = bez_of(s);
    const double d = std::max(hypot2(b.x0 - 2 * b.x1 + b.x2, b.y0 - 2 * b.y1 + b.y2),
                              hypot2(b.x1 - 2 * b.x2 + b.x3, b.y1 - 2 * b.y2 + b.y3));
    n = tolerance > 0 ? clamped_cast(std::ceil(std::sqrt(0.75 * d / tolerance)), 2, 1024) : 2;
  }
  for (int i = 1; i < n; ++i) {
    const double u = static_cast<double>(i) / n;
    out.push_back(segment_point(s, u));
    if (params) params->push_back(u);
  }
  out.push_back(s.end);
  if (params) params->push_back(1.0);
}

}  // namespace

void linearize_segment(const SegmentView& s, double tolerance, std::vector<Vertex>& out, std::vector<double>* params) {
  ChordCache* cache = !(tolerance > 0) && !s.curve->is_line() ? scope_cache() : nullptr;
  if (cache != nullptr) {
    auto& entries = cache->chords[key_of(s.start, s.end)];
    for (const ChordEntry& e : entries) {
      const bool forward = e.start.x == s.start.x && e.start.y == s.start.y && e.end.x == s.end.x &&
                           e.end.y == s.end.y;
      const bool backward = e.start.x == s.end.x && e.start.y == s.end.y && e.end.x == s.start.x &&
                            e.end.y == s.start.y;
      if (!(forward && same_curve(e, s, false)) && !(backward && same_curve(e, s, true))) continue;
      // The known chords, with this segment's own z and m along them.
      const std::size_t n = e.inner.size();
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t k = forward ? i : n - 1 - i;
        const double u = forward ? e.params[k] : 1 - e.params[k];
        Vertex v = lerp(s.start, s.end, u);
        v.x = e.inner[k].x;
        v.y = e.inner[k].y;
        out.push_back(v);
        if (params) params->push_back(u);
      }
      out.push_back(s.end);
      if (params) params->push_back(1.0);
      return;
    }
    const std::size_t from = out.size();
    std::vector<double> us;
    uncached_chords(s, 0, out, &us);
    ChordEntry e{s.start, s.end, *s.curve, {}, {}};
    e.inner.assign(out.begin() + static_cast<std::ptrdiff_t>(from), out.end() - 1);
    e.params.assign(us.begin(), us.end() - 1);
    entries.push_back(std::move(e));
    if (params) params->insert(params->end(), us.begin(), us.end());
    return;
  }
  uncached_chords(s, tolerance, out, params);
}

Part linearize_part(const Part& p, bool closed, double tolerance) {
  if (!p.has_curves()) {
    Part copy;
    copy.vertices = p.vertices;
    return copy;
  }
  Part out;
  if (p.empty()) return out;
  std::vector<Vertex> vs{p.vertices[0]};
  const std::size_t n = p.segment_count(closed);
  for (std::size_t i = 0; i < n; ++i) linearize_segment(p.segment(i, closed), tolerance, vs);
  // A ring's closing segment ends where it began: drop the repeated vertex.
  if (closed && vs.size() > 1) vs.pop_back();
  out.vertices = VertexList(vs);
  return out;
}

double chord_tolerance(const Geometry& g) {
  const EnvelopeBounds e = extent_of(g);
  const double diag = hypot2(e.xmax - e.xmin, e.ymax - e.ymin);
  if (!(diag > 0) || !std::isfinite(diag)) return kChordOfPoint;
  return diag * kChordOfExtent;
}

namespace {

// The signed area of a ring with curves, kept out of line: its copies and
// curve terms would otherwise burden every straight ring's call with their
// stack frame.
[[gnu::noinline]] double curved_ring_signed_area(const Part& ring, std::size_t n) {
  // Shift to the first vertex so that large coordinates lose no precision.
  Part shifted;
  const double ox = ring.vertices[0].x, oy = ring.vertices[0].y;
  shifted.vertices = ring.vertices;
  shifted.vertices.edit([&](Vertex& v) {
    v.x -= ox;
    v.y -= oy;
  });
  shifted.curves = ring.curves;
  for (Curve& c : shifted.curves) {
    c.arc.cx -= ox;
    c.arc.cy -= oy;
    c.bezier.c1x -= ox;
    c.bezier.c2x -= ox;
    c.bezier.c1y -= oy;
    c.bezier.c2y -= oy;
  }
  double total = 0;
  for (std::size_t i = 0; i < n; ++i) total += segment_area_term(shifted.segment(i, true));
  return total;
}

// The length of a part with curves, out of line for the same reason.
[[gnu::noinline]] double curved_part_length(const Part& p, bool closed, std::size_t n) {
  double total = 0;
  for (std::size_t i = 0; i < n; ++i) total += segment_length(p.segment(i, closed));
  return total;
}

}  // namespace

double ring_signed_area(const Part& ring) {
  const std::size_t n = ring.segment_count(true);
  if (n == 0) return 0;
  if (!ring.curves.empty()) return curved_ring_signed_area(ring, n);
  return straight_ring_signed_area(ring);
}

double add_edge_pair(double total, const double* a, const double* b, const double* c) {
  total += edge_length(b[0] - a[0], b[1] - a[1]);
  return total + edge_length(c[0] - b[0], c[1] - b[1]);
}

double part_length(const Part& p, bool closed) {
  const std::size_t n = p.segment_count(closed);
  if (!p.curves.empty()) return curved_part_length(p, closed, n);
  return straight_part_length(p, closed);
}

Part reverse_part(const Part& p, bool closed) {
  Part r;
  const std::size_t n = p.vertices.size();
  if (n == 0) return r;
  r.vertices.reserve(n);
  const bool curved = !p.curves.empty();
  if (curved) r.curves.resize(n);
  if (closed) {
    r.vertices.push_back(p.vertices[0]);
    for (std::size_t i = 1; i < n; ++i) r.vertices.push_back(p.vertices[n - i]);
    if (curved)
      for (std::size_t j = 0; j < n; ++j) r.curves[j] = reversed(p.curves[(n - j + 1) % n]);
  } else {
    for (std::size_t i = 0; i < n; ++i) r.vertices.push_back(p.vertices[n - 1 - i]);
    if (curved)
      for (std::size_t j = 1; j < n; ++j) r.curves[j] = reversed(p.curves[n - j]);
  }
  return r;
}

}  // namespace vaskelith::planar
