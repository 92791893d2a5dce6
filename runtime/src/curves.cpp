#include "curves.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "errors.hpp"

namespace vaskelith {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Three points are collinear when their triangle is no higher, over its
// longest side, than this many units of rounding (epsilon times the largest
// coordinate): rounding each coordinate moves a point by up to 0.7 of that
// unit, and moving the apex and the side's two ends so could put all three
// on one line.  Any higher triangle has a circle through it, however large.
constexpr double kCollinearRounding = 2;
// The end points of an arc about a given center may differ in radius by
// this fraction and still lie on one circle: a center given to fewer
// digits than the points is still accepted.
constexpr double kSameRadius = 1e-6;
// An elliptic arc's axis may fall short of its end points by this fraction
// (in lambda, the squared reach in units of the axes) and still be
// stretched to fit; beyond it the axis is too short.
constexpr double kAxisShortfall = 1e-6;
// A known center is used when both end points lie on its ellipse to this
// fraction of the axes and the sweep agrees with the flags to this many
// radians.
constexpr double kOnKnownEllipse = 1e-9;
// A half sweep below this is measured by its series: its next term,
// 31 h^6 / 15120, is then below 1e-26.
constexpr double kSmallHalfSweep = 1e-4;
// A Bezier derivative coefficient this small is zero: the quadratic for
// the extrema degenerates to a line (or to nothing).
constexpr double kVanishingCoefficient = 1e-15;

// a*d - b*c to an ulp or so however much the products cancel: the
// error of b*c is recovered exactly by a fused multiply-add.
double difference_of_products(double a, double d, double b, double c) {
  const double bc = b * c;
  return std::fma(a, d, -bc) + std::fma(-b, c, bc);
}

[[noreturn]] void refuse_collinear() {
  fail(kInvalidArgument, "The points of a circular arc are collinear.",
       "A circular arc needs an interior point off the line from its start to its end.");
}

bool finite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// The angle `to - from` brought into (0, 2pi] (counter-clockwise) or
// [-2pi, 0) (clockwise).
double directed_sweep(double from, double to, bool counter_clockwise) {
  double d = std::remainder(to - from, kTwoPi);  // [-pi, pi]
  if (counter_clockwise) {
    if (d <= 0) d += kTwoPi;
  } else {
    if (d >= 0) d -= kTwoPi;
  }
  return d;
}

}  // namespace

EllipticArc circular_arc_through(double sx, double sy, double ex, double ey, double ix, double iy) {
  if (!finite({sx, sy, ex, ey, ix, iy}))
    fail(kInvalidArgument, "The points of a circular arc must be finite.");
  EllipticArc a;
  if (sx == ex && sy == ey) {
    if (ix == sx && iy == sy) fail(kInvalidArgument, "The points of a circular arc coincide.");
    // Radius and angles from the points' differences: the center's own
    // coordinates are rounded to their magnitude, which far from the origin
    // is a good part of a small radius.
    const double hx = (ix - sx) / 2, hy = (iy - sy) / 2;
    a.cx = sx + hx;
    a.cy = sy + hy;
    a.semi_major = std::hypot(hx, hy);
    a.start_param = std::atan2(-hy, -hx);
    a.sweep = kTwoPi;
    return a;
  }
  // Everything from differences of the points: close points subtract
  // exactly, and the center of a nearly straight arc lies so far away that
  // its own coordinates round by more than the arc bulges.
  const double bx = ix - sx, by = iy - sy;  // start -> interior
  const double qx = ex - sx, qy = ey - sy;  // start -> end (the chord)
  const double ux = sx - ix, uy = sy - iy;  // interior -> start
  const double vx = ex - ix, vy = ey - iy;  // interior -> end
  // Positive when start, interior, end turn counter-clockwise, which is
  // when they run counter-clockwise around their circle.
  const double cross = difference_of_products(bx, qy, by, qx);
  const double nq = std::hypot(qx, qy), nu = std::hypot(ux, uy), nv = std::hypot(vx, vy);
  const double largest = std::max({std::fabs(sx), std::fabs(sy), std::fabs(ex), std::fabs(ey), std::fabs(ix),
                                   std::fabs(iy)});
  const double rounding = kCollinearRounding * std::numeric_limits<double>::epsilon() * largest;
  if (nu == 0 || nv == 0 || !(std::fabs(cross) > rounding * std::max({nq, nu, nv}))) refuse_collinear();
  // The angle at the interior point is pi less half the sweep (the
  // inscribed angle): half the sweep is found from the cross and dot
  // products there, as precisely as the cross product however straight the
  // arc.
  const double dot = ux * vx + uy * vy;
  const double half = std::atan2(std::fabs(cross), -dot);
  // The center lies off the chord's midpoint, along its left normal for a
  // counter-clockwise arc, by the radius times the cosine of the half
  // sweep: k chords.
  const double k = -dot / (2 * cross);
  const double to_start_x = -qx / 2 + k * qy, to_start_y = -qy / 2 - k * qx;  // center -> start
  a.cx = sx - to_start_x;
  a.cy = sy - to_start_y;
  a.semi_major = std::hypot(to_start_x, to_start_y);
  // + 0.0: a start due west of the center is at pi, not at -pi.
  a.start_param = std::atan2(to_start_y + 0.0, to_start_x);
  a.sweep = cross > 0 ? 2 * half : -2 * half;
  return a;
}

EllipticArc circular_arc_with_center(double sx, double sy, double ex, double ey, double cx, double cy,
                                     bool counter_clockwise) {
  if (!finite({sx, sy, ex, ey, cx, cy}))
    fail(kInvalidArgument, "The points of a circular arc must be finite.");
  const double r0 = std::hypot(sx - cx, sy - cy), r1 = std::hypot(ex - cx, ey - cy);
  if (r0 == 0 || r1 == 0) fail(kInvalidArgument, "The center of a circular arc coincides with an end point.");
  if (std::fabs(r0 - r1) > kSameRadius * std::max(r0, r1))
    fail(kInvalidArgument, "The end points of a circular arc are not at the same distance from its center.");
  EllipticArc a;
  a.cx = cx;
  a.cy = cy;
  a.semi_major = r0;
  a.start_param = std::atan2(sy - cy, sx - cx);
  if (sx == ex && sy == ey) {
    a.sweep = counter_clockwise ? kTwoPi : -kTwoPi;
    return a;
  }
  // The angle between the radii to the ends, from their cross and dot
  // products rather than as a difference of two polar angles: a small
  // sweep keeps its relative precision.
  const double ux = sx - cx, uy = sy - cy, vx = ex - cx, vy = ey - cy;
  const double turn = std::atan2(difference_of_products(ux, vy, uy, vx), ux * vx + uy * vy);
  if (turn == 0) refuse_collinear();
  a.sweep = directed_sweep(0, turn, counter_clockwise);
  return a;
}

EllipticArc elliptic_arc_from_endpoints(double sx, double sy, double ex, double ey, bool minor,
                                        bool counter_clockwise, double rotation, double semi_major,
                                        double ratio) {
  if (!finite({sx, sy, ex, ey, rotation, semi_major, ratio}))
    fail(kInvalidArgument, "The values of an elliptic arc must be finite.");
  if (!(semi_major > 0)) fail(kInvalidArgument, "The semi-major axis of an elliptic arc must be positive.");
  if (!(ratio > 0 && ratio <= 1))
    fail(kInvalidArgument, "The minor/major ratio of an elliptic arc must be greater than 0 and at most 1.");
  if (sx == ex && sy == ey)
    fail(kInvalidArgument, "The end points of an elliptic arc coincide.",
         "An arc given by its end points needs two distinct points.");
  const double cphi = std::cos(rotation), sphi = std::sin(rotation);
  // Midpoint frame: the chord's half vector in the ellipse's axes.
  const double hx = (sx - ex) / 2, hy = (sy - ey) / 2;
  const double x1 = cphi * hx + sphi * hy;
  const double y1 = -sphi * hx + cphi * hy;
  double rx = semi_major, ry = semi_major * ratio;
  // In the frame where the ellipse is a unit circle, the half chord has
  // length sqrt(lambda), and the center lies sqrt(1/lambda - 1) half chords
  // off its midpoint.  Near a half ellipse that square root turns the
  // rounding of the end points (about `noise` in lambda) into an offset of
  // its square root, 1e-8 of the axis: there the arc is taken as a half
  // ellipse about the midpoint, its axes stretched or shrunk by no more than
  // rounding to reach the points.
  const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
  const double reach = std::max({std::fabs(sx), std::fabs(sy), std::fabs(ex), std::fabs(ey)});
  const double noise = 16 * std::numeric_limits<double>::epsilon() * (1 + reach / std::hypot(hx, hy));
  double coef = 0;
  if (lambda > 1 - noise) {
    if (lambda > 1 + kAxisShortfall)
      fail(kInvalidArgument, "The semi-major axis of an elliptic arc is too short to reach its end point.");
    const double s = std::sqrt(lambda);
    rx *= s;
    ry *= s;
  } else {
    coef = std::sqrt((1 - lambda) / lambda);
  }
  // Which side of the chord the center lies on depends on whether the arc
  // is the major one and on its direction.
  if (minor != counter_clockwise) coef = -coef;
  const double cxp = coef * rx * y1 / ry;
  const double cyp = -coef * ry * x1 / rx;
  EllipticArc a;
  a.cx = cphi * cxp - sphi * cyp + (sx + ex) / 2;
  a.cy = sphi * cxp + cphi * cyp + (sy + ey) / 2;
  a.semi_major = rx;
  a.ratio = ratio;
  a.rotation = rotation;
  const double t0 = std::atan2((y1 - cyp) / ry, (x1 - cxp) / rx);
  const double t1 = std::atan2((-y1 - cyp) / ry, (-x1 - cxp) / rx);
  a.start_param = t0;
  a.sweep = directed_sweep(t0, t1, counter_clockwise);
  if (ratio == 1) {
    // A circle has no axis direction: keep its parameter the polar angle.
    a.start_param = std::remainder(t0 + rotation, kTwoPi);
    a.rotation = 0;
  }
  return a;
}

EllipticArc elliptic_arc_with_center(double sx, double sy, double ex, double ey, double cx, double cy,
                                     bool minor, bool counter_clockwise, double rotation, double semi_major,
                                     double ratio) {
  EllipticArc a =
      elliptic_arc_from_endpoints(sx, sy, ex, ey, minor, counter_clockwise, rotation, semi_major, ratio);
  if (!finite({cx, cy})) return a;
  const double cphi = std::cos(rotation), sphi = std::sin(rotation);
  const double rx = semi_major, ry = semi_major * ratio;
  // The parameter of a point about the center, and how far off the ellipse
  // it lies (in units of the axes).
  auto param = [&](double x, double y, double& off) {
    const double u = (cphi * (x - cx) + sphi * (y - cy)) / rx, v = (-sphi * (x - cx) + cphi * (y - cy)) / ry;
    off = std::fabs(std::hypot(u, v) - 1);
    return std::atan2(v, u);
  };
  double off0, off1;
  const double t0 = param(sx, sy, off0), t1 = param(ex, ey, off1);
  const double sweep = directed_sweep(t0, t1, counter_clockwise);
  const bool fits = off0 <= kOnKnownEllipse && off1 <= kOnKnownEllipse &&
                    (minor ? std::fabs(sweep) <= kPi + kOnKnownEllipse
                           : std::fabs(sweep) >= kPi - kOnKnownEllipse);
  if (!fits) return a;
  a.cx = cx;
  a.cy = cy;
  a.semi_major = semi_major;
  a.ratio = ratio;
  a.rotation = rotation;
  a.start_param = t0;
  a.sweep = sweep;
  if (ratio == 1) {
    a.start_param = std::remainder(t0 + rotation, kTwoPi);
    a.rotation = 0;
  }
  return a;
}

double arc_start_angle(const EllipticArc& a) {
  return a.is_circular() && a.rotation == 0 ? std::remainder(a.start_param, kTwoPi)
                                            : a.polar_angle(a.start_param);
}

double arc_central_angle(const EllipticArc& a) {
  if (a.is_circular() || std::fabs(a.sweep) >= kTwoPi) return a.sweep;
  // The polar sweep turns the same way as the parameter sweep, and passes a
  // half turn exactly when the parameter sweep does.
  const double from = a.polar_angle(a.start_param), to = a.polar_angle(a.start_param + a.sweep);
  if (a.sweep == 0) return 0;
  return directed_sweep(from, to, a.sweep > 0);
}

double arc_end_angle(const EllipticArc& a) { return arc_start_angle(a) + arc_central_angle(a); }

void circular_arc_point(const EllipticArc& a, double sx, double sy, double ex, double ey, double u, double& x,
                        double& y) {
  if (!(std::fabs(a.sweep) < kChordFormSweep)) {
    a.point_at(a.start_param + a.sweep * u, x, y);
    return;
  }
  const double half = a.sweep / 2, qx = ex - sx, qy = ey - sy;
  if (half == 0) {
    x = sx + u * qx;
    y = sy + u * qy;
    return;
  }
  // The chord to the point turns from the whole chord by (u - 1) half
  // sweeps, and is sin(u half) / sin(half) of its length: the chord turned
  // back by a half sweep over sin(half), then turned on by u half sweeps
  // and scaled by sin(u half).  Two angles, each with its sine and cosine.
  const double ch = std::cos(half), sh = std::sin(half);
  const double wx = (ch * qx + sh * qy) / sh, wy = (ch * qy - sh * qx) / sh;
  const double cu = std::cos(u * half), su = std::sin(u * half);
  x = sx + su * (cu * wx - su * wy);
  y = sy + su * (su * wx + cu * wy);
}

double circular_arc_length(const EllipticArc& a, double sx, double sy, double ex, double ey) {
  if (!(std::fabs(a.sweep) < kChordFormSweep)) return a.semi_major * std::fabs(a.sweep);
  const double half = std::fabs(a.sweep) / 2;
  // Below kSmallHalfSweep, half / sin(half) is 1 + half^2 / 6 + 7 half^4 / 360
  // to far below rounding, and the series cannot fall under 1 as the
  // quotient of two rounded numbers might.
  const double stretch = half < kSmallHalfSweep ? 1 + half * half * (1.0 / 6 + half * half * (7.0 / 360))
                                                 : half / std::sin(half);
  return edge_length(ex - sx, ey - sy) * stretch;
}

double sweep_less_sine(double t) {
  if (!(std::fabs(t) < 1)) return t - std::sin(t);
  // t^3/3! - t^5/5! + ... nested, from its last term kept: below 1 the
  // terms fall by t^2 / (2k (2k + 1)) each, so ten are past rounding.
  const double t2 = t * t;
  double sum = 1;
  for (int k = 10; k >= 2; --k) sum = 1 - t2 / (2 * k * (2 * k + 1)) * sum;
  return t * t2 / 6 * sum;
}

void bezier_point(double x0, double y0, const BezierCurve& b, double x1, double y1, double t, double& x,
                  double& y) {
  const double u = 1 - t;
  const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
  x = w0 * x0 + w1 * b.c1x + w2 * b.c2x + w3 * x1;
  y = w0 * y0 + w1 * b.c1y + w2 * b.c2y + w3 * y1;
}

namespace {

void include(double x, double y, double& xmin, double& xmax, double& ymin, double& ymax) {
  if (std::isnan(x) || std::isnan(y)) return;
  xmin = std::min(xmin, x);
  xmax = std::max(xmax, x);
  ymin = std::min(ymin, y);
  ymax = std::max(ymax, y);
}

// Roots in (0, 1) of the derivative of a cubic Bezier coordinate.
int bezier_extrema(double p0, double p1, double p2, double p3, double out[2]) {
  const double a = -p0 + 3 * p1 - 3 * p2 + p3;
  const double b = 2 * (p0 - 2 * p1 + p2);
  const double c = p1 - p0;
  int n = 0;
  auto keep = [&](double t) {
    if (t > 0 && t < 1) out[n++] = t;
  };
  if (std::fabs(a) < kVanishingCoefficient) {
    if (std::fabs(b) > kVanishingCoefficient) keep(-c / b);
  } else {
    const double disc = b * b - 4 * a * c;
    if (disc >= 0) {
      const double r = std::sqrt(disc);
      keep((-b + r) / (2 * a));
      keep((-b - r) / (2 * a));
    }
  }
  return n;
}

// Whether parameter t lies on the arc's parameter range; `within` is then
// t moved into it by whole turns.
bool on_arc(const EllipticArc& a, double t, double& within) {
  double lo = a.start_param, hi = a.start_param + a.sweep;
  if (lo > hi) std::swap(lo, hi);
  const double k = std::ceil((lo - t) / kTwoPi);
  within = t + k * kTwoPi;
  return within >= lo && within <= hi;
}

}  // namespace

void grow_extent(const SegmentView& s, double& xmin, double& xmax, double& ymin, double& ymax) {
  include(s.start.x, s.start.y, xmin, xmax, ymin, ymax);
  include(s.end.x, s.end.y, xmin, xmax, ymin, ymax);
  const Curve& c = *s.curve;
  if (c.kind == SegmentKind::CubicBezier) {
    double ts[2];
    const BezierCurve& b = c.bezier;
    for (int axis = 0; axis < 2; ++axis) {
      const int n = axis == 0 ? bezier_extrema(s.start.x, b.c1x, b.c2x, s.end.x, ts)
                              : bezier_extrema(s.start.y, b.c1y, b.c2y, s.end.y, ts);
      for (int i = 0; i < n; ++i) {
        double x, y;
        bezier_point(s.start.x, s.start.y, b, s.end.x, s.end.y, ts[i], x, y);
        include(x, y, xmin, xmax, ymin, ymax);
      }
    }
  } else if (c.kind == SegmentKind::EllipticArc) {
    const EllipticArc& a = c.arc;
    const double A = a.semi_major, B = a.semi_major * a.ratio;
    const double cphi = std::cos(a.rotation), sphi = std::sin(a.rotation);
    const double tx = std::atan2(-B * sphi, A * cphi);  // dx/dt = 0
    const double ty = std::atan2(B * cphi, A * sphi);   // dy/dt = 0
    // A circular arc placed from its chord has its extreme points placed
    // so too: from a centre far away they would miss the arc.
    const bool chord_form = a.is_circular() && std::fabs(a.sweep) < kChordFormSweep && a.sweep != 0;
    for (double t : {tx, tx + kPi, ty, ty + kPi}) {
      double within;
      if (!on_arc(a, t, within)) continue;
      double x, y;
      if (chord_form) {
        const double u = (within - a.start_param) / a.sweep;
        circular_arc_point(a, s.start.x, s.start.y, s.end.x, s.end.y, u, x, y);
      } else {
        a.point_at(t, x, y);
      }
      include(x, y, xmin, xmax, ymin, ymax);
    }
  }
}

}  // namespace vaskelith
