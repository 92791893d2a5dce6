// Affine transformations, z and m editing, generalisation and the folding of
// longitudes about the central meridian.  All of it is computed on the
// segments themselves: curves stay curves and z and m stay with their
// vertices.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/geos_convert.hpp"
#include "engine/planar_curves.hpp"
#include "engine/planar_ops.hpp"
#include "errors.hpp"
#include "spatial_reference.hpp"

namespace vaskelith::planar {

namespace {

// An ellipse whose axis ratio is this near 1 after a transformation is a
// circle: the difference is rounding of the transformation.
constexpr double kStillCircle = 1e-12;

void apply(const double m[6], double& x, double& y) {
  const double nx = m[0] * x + m[1] * y + m[2];
  const double ny = m[3] * x + m[4] * y + m[5];
  x = nx;
  y = ny;
}

// The image of an elliptic arc under the linear part L of an affine map:
// the arc is center + A (cos t, sin t) with A = L R(rotation) diag(a, b);
// A = R(phi) diag(s1, s2) R(theta) gives the new axes, and the parameter
// moves by theta (mirrored when the map reverses orientation).
EllipticArc transform_arc(const EllipticArc& arc, const double m[6]) {
  EllipticArc out = arc;
  apply(m, out.cx, out.cy);
  const double cr = std::cos(arc.rotation), sr = std::sin(arc.rotation);
  const double a = arc.semi_major, b = arc.semi_major * arc.ratio;
  // A = L * R * diag(a, b)
  const double r00 = m[0] * cr + m[1] * sr, r01 = -m[0] * sr + m[1] * cr;
  const double r10 = m[3] * cr + m[4] * sr, r11 = -m[3] * sr + m[4] * cr;
  const double A00 = r00 * a, A01 = r01 * b, A10 = r10 * a, A11 = r11 * b;
  const double E = 0.5 * (A00 + A11), F = 0.5 * (A00 - A11);
  const double G = 0.5 * (A10 + A01), H = 0.5 * (A10 - A01);
  const double Q = std::hypot(E, H), R = std::hypot(F, G);
  const double s1 = Q + R, s2 = Q - R;
  const double a1 = std::atan2(G, F), a2 = std::atan2(H, E);
  const double theta = 0.5 * (a2 - a1), phi = 0.5 * (a2 + a1);
  out.semi_major = s1;
  out.ratio = s1 > 0 ? std::fabs(s2) / s1 : 1.0;
  out.rotation = phi;
  if (s2 >= 0) {
    out.start_param = arc.start_param + theta;
  } else {
    out.start_param = -arc.start_param - theta;
    out.sweep = -arc.sweep;
  }
  if (std::fabs(1.0 - out.ratio) <= kStillCircle) {
    // A circle keeps rotation 0, its parameter being the polar angle.
    out.ratio = 1.0;
    out.start_param += out.rotation;
    out.rotation = 0;
  }
  return out;
}

Part transform_part(const Part& p, const double m[6]) {
  Part q = p;
  q.vertices.edit([&](Vertex& v) { apply(m, v.x, v.y); });
  for (Curve& c : q.curves) {
    if (c.kind == SegmentKind::CubicBezier) {
      apply(m, c.bezier.c1x, c.bezier.c1y);
      apply(m, c.bezier.c2x, c.bezier.c2y);
    } else if (c.kind == SegmentKind::EllipticArc) {
      c.arc = transform_arc(c.arc, m);
      if (!(c.arc.semi_major > 0)) c = Curve{};  // collapsed to its chord
    }
  }
  return q;
}

void origin_of(const Geometry& g, const Geometry* origin, double& ox, double& oy) {
  if (origin != nullptr) {
    if (origin->kind != GeometryKind::Point) fail(kInvalidArgument, "The origin must be a point.");
    if (origin->is_empty()) fail(kInvalidArgument, "The origin point is empty.");
    ox = origin->point.x;
    oy = origin->point.y;
    return;
  }
  const EnvelopeBounds e = extent_of(g);
  ox = 0.5 * (e.xmin + e.xmax);
  oy = 0.5 * (e.ymin + e.ymax);
}

}  // namespace

GeometryPtr affine(const Geometry& g, const double m[6]) {
  switch (g.kind) {
    case GeometryKind::Point: {
      Geometry out = g;
      if (!g.is_empty()) apply(m, out.point.x, out.point.y);
      return std::make_shared<Geometry>(std::move(out));
    }
    case GeometryKind::Multipoint: {
      Geometry out = g;
      for (Vertex& v : out.points) apply(m, v.x, v.y);
      return std::make_shared<Geometry>(std::move(out));
    }
    case GeometryKind::Envelope: {
      if (g.envelope.empty()) return std::make_shared<Geometry>(g);
      const EnvelopeBounds& e = g.envelope;
      if (m[1] == 0 && m[3] == 0) {
        // Axis-parallel maps keep an envelope an envelope.
        Geometry out = g;
        double x0 = e.xmin, y0 = e.ymin, x1 = e.xmax, y1 = e.ymax;
        apply(m, x0, y0);
        apply(m, x1, y1);
        out.envelope.xmin = std::min(x0, x1);
        out.envelope.xmax = std::max(x0, x1);
        out.envelope.ymin = std::min(y0, y1);
        out.envelope.ymax = std::max(y0, y1);
        return std::make_shared<Geometry>(std::move(out));
      }
      Geometry poly = header_of(g, GeometryKind::Polygon);
      Part ring;
      ring.vertices = {Vertex{e.xmin, e.ymin, e.zmin, e.mmin}, Vertex{e.xmin, e.ymax, e.zmin, e.mmin},
                       Vertex{e.xmax, e.ymax, e.zmax, e.mmax}, Vertex{e.xmax, e.ymin, e.zmax, e.mmax}};
      poly.parts.push_back(std::move(ring));
      return affine(poly, m);
    }
    default: {
      Geometry out = header_of(g, g.kind);
      // A mirroring map turns every ring the other way; turn them back so
      // that exterior rings stay clockwise.
      const bool mirrored = g.closed() && (m[0] * m[4] - m[1] * m[3]) < 0;
      for (const Part& p : g.parts) {
        Part q = transform_part(p, m);
        out.parts.push_back(mirrored ? reverse_part(q, true) : std::move(q));
      }
      return std::make_shared<Geometry>(std::move(out));
    }
  }
}

GeometryPtr move(const Geometry& g, double dx, double dy) {
  if (!std::isfinite(dx) || !std::isfinite(dy)) fail(kInvalidArgument, "The offsets must be finite numbers.");
  const double m[6] = {1, 0, dx, 0, 1, dy};
  return affine(g, m);
}

GeometryPtr rotate(const Geometry& g, const Geometry* origin, double degrees) {
  if (!std::isfinite(degrees)) fail(kInvalidArgument, "The angle must be a finite number.");
  if (g.is_empty()) return std::make_shared<Geometry>(g);
  double ox, oy;
  origin_of(g, origin, ox, oy);
  // Exact quarter turns keep axis-parallel shapes exactly axis-parallel.
  double c, s;
  const double turns = degrees / 90.0;
  if (turns == std::round(turns)) {
    static const double cs[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    const long q = ((static_cast<long>(std::fmod(turns, 4.0)) % 4) + 4) % 4;
    c = cs[q][0];
    s = cs[q][1];
  } else {
    c = std::cos(degrees * kPi / 180);
    s = std::sin(degrees * kPi / 180);
  }
  const double m[6] = {c, -s, ox - c * ox + s * oy, s, c, oy - s * ox - c * oy};
  if (g.kind == GeometryKind::Envelope) {
    // An envelope turned by anything is a polygon, even by a quarter turn.
    Geometry poly = header_of(g, GeometryKind::Polygon);
    const EnvelopeBounds& e = g.envelope;
    Part ring;
    ring.vertices = {Vertex{e.xmin, e.ymin, e.zmin, e.mmin}, Vertex{e.xmin, e.ymax, e.zmin, e.mmin},
                     Vertex{e.xmax, e.ymax, e.zmax, e.mmax}, Vertex{e.xmax, e.ymin, e.zmax, e.mmax}};
    poly.parts.push_back(std::move(ring));
    return affine(poly, m);
  }
  return affine(g, m);
}

GeometryPtr scale(const Geometry& g, const Geometry* origin, double sx, double sy) {
  if (!std::isfinite(sx) || !std::isfinite(sy)) fail(kInvalidArgument, "The scale factors must be finite numbers.");
  if (g.is_empty()) return std::make_shared<Geometry>(g);
  double ox, oy;
  origin_of(g, origin, ox, oy);
  const double m[6] = {sx, 0, ox - sx * ox, 0, sy, oy - sy * oy};
  return affine(g, m);
}

GeometryPtr scaled(const Geometry& g, double f) {
  Geometry origin;
  origin.kind = GeometryKind::Point;
  origin.point = Vertex{0, 0};
  return scale(g, &origin, f, f);
}

GeometryPtr set_z_m(const Geometry& g, bool change_z, bool keep_z, double z, bool change_m, bool keep_m, double m) {
  Geometry out = g;
  if (change_z) out.has_z = keep_z;
  if (change_m) out.has_m = keep_m;
  const double zv = keep_z ? z : kNaN, mv = keep_m ? m : kNaN;
  auto edit = [&](Vertex& v) {
    if (change_z) v.z = zv;
    if (change_m) v.m = mv;
  };
  switch (g.kind) {
    case GeometryKind::Point:
      if (!g.is_empty()) edit(out.point);
      break;
    case GeometryKind::Multipoint:
      for (Vertex& v : out.points) edit(v);
      break;
    case GeometryKind::Envelope:
      if (change_z) out.envelope.zmin = out.envelope.zmax = g.envelope.empty() ? kNaN : zv;
      if (change_m) out.envelope.mmin = out.envelope.mmax = g.envelope.empty() ? kNaN : mv;
      break;
    default:
      for (Part& p : out.parts) p.vertices.edit(edit);
      break;
  }
  return std::make_shared<Geometry>(std::move(out));
}

// ---- generalisation ----

namespace {

// The fraction (0 to 1) of the way along d = (dx, dy), not zero, of the
// point nearest to (x, y), where the squares and products of the plain
// quotient overflow: the same quotient with every term scaled by a power of
// two, which changes no digit of it.
[[gnu::noinline]] double scaled_fraction(double x, double y, double dx, double dy) {
  const double s = std::ldexp(1.0, -std::max(std::ilogb(dx), std::ilogb(dy)));
  const double sx = dx * s, sy = dy * s;
  const double u = (x * s * sx + y * s * sy) / (sx * sx + sy * sy);
  if (std::isnan(x) || std::isnan(y)) return kNaN;  // as the plain quotient gives
  return u > 0 ? (u < 1 ? u : 1) : 0;               // offsets of both infinities count as 0
}

// The offset from p to the point of segment a-b nearest to it.
void offset_to_segment(const Vertex& p, const Vertex& a, const Vertex& b, double& ex, double& ey) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len2 = dx * dx + dy * dy;
  const double t = (p.x - a.x) * dx + (p.y - a.y) * dy;
  const double u = !(len2 > 0)                               ? 0.0
                   : std::isfinite(len2) && std::isfinite(t) ? std::clamp(t / len2, 0.0, 1.0)
                                                             : scaled_fraction(p.x - a.x, p.y - a.y, dx, dy);
  ex = a.x + u * dx - p.x;
  ey = a.y + u * dy - p.y;
}

double point_segment_distance(const Vertex& p, const Vertex& a, const Vertex& b) {
  double ex, ey;
  offset_to_segment(p, a, b, ex, ey);
  return std::hypot(ex, ey);
}

// Squared offsets within this range carry their full relative precision
// (neither overflow nor subnormal terms that matter).
constexpr double kSquareLow = 0x1p-960, kSquareHigh = 0x1p960;
// Two squared offsets this far apart (relative) belong to distances that
// hypot, within an ulp, orders the same way, and never rounds to one value.
constexpr double kSquareMargin = 1e-13;

// The screen of the scan below, which passes over most vertices without a
// division.  With (X, Y) = p - a, t = (X, Y).d and c = (X, Y) x d for the
// chord's d = b - a, the square of p's distance to the chord times |d|^2 is
//   W = c^2 + e^2,  e = max(-t, 0) + max(t - |d|^2, 0)
// (e is how far p's projection falls beyond an end).  Computed, the distance
// it gives and the offset of the exact formula differ by a few ulps of the
// largest coordinate of the part, M; kScreenSlack * M and the relative
// kScreenShrink cover that many times over, so that a vertex whose W lies
// under the screen surely has a squared offset under `nearer`.  The screen
// stays shut where squares could overflow or chords underflow.
constexpr double kScreenSlack = 0x1p-36, kScreenShrink = 1 - 0x1p-40;
constexpr double kScreenMaxCoordinate = 0x1p200, kScreenMinLength2 = 0x1p-900;

// The coordinates of one part, read in place: x0, y0, x1, y1, ..., with
// vertex `count` standing for vertex 0 (the closing vertex of a ring).
struct Coordinates {
  const double* xy;
  std::size_t count;
  double slack;  // kScreenSlack * M, or NaN where the screen stays shut
  double x(std::size_t k) const { return xy[2 * (k == count ? 0 : k)]; }
  double y(std::size_t k) const { return xy[2 * (k == count ? 0 : k) + 1]; }
};

Coordinates coordinates_of(const VertexList& vs) {
  const double* xy = vs.xy_data();
  const std::size_t n = vs.size();
  double m = 0;
  bool in_range = true;  // false for NaN too
  for (std::size_t k = 0; k < 2 * n; ++k) {
    const double a = std::fabs(xy[k]);
    m = std::max(m, a);
    in_range &= a <= kScreenMaxCoordinate;
  }
  return {xy, n, in_range ? m * kScreenSlack : kNaN};
}

// Whether the offset (x, y) reaches beyond `tolerance`, as its hypot
// distance compared with it tells: squares decide unless near a tie or out
// of range.
bool beyond(double x, double y, double tolerance) {
  const double d2 = x * x + y * y, t2 = tolerance * tolerance;
  if (d2 >= kSquareLow && d2 <= kSquareHigh && t2 >= kSquareLow && t2 <= kSquareHigh) {
    if (d2 > t2 * (1 + kSquareMargin)) return true;
    if (d2 < t2 * (1 - kSquareMargin)) return false;
  }
  return std::hypot(x, y) > tolerance;
}

// The vertex of (i..j) farthest from the chord i-j, and whether its distance
// exceeds `tolerance`: the first of the farthest, as comparing hypot
// distances in turn chooses it.  Squared offsets decide all but near-ties
// and squares out of range, which hypot settles, so that the costly hypot
// rarely runs at all; the screen above spares most vertices the division.
std::pair<std::size_t, bool> farthest(const Coordinates& c, std::size_t i, std::size_t j, double tolerance) {
  const double ax = c.x(i), ay = c.y(i);
  const double dx = c.x(j) - ax, dy = c.y(j) - ay;
  const double len2 = dx * dx + dy * dy;
  const bool screened = len2 >= kScreenMinLength2 && c.slack >= 0;
  const bool plain = std::isfinite(len2);  // else the chord's square overflowed
  const double* xy = c.xy;
  std::size_t at = i;
  double worst = -1, ex = 0, ey = 0, wx = 0, wy = 0;
  bool known = true;  // whether `worst` is the hypot of (wx, wy)
  // Squares below `nearer` are surely nearer than the farthest so far, above
  // `farther` (and in range) surely farther; both open only once the
  // farthest square so far is in range, except that any square is farther
  // than none.  `screen` bounds W the same way.
  double nearer = -INFINITY, farther = -INFINITY, screen = -INFINITY;
  for (std::size_t k = i + 1; k < j; ++k) {
    const double px = xy[2 * k], py = xy[2 * k + 1];
    const double t = (px - ax) * dx + (py - ay) * dy;
    if (screened) {
      const double cross = (px - ax) * dy - (py - ay) * dx;
      // max(-t, 0) + max(t - len2, 0), exactly, without a branch to mispredict.
      const double over = t - len2;
      const double e = 0.5 * (std::fabs(t) - t) + 0.5 * (std::fabs(over) + over);
      if (cross * cross + e * e < screen) continue;
    }
    double u = 0;
    if (len2 > 0 && plain && std::isfinite(t)) {
      u = t / len2;
      u = u < 0.0 ? 0.0 : u;
      u = u > 1.0 ? 1.0 : u;
    } else if (len2 > 0) {
      u = scaled_fraction(px - ax, py - ay, dx, dy);
    }
    ex = ax + u * dx - px;
    ey = ay + u * dy - py;
    const double d2 = ex * ex + ey * ey;
    if (d2 < nearer) continue;
    if (d2 > farther && d2 <= kSquareHigh) {
      known = false;
    } else {
      if (!known) worst = std::hypot(wx, wy), known = true;
      const double d = std::hypot(ex, ey);
      if (!(d > worst)) continue;
      worst = d;
    }
    wx = ex, wy = ey, at = k;
    const bool in_range = d2 >= kSquareLow && d2 <= kSquareHigh;
    nearer = in_range ? d2 * (1 - kSquareMargin) : -INFINITY;
    farther = in_range ? d2 * (1 + kSquareMargin) : INFINITY;
    if (screened && in_range) {
      const double s = std::sqrt(nearer) * kScreenShrink - c.slack;
      screen = s > 0 ? s * s * len2 * kScreenShrink : -INFINITY;
    }
  }
  if (at == i) return {at, false};
  return {at, known ? worst > tolerance : beyond(wx, wy, tolerance)};
}

// Douglas-Peucker over (first..last), marking the vertices to keep.
void douglas_peucker(const Coordinates& c, std::size_t first, std::size_t last, double tolerance,
                     std::vector<char>& keep, std::vector<std::pair<std::size_t, std::size_t>>& work) {
  // An explicit stack: long lines must not exhaust the call stack.
  work.assign(1, {first, last});
  while (!work.empty()) {
    auto [i, j] = work.back();
    work.pop_back();
    if (j <= i + 1) continue;
    const auto [at, far] = farthest(c, i, j, tolerance);
    if (far) {
      keep[at] = 1;
      work.push_back({i, at});
      work.push_back({at, j});
    }
  }
}

}  // namespace

GeometryPtr generalize(const Geometry& g, double max_deviation, bool remove_degenerate_parts) {
  if (std::isnan(max_deviation)) fail(kInvalidArgument, "The maximum deviation must be a number.");
  if (!g.is_multipart()) return std::make_shared<Geometry>(g);
  const double tolerance = std::max(0.0, max_deviation);
  // Curves become chords first, at a tolerance well under the deviation
  // asked for, so that the generalised line stays within it.
  const double chord = std::max(chord_tolerance(g), tolerance * 0.1);
  Geometry out = header_of(g, g.kind);
  const bool closed = g.closed();
  std::vector<char> keep;
  std::vector<std::pair<std::size_t, std::size_t>> work;
  for (const Part& p0 : g.parts) {
    // A straight part is read where it lies.
    Part linear;
    if (p0.has_curves()) linear = linearize_part(p0, closed, chord);
    const VertexList& vs = p0.has_curves() ? linear.vertices : p0.vertices;
    const std::size_t n = vs.size();
    if (n == 0) continue;
    const Coordinates c = coordinates_of(vs);
    Part q;
    if (!closed) {
      keep.assign(n, 0);
      keep[0] = keep[n - 1] = 1;
      douglas_peucker(c, 0, n - 1, tolerance, keep, work);
      std::size_t kept = 0;
      for (std::size_t i = 0; i < n; ++i) kept += keep[i];
      q.vertices.reserve(kept);
      for (std::size_t i = 0; i < n; ++i)
        if (keep[i]) q.vertices.push_back(vs[i]);
      const bool degenerate = q.size() < 2 || part_length(q, false) == 0;
      if (degenerate && remove_degenerate_parts) continue;
    } else {
      // A ring is split at vertex 0 and at the vertex farthest from it;
      // vertex n is vertex 0 again, closing the ring.
      std::size_t far = 0;
      double best = -1;
      for (std::size_t i = 1; i < n; ++i) {
        const double d = std::hypot(c.x(i) - c.x(0), c.y(i) - c.y(0));
        if (d > best) best = d, far = i;
      }
      keep.assign(n + 1, 0);
      keep[0] = keep[n] = keep[far] = 1;
      if (far > 0) {
        douglas_peucker(c, 0, far, tolerance, keep, work);
        douglas_peucker(c, far, n, tolerance, keep, work);
      }
      std::size_t kept = 0;
      for (std::size_t i = 0; i < n; ++i) kept += keep[i];
      if (kept < 3) {
        // Every vertex lies within the deviation of one chord: the ring has
        // collapsed.  Kept, it keeps its farthest vertex from that chord, so
        // that it still encloses something.
        if (remove_degenerate_parts) continue;
        double worst = -1;
        std::size_t at = 0;
        for (std::size_t i = 1; i < n; ++i) {
          if (keep[i]) continue;
          const double d = point_segment_distance(vs[i], vs[0], vs[far]);
          if (d > worst) worst = d, at = i;
        }
        if (at == 0) continue;  // fewer than three vertices to begin with
        keep[at] = 1;
        ++kept;
      }
      q.vertices.reserve(kept);
      for (std::size_t i = 0; i < n; ++i)
        if (keep[i]) q.vertices.push_back(vs[i]);
    }
    out.parts.push_back(std::move(q));
  }
  return std::make_shared<Geometry>(std::move(out));
}

// ---- central meridian ----

GeometryPtr normalize_central_meridian(const Geometry& g) {
  const SpatialReferencePtr& sr = g.spatial_reference;
  if (!sr) return nullptr;
  double period = 0;
  if (sr->geographic) {
    period = 2 * kPi / sr->unit_factor;
  } else {
    // Web Mercator wraps too: one turn of the sphere along the equator.
    const int32_t w = sr->wkid;
    if (w == 3857 || w == 102100 || w == 102113 || w == 900913) period = 2 * kPi * sr->semi_major / sr->unit_factor;
  }
  if (!(period > 0) || !std::isfinite(period)) return nullptr;
  const double half = period / 2;
  auto wrap = [&](double x) {
    double r = std::fmod(x + half, period);
    if (r < 0) r += period;
    return r - half;
  };
  if (g.is_empty()) return std::make_shared<Geometry>(g);
  switch (g.kind) {
    case GeometryKind::Point: {
      Geometry out = g;
      out.point.x = wrap(g.point.x);
      return std::make_shared<Geometry>(std::move(out));
    }
    case GeometryKind::Multipoint: {
      Geometry out = g;
      for (Vertex& v : out.points) v.x = wrap(v.x);
      return std::make_shared<Geometry>(std::move(out));
    }
    case GeometryKind::Envelope: {
      Geometry out = g;
      EnvelopeBounds& e = out.envelope;
      if (e.xmax - e.xmin >= period) {
        e.xmin = -half;
        e.xmax = half;
      } else {
        const double shift = wrap(e.xmin) - e.xmin;
        e.xmin += shift;
        e.xmax += shift;
      }
      return std::make_shared<Geometry>(std::move(out));
    }
    default: break;
  }
  const EnvelopeBounds e = extent_of(g);
  const double kmin = std::floor((e.xmin + half) / period), kmax = std::floor((e.xmax + half) / period);
  // Callers treat any reported failure of this operation as a broken
  // invariant, so a geometry that cannot be folded (non-finite or absurdly
  // wide) gets no result instead of an error.
  if (!std::isfinite(kmin) || !std::isfinite(kmax) || !std::isfinite(e.ymin) || !std::isfinite(e.ymax)) return nullptr;
  if (kmin == kmax) return move(g, -kmin * period, 0);
  if (kmax - kmin > 64) return nullptr;
  // Cut the geometry into strips one period wide, bring each strip home,
  // and put the pieces together again.
  GeometryPtr acc;
  try {
  for (double k = kmin; k <= kmax; k += 1) {
    Geometry strip;
    strip.kind = GeometryKind::Envelope;
    strip.envelope.xmin = k * period - half;
    strip.envelope.xmax = (k + 1) * period - half;
    strip.envelope.ymin = e.ymin - 1;
    strip.envelope.ymax = e.ymax + 1;
    GeometryPtr piece = move(*clip(g, strip), -k * period, 0);
    if (piece->is_empty()) continue;
    if (!acc) {
      acc = piece;
    } else if (g.kind == GeometryKind::Polygon) {
      acc = overlay(*acc, *piece, Overlay::Union);
    } else {
      Geometry joined = *acc;
      joined.parts.insert(joined.parts.end(), piece->parts.begin(), piece->parts.end());
      acc = std::make_shared<Geometry>(std::move(joined));
    }
  }
  } catch (const Failure&) {
    // An overlay that GEOS cannot node leaves the geometry unfolded.
    return nullptr;
  }
  return acc ? acc : std::make_shared<Geometry>(g);
}

}  // namespace vaskelith::planar
