// Curve math: building exact arcs from the forms callers give, and reading
// their angles back.  Angles are radians; counter-clockwise is positive (y up).
#pragma once

#include <cmath>

#include "geometry.hpp"

namespace vaskelith {

// The circular arc from `start` through `interior` to `end`.  start == end
// gives the full circle through start and interior (counter-clockwise).
// Throws Failure for collinear or coincident points.
EllipticArc circular_arc_through(double sx, double sy, double ex, double ey, double ix, double iy);

// The circular arc about a center, in the given direction.  The center fixes
// the arc, so `minor` is not needed to choose it; start == end gives the full
// circle.  Throws Failure when start and end are not at one distance from the
// center (relative 1e-6) or the radius is zero.
EllipticArc circular_arc_with_center(double sx, double sy, double ex, double ey, double cx, double cy,
                                     bool counter_clockwise);

// The elliptic arc between two points on an ellipse of the given shape,
// choosing among the four candidate arcs by the minor and direction flags
// (the endpoint form of arcs).  An axis too short by no more than rounding is
// stretched to fit.  Throws Failure for unusable shapes.
EllipticArc elliptic_arc_from_endpoints(double sx, double sy, double ex, double ey, bool minor,
                                        bool counter_clockwise, double rotation, double semi_major,
                                        double ratio);

// The same arc where its center is known as well: the arc about that center
// when both points lie on the ellipse of the given shape about it (to 1e-9
// of the axis) and the flags agree with it, which is better conditioned
// than one found from the end points; otherwise the arc the end points and
// flags give.
EllipticArc elliptic_arc_with_center(double sx, double sy, double ex, double ey, double cx, double cy,
                                     bool minor, bool counter_clockwise, double rotation, double semi_major,
                                     double ratio);

// Angles of an arc as reported through the segment getters: the start and end
// angles are the polar angles (from the x axis, about the center) of the end
// points, with end = start + central; the central angle is signed like the
// sweep and lies within [-2pi, 2pi].
double arc_start_angle(const EllipticArc& a);
double arc_central_angle(const EllipticArc& a);
double arc_end_angle(const EllipticArc& a);

// The length of the straight edge (dx, dy): the square root of the sum of
// squares, as good as hypot and several times faster, while the sum lies
// between a floor and a ceiling (above it the squares may have overflowed,
// below it lost digits to underflow); hypot outside, but for an edge of no
// length.
inline double edge_length(double dx, double dy) {
  constexpr double kSquaresFloor = 1e-290, kSquaresCeiling = 1e290;
  const double d2 = dx * dx + dy * dy;
  const bool plain = d2 < kSquaresCeiling && (d2 > kSquaresFloor || (dx == 0 && dy == 0));
  return plain ? std::sqrt(d2) : std::hypot(dx, dy);
}

// Circular arcs of less than this sweep are placed, measured and related
// from their chord: the center of a nearly straight arc lies so far away
// that its coordinates round by more than the arc bulges.  From a quarter
// turn on the center is within a chord's length of the arc, and its own
// form is as good.
inline constexpr double kChordFormSweep = kPi / 2;

// The point at fraction u (0 to 1) of the sweep of a circular arc from
// (sx, sy) to (ex, ey).  Below a quarter turn it is placed from the end
// points and the sweep alone, never from the center: a nearly straight arc
// has its center so far away that the rounding of the center's coordinates
// is more than the arc's whole bulge.
void circular_arc_point(const EllipticArc& a, double sx, double sy, double ex, double ey, double u, double& x,
                        double& y);

// Length of a circular arc from (sx, sy) to (ex, ey); below a quarter turn
// it is the chord times (half sweep) / sin(half sweep), which is never less
// than the chord however straight the arc.
double circular_arc_length(const EllipticArc& a, double sx, double sy, double ex, double ey);

// t - sin t, the area between an arc and its chord in units of half the
// squared axes, without the cancellation of the difference at small t.
double sweep_less_sine(double t);

// Point of a cubic Bezier at t in [0, 1].
void bezier_point(double x0, double y0, const BezierCurve& b, double x1, double y1, double t, double& x,
                  double& y);

// Grows [xmin, xmax] x [ymin, ymax] to hold the segment (exact for curves).
void grow_extent(const SegmentView& s, double& xmin, double& xmax, double& ymin, double& ymax);

}  // namespace vaskelith
