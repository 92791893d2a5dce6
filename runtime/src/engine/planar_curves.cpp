#include "engine/planar_curves.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

namespace vaskelith::planar {

namespace {

constexpr double kPi = std::numbers::pi;

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

// Adaptive: a piece is halved until its two halves agree with it to
// rounding, so that thin ellipses (whose speed changes sharply near the ends
// of the minor axis) are measured as well as round ones.
template <class F>
double integrate_adaptive(F&& f, double a, double b, int pieces) {
  auto gl = [&](double lo, double hi) {
    const double mid = 0.5 * (lo + hi), half = 0.5 * (hi - lo);
    double s = 0;
    for (int i = 0; i < 8; ++i) s += kGLw[i] * f(mid + half * kGLx[i]);
    return s * half;
  };
  double total = 0;
  const double h = (b - a) / pieces;
  struct Job {
    double lo, hi, whole;
    int depth;
  };
  std::vector<Job> work;
  for (int p = 0; p < pieces; ++p) {
    const double lo = a + p * h, hi = p + 1 == pieces ? b : lo + h;
    work.push_back({lo, hi, gl(lo, hi), 0});
  }
  // Non-finite speeds (infinite or NaN coordinates) never agree, and
  // rounding can keep a piece from agreeing too: both would otherwise split
  // every piece down to the depth limit, 2^40 times over.
  long budget = 1L << 20;
  while (!work.empty()) {
    const Job j = work.back();
    work.pop_back();
    const double mid = 0.5 * (j.lo + j.hi);
    const double left = gl(j.lo, mid), right = gl(mid, j.hi);
    if (j.depth >= 40 || --budget <= 0 || !std::isfinite(left + right) ||
        std::fabs(left + right - j.whole) <= 1e-15 * std::fabs(left + right) + 1e-300) {
      total += left + right;
    } else {
      work.push_back({j.lo, mid, left, j.depth + 1});
      work.push_back({mid, j.hi, right, j.depth + 1});
    }
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
  return Bez{s.start->x, s.start->y, b.c1x, b.c1y, b.c2x, b.c2y, s.end->x, s.end->y};
}

// Arc speed |p'(t)| of an elliptic arc.
double arc_speed(const EllipticArc& a, double t) {
  const double b = a.semi_major * a.ratio;
  return hypot2(a.semi_major * std::sin(t), b * std::cos(t));
}

int arc_pieces(const EllipticArc& a) { return std::max(1, static_cast<int>(std::ceil(std::fabs(a.sweep) / (kPi / 8)))); }

// Length from the start of the segment to curve parameter u in [0, 1].
double partial_length(const SegmentView& s, double u) {
  switch (s.curve->kind) {
    case SegmentKind::EllipticArc: {
      const EllipticArc& a = s.curve->arc;
      if (a.is_circular()) return a.semi_major * std::fabs(a.sweep) * u;
      const double t0 = a.start_param, t1 = a.start_param + a.sweep * u;
      return std::fabs(integrate_adaptive([&](double t) { return arc_speed(a, t); }, t0, t1, arc_pieces(a)));
    }
    case SegmentKind::CubicBezier: {
      const Bez b = bez_of(s);
      return integrate_adaptive(
          [&](double t) {
            double dx, dy;
            b.deriv(t, dx, dy);
            return hypot2(dx, dy);
          },
          0.0, u, 8);
    }
    default:
      return hypot2(s.end->x - s.start->x, s.end->y - s.start->y) * u;
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
    return kRelative * (hypot2(b.c1x - s.start->x, b.c1y - s.start->y) + hypot2(b.c2x - b.c1x, b.c2y - b.c1y) +
                        hypot2(s.end->x - b.c2x, s.end->y - b.c2y));
  }
  return 0;
}

Vertex lerp(const Vertex& a, const Vertex& b, double u) {
  return Vertex{a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u, a.z + (b.z - a.z) * u, a.m + (b.m - a.m) * u};
}

double segment_length(const SegmentView& s) { return partial_length(s, 1.0); }

double segment_area_term(const SegmentView& s) {
  const Vertex& p = *s.start;
  const Vertex& q = *s.end;
  switch (s.curve->kind) {
    case SegmentKind::EllipticArc: {
      const EllipticArc& a = s.curve->arc;
      const double b = a.semi_major * a.ratio;
      return 0.5 * (a.cx * (q.y - p.y) - a.cy * (q.x - p.x) + a.semi_major * b * a.sweep);
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
  if (u <= 0) return *s.start;
  if (u >= 1) return *s.end;
  Vertex v = lerp(*s.start, *s.end, u);
  switch (s.curve->kind) {
    case SegmentKind::EllipticArc: {
      const EllipticArc& a = s.curve->arc;
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
  const double total = segment_length(s);
  if (!(total > 0) || distance <= 0) return *s.start;
  if (distance >= total) return *s.end;
  if (s.curve->is_line() || (s.curve->kind == SegmentKind::EllipticArc && s.curve->arc.is_circular()))
    return segment_point(s, distance / total);
  // Invert the arc length by bisection; 60 halvings reach rounding.
  double lo = 0, hi = 1;
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (partial_length(s, mid) < distance)
      lo = mid;
    else
      hi = mid;
  }
  return segment_point(s, 0.5 * (lo + hi));
}

void segment_tangent(const SegmentView& s, bool at_end, double& dx, double& dy) {
  dx = s.end->x - s.start->x;
  dy = s.end->y - s.start->y;
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
struct Circle {
  double cx, cy, r;
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
  std::unordered_map<CircleKey, std::vector<Circle>, CircleKeyHash> circles;
};

thread_local ChordCache* current_cache = nullptr;

// The circle to cut an arc's chords on.
Circle canonical_circle(const EllipticArc& a) {
  Circle c{a.cx, a.cy, a.semi_major};
  if (current_cache == nullptr) return c;
  // Buckets a power of two near 1e-9 of the radius: a difference of rounding
  // only falls into one bucket but for a chance of about one in a million.
  const double bucket = std::exp2(std::floor(std::log2(a.semi_major * 1e-9)));
  const CircleKey key{std::llround(a.cx / bucket), std::llround(a.cy / bucket), std::llround(a.semi_major / bucket)};
  auto& list = current_cache->circles[key];
  for (const Circle& k : list)
    if (std::fabs(k.cx - c.cx) <= 1e-12 * c.r && std::fabs(k.cy - c.cy) <= 1e-12 * c.r && std::fabs(k.r - c.r) <= 1e-12 * c.r)
      return k;
  list.push_back(c);
  return c;
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
    const double scale = std::fabs(a.c1x) + std::fabs(a.c1y) + std::fabs(a.c2x) + std::fabs(a.c2y) + 1e-300;
    auto near = [&](double x0, double y0, double x1, double y1) { return hypot2(x0 - x1, y0 - y1) <= 1e-12 * scale; };
    return reversed ? near(a.c1x, a.c1y, b.c2x, b.c2y) && near(a.c2x, a.c2y, b.c1x, b.c1y)
                    : near(a.c1x, a.c1y, b.c1x, b.c1y) && near(a.c2x, a.c2y, b.c2x, b.c2y);
  }
  const EllipticArc &a = e.curve.arc, &b = s.curve->arc;
  const double r = a.semi_major, tol = 1e-9 * r;
  if (std::fabs(a.semi_major - b.semi_major) > tol || std::fabs(a.ratio - b.ratio) > 1e-9) return false;
  if (hypot2(a.cx - b.cx, a.cy - b.cy) > tol) return false;
  // The same side of the ellipse: the middles agree.
  double ax, ay, bx, by;
  a.point_at(a.start_param + 0.5 * a.sweep, ax, ay);
  b.point_at(b.start_param + 0.5 * b.sweep, bx, by);
  return hypot2(ax - bx, ay - by) <= tol;
}

}  // namespace

LinearizationScope::LinearizationScope() : owner_(current_cache == nullptr) {
  if (owner_) current_cache = new ChordCache;
}

LinearizationScope::~LinearizationScope() {
  if (owner_) {
    delete current_cache;
    current_cache = nullptr;
  }
}

namespace {

// Chords of circles at their own tolerance meet the circle at fixed polar
// angles, multiples of 2 pi / kGrid whatever the arc: two arcs of one circle
// (cut from different starts, or split differently) then share their chord
// vertices.  kGrid keeps the chords within 1e-5 of the radius and is a
// multiple of 8, so that the four axis points are among the vertices.
constexpr int kGrid = 704;

void circle_chords(const SegmentView& s, std::vector<Vertex>& out, std::vector<double>* params) {
  const EllipticArc& a = s.curve->arc;
  const Circle circle = canonical_circle(a);
  const double g = 2 * kPi / kGrid;
  const double s0 = a.start_param, s1 = a.start_param + a.sweep;
  const double lo = std::min(s0, s1), hi = std::max(s0, s1);
  long j0 = static_cast<long>(std::floor(lo / g)) + 1, j1 = static_cast<long>(std::ceil(hi / g)) - 1;
  // No grid vertex a hair away from an end.
  if (static_cast<double>(j0) * g - lo < 1e-9 * g) ++j0;
  if (hi - static_cast<double>(j1) * g < 1e-9 * g) --j1;
  auto emit = [&](double u, Vertex v) {
    out.push_back(v);
    if (params) params->push_back(u);
  };
  if (j1 < j0) {
    // Shorter than one grid step: its middle keeps it apart from a line.
    emit(0.5, segment_point(s, 0.5));
  } else {
    const long count = j1 - j0 + 1;
    for (long k = 0; k < count; ++k) {
      const long j = a.sweep > 0 ? j0 + k : j1 - k;
      const long jm = ((j % kGrid) + kGrid) % kGrid;
      double dx, dy;
      if (jm % (kGrid / 4) == 0) {
        static const double axis[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        dx = axis[jm / (kGrid / 4)][0];
        dy = axis[jm / (kGrid / 4)][1];
      } else {
        dx = std::cos(static_cast<double>(jm) * g);
        dy = std::sin(static_cast<double>(jm) * g);
      }
      const double u = (static_cast<double>(j) * g - s0) / a.sweep;
      Vertex v = lerp(*s.start, *s.end, u);
      v.x = circle.cx + circle.r * dx;
      v.y = circle.cy + circle.r * dy;
      emit(u, v);
    }
  }
  emit(1.0, *s.end);
}

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
    n = static_cast<int>(std::clamp(std::ceil(std::fabs(a.sweep) / step), 2.0, 4096.0));
  } else if (s.curve->kind == SegmentKind::CubicBezier) {
    const Bez b = bez_of(s);
    const double d = std::max(hypot2(b.x0 - 2 * b.x1 + b.x2, b.y0 - 2 * b.y1 + b.y2),
                              hypot2(b.x1 - 2 * b.x2 + b.x3, b.y1 - 2 * b.y2 + b.y3));
    if (tolerance > 0) n = static_cast<int>(std::ceil(std::sqrt(0.75 * d / tolerance)));
    n = std::clamp(n, 2, 1024);
  }
  for (int i = 1; i < n; ++i) {
    const double u = static_cast<double>(i) / n;
    out.push_back(segment_point(s, u));
    if (params) params->push_back(u);
  }
  out.push_back(*s.end);
  if (params) params->push_back(1.0);
}

}  // namespace

void linearize_segment(const SegmentView& s, double tolerance, std::vector<Vertex>& out, std::vector<double>* params) {
  if (!(tolerance > 0) && current_cache != nullptr && !s.curve->is_line()) {
    auto& entries = current_cache->chords[key_of(*s.start, *s.end)];
    for (const ChordEntry& e : entries) {
      const bool forward = e.start.x == s.start->x && e.start.y == s.start->y && e.end.x == s.end->x &&
                           e.end.y == s.end->y;
      const bool backward = e.start.x == s.end->x && e.start.y == s.end->y && e.end.x == s.start->x &&
                            e.end.y == s.start->y;
      if (!(forward && same_curve(e, s, false)) && !(backward && same_curve(e, s, true))) continue;
      // The known chords, with this segment's own z and m along them.
      const std::size_t n = e.inner.size();
      for (std::size_t i = 0; i < n; ++i) {
        const std::size_t k = forward ? i : n - 1 - i;
        const double u = forward ? e.params[k] : 1 - e.params[k];
        Vertex v = lerp(*s.start, *s.end, u);
        v.x = e.inner[k].x;
        v.y = e.inner[k].y;
        out.push_back(v);
        if (params) params->push_back(u);
      }
      out.push_back(*s.end);
      if (params) params->push_back(1.0);
      return;
    }
    const std::size_t from = out.size();
    std::vector<double> us;
    uncached_chords(s, 0, out, &us);
    ChordEntry e{*s.start, *s.end, *s.curve, {}, {}};
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
  out.vertices.push_back(p.vertices[0]);
  const std::size_t n = p.segment_count(closed);
  for (std::size_t i = 0; i < n; ++i) linearize_segment(p.segment(i, closed), tolerance, out.vertices);
  // A ring's closing segment ends where it began: drop the repeated vertex.
  if (closed && out.vertices.size() > 1) out.vertices.pop_back();
  return out;
}

double chord_tolerance(const Geometry& g) {
  const EnvelopeBounds e = extent_of(g);
  const double diag = hypot2(e.xmax - e.xmin, e.ymax - e.ymin);
  if (!(diag > 0) || !std::isfinite(diag)) return 1e-9;
  return diag * 1e-6;
}

double ring_signed_area(const Part& ring) {
  const std::size_t n = ring.segment_count(true);
  if (n == 0) return 0;
  if (ring.curves.empty()) {
    // Shoelace about the first vertex, so that large coordinates lose no
    // precision.
    const auto& vs = ring.vertices;
    const double ox = vs[0].x, oy = vs[0].y;
    double total = 0;
    for (std::size_t i = 1; i + 1 < vs.size(); ++i)
      total += (vs[i].x - ox) * (vs[i + 1].y - oy) - (vs[i + 1].x - ox) * (vs[i].y - oy);
    return 0.5 * total;
  }
  // Shift to the first vertex so that large coordinates lose no precision.
  Part shifted;
  const double ox = ring.vertices[0].x, oy = ring.vertices[0].y;
  shifted.vertices = ring.vertices;
  for (Vertex& v : shifted.vertices) {
    v.x -= ox;
    v.y -= oy;
  }
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

double part_length(const Part& p, bool closed) {
  double total = 0;
  const std::size_t n = p.segment_count(closed);
  for (std::size_t i = 0; i < n; ++i) total += segment_length(p.segment(i, closed));
  return total;
}

Part reverse_part(const Part& p, bool closed) {
  Part r;
  const std::size_t n = p.vertices.size();
  if (n == 0) return r;
  r.vertices.resize(n);
  const bool curved = !p.curves.empty();
  if (curved) r.curves.resize(n);
  if (closed) {
    r.vertices[0] = p.vertices[0];
    for (std::size_t i = 1; i < n; ++i) r.vertices[i] = p.vertices[n - i];
    if (curved)
      for (std::size_t j = 0; j < n; ++j) r.curves[j] = reversed(p.curves[(n - j + 1) % n]);
  } else {
    for (std::size_t i = 0; i < n; ++i) r.vertices[i] = p.vertices[n - 1 - i];
    if (curved)
      for (std::size_t j = 1; j < n; ++j) r.curves[j] = reversed(p.curves[n - j]);
  }
  return r;
}

}  // namespace vaskelith::planar
