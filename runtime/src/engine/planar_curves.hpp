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

// `total` plus the lengths of the edges a -> b and b -> c, added in that
// order, one at a time: where either edge is too short or too long for its
// squares (see edge_length).  Out of line, so that the walks that call it
// keep no registers for it.
[[gnu::cold, gnu::noinline]] double add_edge_pair(double total, const double* a, const double* b, const double* c);

// The same of a part without curves (see straight_ring_signed_area).  The
// edges are measured two at a time where both are of plain size (see
// edge_length), with the same operations and roundings as one at a time,
// and added in order: the same sum to the last bit.  The edges between
// stored vertices come first, in pairs that read three vertices in a row;
// a ring's closing edge, back to vertex 0, is paired with the edge before
// it where one is left over, so that the loop asks nothing of where an
// edge ends.  Inlined by force into the walks over many small shapes,
// which measure each part without a call.
[[gnu::always_inline]] inline double straight_part_length(const Part& p, bool closed) {
  const std::size_t m = p.vertices.size();
  // A straight part of fewer than two vertices has no edge, closed or not.
  if (m < 2) return 0;
  const double* const xy = p.vertices.xy_data();
  const double* const last = xy + 2 * (m - 1);
  double total = 0;
  const double* v = xy;
#if defined(__SSE2__)
  const auto pair = [](double sum, const double* a, const double* b, const double* c) {
    const __m128d va = _mm_loadu_pd(a), vb = _mm_loadu_pd(b), vc = _mm_loadu_pd(c);
    const __m128d e0 = _mm_sub_pd(vb, va), e1 = _mm_sub_pd(vc, vb);
    const __m128d s0 = _mm_mul_pd(e0, e0), s1 = _mm_mul_pd(e1, e1);
    // (dx0² + dy0², dx1² + dy1²), each as edge_length forms it
    const __m128d d2 = _mm_add_pd(_mm_unpacklo_pd(s0, s1), _mm_unpackhi_pd(s0, s1));
    const __m128d plain = _mm_and_pd(_mm_cmplt_pd(d2, _mm_set1_pd(1e290)), _mm_cmpgt_pd(d2, _mm_set1_pd(1e-290)));
    if (_mm_movemask_pd(plain) != 3) [[unlikely]]
      return add_edge_pair(sum, a, b, c);
    const __m128d d = _mm_sqrt_pd(d2);
    sum += _mm_cvtsd_f64(d);
    return sum + _mm_cvtsd_f64(_mm_unpackhi_pd(d, d));
  };
  // Edges v -> v + 1 and v + 1 -> v + 2 (in vertices) while both lie
  // before the last vertex.
  for (; v + 4 <= last; v += 4) total = pair(total, v, v + 2, v + 4);
  if (closed && v != last) return pair(total, v, last, xy);  // the last inner edge and the closing one
#endif
  for (; v != last; v += 2) total += edge_length(v[2] - v[0], v[3] - v[1]);
  if (closed) total += edge_length(xy[0] - last[0], xy[1] - last[1]);
  return total;
}

// The part walked backwards, curves reversed with it.
Part reverse_part(const Part& p, bool closed);

// The vertex at fraction u of the way from a to b (x, y, z and m).
Vertex lerp(const Vertex& a, const Vertex& b, double u);

}  // namespace vaskelith::planar
