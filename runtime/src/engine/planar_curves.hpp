// Planar measurement and linearisation of segments, curves included.
//
// Circular arcs are measured exactly; elliptic arcs and cubic Bezier curves
// by Gauss-Legendre quadrature over pieces small enough that the error is at
// the level of rounding.  Areas use Green's theorem, which is exact for arcs
// of ellipses and for Bezier curves (a polynomial integrand).
//
// Z and M along a curve are interpolated linearly in the curve's parameter
// between its end vertices.
#pragma once

#include <cstddef>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <utility>
#include <vector>

#include "curves.hpp"
#include "geometry.hpp"

namespace vaskelith::planar {

// Length of one segment.
double segment_length(const SegmentView& s);

// The segment's contribution to the signed area of a ring,
// 1/2 * integral of (x dy - y dx) along the segment; the sum over a ring is
// its signed area (positive when counter-clockwise).
double segment_area_term(const SegmentView& s);

// The point at parameter u in [0, 1] of the segment (by the curve's own
// parameter), with z and m interpolated.
Vertex segment_point(const SegmentView& s, double u);

// The point at arc length `distance` from the segment's start (clamped).
Vertex segment_point_at_length(const SegmentView& s, double distance);

// Arc length along one segment, measured once: its total, and the point at
// any distance from its start found from a table of lengths rather than by
// measuring the segment again.  Curves are cut where their speed has a
// minimum or maximum (a Bezier that turns back on itself nearly stops there),
// and each piece is refined until its quadrature agrees with that of its
// halves to about 1e-14 of the whole length.
class ArcLength {
 public:
  explicit ArcLength(const SegmentView& s);

  double total() const { return total_; }
  // The curve parameter (0 to 1) at arc length `distance` from the start,
  // clamped.  Calls with increasing distances (as when densifying) start
  // from the previous answer and need fewer steps.
  double param_at(double distance);
  Vertex point_at(double distance) { return segment_point(s_, param_at(distance)); }

 private:
  struct Piece {
    double lo, hi;  // curve parameters
    double before;  // the length from the segment's start to lo
    double length;  // of the piece
  };
  // A piece waiting to be refined.
  struct Job {
    double lo, hi;  // curve parameters
    double whole;   // its quadrature as one piece
    int depth;      // halvings that made it
  };
  double speed(double u) const;         // |d point / du|
  double acceleration(double u) const;  // |d^2 point / du^2|
  double length_within(const Piece& p, double u) const;
  // Steps of measuring a curve, in the order the constructor takes them.
  void add_cuts_near_turns(std::vector<double>& cuts, const std::vector<double>& turns) const;
  void measure(const std::vector<double>& cuts);
  void refine(std::vector<Job>& work, double tolerance);
  // Steps of param_at.
  std::size_t piece_holding(double distance) const;
  double solve_in_piece(const Piece& p, double u, double distance) const;

  SegmentView s_;
  bool exact_;  // lines and circular arcs: length in proportion to the parameter
  double total_ = 0;
  std::vector<Piece> pieces_;
  std::size_t last_piece_ = 0;
  double last_u_ = 0, last_distance_ = 0;
};

// Unit tangent direction at the start (at_end false) or end of the segment.
void segment_tangent(const SegmentView& s, bool at_end, double& dx, double& dy);

// Chords of circles at their own tolerance meet the circle at fixed polar
// angles, multiples of 2 pi / kCircleGrid whatever the arc: two arcs of one circle
// (cut from different starts, or split differently) then share their chord
// vertices.  kCircleGrid keeps the chords within 1e-5 of the radius and is a
// multiple of 8, so that the four axis points are among the vertices.
inline constexpr int kCircleGrid = 704;
// Appends the vertices that replace the segment by chords no farther than
// `tolerance` from the curve: the end vertex last, the start vertex not
// included.  A line appends its end only.  A tolerance <= 0 is the curve's
// own (own_tolerance; circles: vertices at fixed polar angles), which is what
// GEOS is given.  With `params`, the curve parameter (0 to 1) of each
// appended vertex is appended there.
void linearize_segment(const SegmentView& s, double tolerance, std::vector<Vertex>& out,
                       std::vector<double>* params = nullptr);

// A chord tolerance that depends on the curve alone: 1e-5 of its radius (or
// of its length, when shorter); for a Bezier of its control polygon.
double own_tolerance(const SegmentView& s);

// While one of these lives (on this thread), a curve linearised at its own
// tolerance gives exactly the chords it gave before, and so does the same
// curve met again in the other direction (as when two polygons share a
// curved edge): GEOS then sees one line where the operands meet, not two
// lines a rounding apart.  Scopes nest; the outermost one holds the chords.
class LinearizationScope {
 public:
  LinearizationScope();
  ~LinearizationScope();
  LinearizationScope(const LinearizationScope&) = delete;
  LinearizationScope& operator=(const LinearizationScope&) = delete;

 private:
  bool owner_;
};

// The circle (centre and radius) that the chords of a circular arc are cut
// on in the current scope: the arc's own, or that of an arc met earlier in
// the scope whose circle differs from it by rounding only.
struct ScopeCircle {
  double cx, cy, r;
};
ScopeCircle scope_circle(const EllipticArc& a);

// While the current scope lives, the chords of every circular arc on the
// circle of `a` (as scope_circle gives it) also pass through `points`, which
// lie on that circle to rounding, at exactly those coordinates.  Outside a
// scope this does nothing.
void add_circle_vertices(const EllipticArc& a, const std::vector<std::pair<double, double>>& points);

// A copy of the part with every curve replaced by chords (tolerance as for
// linearize_segment).
Part linearize_part(const Part& p, bool closed, double tolerance);

// A tolerance small against the geometry's size, for searches along it.
double chord_tolerance(const Geometry& g);

// Signed area of a ring (counter-clockwise positive), curves exact.
double ring_signed_area(const Part& ring);

// The same of a ring without curves, here so that walks over many small
// rings measure each without a call.  Shoelace about the first vertex, so
// that large coordinates lose no precision.
inline double straight_ring_signed_area(const Part& ring) {
  const double* xy = ring.vertices.xy_data();
  const std::size_t m = ring.vertices.size();
  if (m < 2) return 0;
  const double ox = xy[0], oy = xy[1];
  double total = 0;
  for (std::size_t i = 1; i + 1 < m; ++i) {
    const double* a = xy + 2 * i;
    total += (a[0] - ox) * (a[3] - oy) - (a[2] - ox) * (a[1] - oy);
  }
  return 0.5 * total;
}

// Length of a part (a ring includes its closing segment).
double part_length(const Part& p, bool closed);

// The same of a part without curves (see straight_ring_signed_area).  The
// edges are measured two at a time where both are of plain size (see
// edge_length), with the same operations and roundings as one at a time,
// and added in order: the same sum to the last bit.
inline double straight_part_length(const Part& p, bool closed) {
  const std::size_t n = p.segment_count(closed);
  if (n == 0) return 0;
  const double* xy = p.vertices.xy_data();
  const std::size_t m = p.vertices.size();
  // Edge i runs from vertex i to vertex i + 1, a ring's last to vertex 0.
  const auto end_of = [&](std::size_t i) { return xy + 2 * (i + 1 == m ? 0 : i + 1); };
  double total = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128d ceiling = _mm_set1_pd(1e290), floor = _mm_set1_pd(1e-290);
  for (; i + 2 <= n; i += 2) {
    const __m128d a = _mm_loadu_pd(xy + 2 * i), b = _mm_loadu_pd(xy + 2 * i + 2), c = _mm_loadu_pd(end_of(i + 1));
    const __m128d e0 = _mm_sub_pd(b, a), e1 = _mm_sub_pd(c, b);
    const __m128d s0 = _mm_mul_pd(e0, e0), s1 = _mm_mul_pd(e1, e1);
    // (dx0² + dy0², dx1² + dy1²), each as edge_length forms it
    const __m128d d2 = _mm_add_pd(_mm_unpacklo_pd(s0, s1), _mm_unpackhi_pd(s0, s1));
    if (_mm_movemask_pd(_mm_and_pd(_mm_cmplt_pd(d2, ceiling), _mm_cmpgt_pd(d2, floor))) == 3) {
      const __m128d d = _mm_sqrt_pd(d2);
      total += _mm_cvtsd_f64(d);
      total += _mm_cvtsd_f64(_mm_unpackhi_pd(d, d));
    } else {
      const double* v = xy + 2 * i;
      const double* w = end_of(i + 1);
      total += edge_length(v[2] - v[0], v[3] - v[1]);
      total += edge_length(w[0] - v[2], w[1] - v[3]);
    }
  }
#endif
  for (; i < n; ++i) {
    const double* v = xy + 2 * i;
    const double* w = end_of(i);
    total += edge_length(w[0] - v[0], w[1] - v[1]);
  }
  return total;
}

// The part walked backwards, curves reversed with it.
Part reverse_part(const Part& p, bool closed);

// The vertex at fraction u of the way from a to b (x, y, z and m).
Vertex lerp(const Vertex& a, const Vertex& b, double u);

}  // namespace vaskelith::planar
