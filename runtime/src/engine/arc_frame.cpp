#include "engine/arc_frame.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "curves.hpp"

namespace vaskelith::planar {

namespace {

// An arc whose radius is more than this many times the larger of its
// chord and its coordinates is far-centred: a point placed from its centre,
// some radius away, rounds by more than a few units of the arc's own
// coordinates (about twice this many).
constexpr double kFarCentre = 4;
// The distance of two circles from touching inside is found as a
// difference of squares over d + |r1 - r2|, which rounding keeps to a few
// units of the arcs' size while that sum is no less than this fraction of
// the smaller radius (in curvatures: k1 k2 d + |k1 - k2| against k1 + k2).
constexpr double kWellApart = 0.25;
// An arc parameter this near its range, relative to the sweep, is in it
// (as the relations take a point about an arc's centre).
constexpr double kOnRelative = 1e-12;

}  // namespace

ArcFrame::ArcFrame(const SegmentView& s) : arc_(&s.curve->arc) {
  const EllipticArc& a = *arc_;
  qx_ = s.end.x - s.start.x;
  qy_ = s.end.y - s.start.y;
  const double chord = std::hypot(qx_, qy_);
  half_ = std::fabs(a.sweep) / 2;
  side_ = a.sweep > 0 ? -1.0 : 1.0;
  chord_form_ = std::fabs(a.sweep) < kChordFormSweep && a.sweep != 0 && chord > 0 && std::isfinite(chord);
  if (chord_form_) {
    // The tangent at the start leaves the chord by half the sweep, towards
    // the side the arc bulges to; the centre lies across it.
    const double h = a.sweep / 2, c = std::cos(h), sn = std::sin(h), turn = a.sweep > 0 ? 1.0 : -1.0;
    const double tx = (c * qx_ + sn * qy_) / chord, ty = (c * qy_ - sn * qx_) / chord;
    wx_ = -turn * ty;
    wy_ = turn * tx;
    k_ = 2 * std::sin(half_) / chord;
    ax_ = s.start.x;
    ay_ = s.start.y;
  } else {
    const double c = std::cos(a.start_param), sn = std::sin(a.start_param);
    ax_ = a.cx + a.semi_major * c;
    ay_ = a.cy + a.semi_major * sn;
    wx_ = -c;
    wy_ = -sn;
    k_ = 1 / a.semi_major;
  }
  const double size = std::max({chord, std::fabs(s.start.x), std::fabs(s.start.y), std::fabs(s.end.x),
                                std::fabs(s.end.y)});
  far_ = chord_form_ && k_ * size * kFarCentre < 1;
}

double ArcFrame::power(double x, double y) const {
  const double dx = x - ax_, dy = y - ay_;
  return k_ * (dx * dx + dy * dy) - 2 * (dx * wx_ + dy * wy_);
}

double ArcFrame::gap(double x, double y) const {
  // |P - C| - r = r (sqrt(1 + k f) - 1), without the cancellation.
  const double f = power(x, y);
  return f / (1 + std::sqrt(std::max(0.0, 1 + k_ * f)));
}

bool ArcFrame::nearest(double x, double y, double& bx, double& by, double& signed_gap) const {
  const double dx = x - ax_, dy = y - ay_;
  const double f = k_ * (dx * dx + dy * dy) - 2 * (dx * wx_ + dy * wy_);
  const double g2 = 1 + k_ * f;  // |P - C|^2 / r^2
  if (!(g2 > 0)) return false;
  const double g = std::sqrt(g2);
  signed_gap = f / (1 + g);
  // The unit vector from the centre through P is (k d - w) / g.
  const double vx = (k_ * dx - wx_) / g, vy = (k_ * dy - wy_) / g;
  bx = ax_ + (dx - signed_gap * vx);
  by = ay_ + (dy - signed_gap * vy);
  return std::isfinite(bx) && std::isfinite(by);
}

bool ArcFrame::holds(double x, double y) const {
  const EllipticArc& a = *arc_;
  if (chord_form_) {
    // Below a half turn, the arc is the part of its circle on the side of
    // the chord it bulges to.  A point kOnRelative of the sweep beyond an end
    // lies that far times the end's slope to the chord (sin h) on the other
    // side, in units of the chord.
    const double cross = qx_ * (y - ay_) - qy_ * (x - ax_);
    return side_ * cross >= -kOnRelative * (qx_ * qx_ + qy_ * qy_) * std::sin(half_);
  }
  double u = (std::atan2(y - a.cy, x - a.cx) - a.start_param) / a.sweep;
  const double turn = 2 * std::numbers::pi / std::fabs(a.sweep);
  u -= std::floor(u / turn) * turn;
  return u <= 1 + kOnRelative || u >= turn - kOnRelative;
}

bool ArcFrame::holds_direction(double vx, double vy) const {
  const EllipticArc& a = *arc_;
  if (chord_form_) {
    // The point lies r (w + v) from the anchor: on the arc's side of the
    // centre, and between the ends along the chord.  How far along is
    // known to an ulp of the radius; near an end either answer is as good,
    // the distance from there changing only with the square of the step.
    if (!(vx * wx_ + vy * wy_ < 0)) return false;
    const double along = ((wx_ + vx) * qx_ + (wy_ + vy) * qy_) / (k_ * (qx_ * qx_ + qy_ * qy_));
    return along >= -kOnRelative && along <= 1 + kOnRelative;
  }
  double u = (std::atan2(vy, vx) - a.start_param) / a.sweep;
  const double turn = 2 * std::numbers::pi / std::fabs(a.sweep);
  u -= std::floor(u / turn) * turn;
  return u <= 1 + kOnRelative || u >= turn - kOnRelative;
}

double ArcFrame::centre_line_distance(const ArcFrame& o) const {
  // With e the step between the anchors, k1 k2 (C2 - C1) = n below, and
  // k1 k2 (d^2 - (r1 +- r2)^2) = k1 k2 |e|^2 + 2 k1 e.w2 - 2 k2 e.w1 -+ |w1 +- w2|^2:
  // nothing in either grows with the radii.
  const double ex = o.ax_ - ax_, ey = o.ay_ - ay_, k1 = k_, k2 = o.k_;
  const double nx = k1 * o.wx_ - k2 * wx_ + k1 * k2 * ex, ny = k1 * o.wy_ - k2 * wy_ + k1 * k2 * ey;
  const double n = std::hypot(nx, ny);
  if (!(n > 0) || !std::isfinite(n)) return INFINITY;  // concentric: the end points decide
  const double ux = nx / n, uy = ny / n;                // from C1 towards C2
  const double common = k1 * k2 * (ex * ex + ey * ey) + 2 * k1 * (ex * o.wx_ + ey * o.wy_) -
                        2 * k2 * (ex * wx_ + ey * wy_);
  const double sx = wx_ + o.wx_, sy = wy_ + o.wy_, dx = wx_ - o.wx_, dy = wy_ - o.wy_;
  const double outer = std::fabs(common - (sx * sx + sy * sy)) / (n + k1 + k2);  // |d - r1 - r2|
  const double spread = n + std::fabs(k1 - k2);
  const double inner = std::fabs(common + (dx * dx + dy * dy)) / spread;  // d - |r1 - r2|
  const double wide = spread / (k1 * k2);                                // d + |r1 - r2|
  // X1 = C1 + s r1 u and X2 = C2 + t r2 u are |d + t r2 - s r1| apart.
  double best = INFINITY;
  bool ill = false;
  for (const double s1 : {1.0, -1.0}) {
    if (!holds_direction(s1 * ux, s1 * uy)) continue;
    for (const double t2 : {1.0, -1.0}) {
      if (!o.holds_direction(t2 * ux, t2 * uy)) continue;
      double d;
      if (s1 > 0 && t2 < 0) {
        d = outer;
      } else if (s1 < 0 && t2 > 0) {
        d = wide + 2 * std::min(1 / k1, 1 / k2);  // d + r1 + r2, never the least
      } else {
        // |d + r2 - r1| (s1 = t2 = 1) or |d + r1 - r2|: d - |r1 - r2| when
        // the larger circle's point is the one on the far side.
        const bool less = (s1 > 0) == (k1 < k2);
        if (less && spread < kWellApart * (k1 + k2)) ill = true;
        d = less ? inner : wide;
      }
      best = std::min(best, d);
    }
  }
  return ill ? kNaN : best;
}

double ArcFrame::param(double x, double y) const {
  const EllipticArc& a = *arc_;
  if (chord_form_) {
    // Along the chord, the point at parameter u lies sin((2u - 1) h) /
    // (2 sin h) of the chord from its middle (h half the sweep).
    const double t = ((x - ax_) * qx_ + (y - ay_) * qy_) / (qx_ * qx_ + qy_ * qy_);
    const double sh = std::sin(half_), v = std::clamp((2 * t - 1) * sh, -sh, sh);
    return std::clamp(0.5 + std::asin(v) / (2 * half_), 0.0, 1.0);
  }
  double u = (std::atan2(y - a.cy, x - a.cx) - a.start_param) / a.sweep;
  const double turn = 2 * std::numbers::pi / std::fabs(a.sweep);
  u -= std::floor(u / turn) * turn;
  if (u <= 1) return u;
  return u - 1 < turn - u ? 1.0 : 0.0;
}

ArcFrame::LineMeeting ArcFrame::meet_line(double px, double py, double ux, double uy) const {
  // f(P + t u) = k t^2 + 2 b t + c.
  const double ex = px - ax_, ey = py - ay_;
  const double b = k_ * (ex * ux + ey * uy) - (ux * wx_ + uy * wy_);
  const double c = k_ * (ex * ex + ey * ey) - 2 * (ex * wx_ + ey * wy_);
  const double disc = b * b - k_ * c;  // 1 - disc = 1 + k f at the foot
  LineMeeting m;
  m.foot = -b / k_;
  m.foot_gap = (c - b * (b / k_)) / (1 + std::sqrt(std::max(0.0, 1 - disc)));
  if (disc > 0) {
    // Both roots without cancellation: the one near P (all there is of a
    // straight arc) from c / q.
    const double q = -(b + std::copysign(std::sqrt(disc), b));
    m.count = 2;
    m.at[0] = c / q;
    m.at[1] = q / k_;
  }
  return m;
}

bool ArcFrame::radical_line(const ArcFrame& o, double& px, double& py, double& ux, double& uy) const {
  // k' f - k f' is linear: with p = P - A, 2 p . n = k f'(A).
  const double ex = o.ax_ - ax_, ey = o.ay_ - ay_, k1 = k_, k2 = o.k_;
  const double nx = k1 * o.wx_ - k2 * wx_ + k1 * k2 * ex, ny = k1 * o.wy_ - k2 * wy_ + k1 * k2 * ey;
  const double n2 = nx * nx + ny * ny;
  if (!(n2 > 0) || !std::isfinite(n2)) return false;
  const double along = 0.5 * k1 * o.power(ax_, ay_) / n2, n = std::sqrt(n2);
  px = ax_ + along * nx;
  py = ay_ + along * ny;
  ux = -ny / n;
  uy = nx / n;
  return std::isfinite(px) && std::isfinite(py);
}

}  // namespace vaskelith::planar
