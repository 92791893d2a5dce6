// A circular arc seen from a point on it rather than from its centre.
//
// The centre of a nearly straight arc lies so far away that its rounding
// (an ulp of a coordinate some 1e14 away, say) is more than the arc bulges,
// and every distance measured from it loses as much.  Here the circle is
// written relative to a point of the arc, its anchor A, with w the unit
// vector from A towards the centre and k = 1 / radius:
//
//     f(P) = k |P - A|^2 - 2 (P - A) . w
//
// is zero on the circle, negative inside, and |P - C|^2 = r^2 (1 + k f(P)).
// Nothing in it grows with the radius; at k = 0 the circle is the line
// through A across w.  Below kChordFormSweep the anchor is the arc's start
// and w comes from the chord and the sweep, as the arc's points are placed
// (circular_arc_point); above it, from the centre, which is then near.
#pragma once

#include "geometry.hpp"

namespace vaskelith::planar {

class ArcFrame {
 public:
  // The frame of a circular arc with a positive radius and a sweep.
  explicit ArcFrame(const SegmentView& s);

  // f above: zero on the circle, negative inside.
  double power(double x, double y) const;
  // The signed distance of (x, y) from the circle, positive outside.
  double gap(double x, double y) const;

  // The point of the circle nearest to (x, y), with the signed distance to
  // it (as gap); false when (x, y) is the centre, which has no nearest point.
  bool nearest(double x, double y, double& bx, double& by, double& signed_gap) const;

  // Whether a point of the circle lies within the arc's sweep.
  bool holds(double x, double y) const;

  // The arc parameter (0 to 1) of a point on the arc, to rounding; a point
  // beyond an end gives that end.
  double param(double x, double y) const;

  // The line through (px, py) along the unit (ux, uy) against the circle.
  // Positions along the line are given from (px, py).
  struct LineMeeting {
    double foot_gap;  // the signed distance from the circle of the line's point nearest the centre
    double foot;      // that point's position (meaningless when the circle is all but straight and
                      // the line crosses it steeply: it then lies beyond any segment)
    int count = 0;    // the crossings, when the line passes inside
    double at[2];
  };
  LineMeeting meet_line(double px, double py, double ux, double uy) const;

  // The radical line of this circle and another: the points of equal power
  // of the two, where they cross when they do, and their common tangent
  // where they touch.  It runs through (px, py) along the unit (ux, uy);
  // false for concentric circles, which have none.
  bool radical_line(const ArcFrame& o, double& px, double& py, double& ux, double& uy) const;

  // The least distance between points of this arc and of another on the
  // line of their centres (the pairs where the distance between the two
  // circles is least or greatest), INFINITY when neither arc holds such a
  // pair, or NaN when it cannot be told to a few units of rounding of the
  // arcs' size: for circles all but one (centres and radii nearly equal),
  // whose line of centres has no direction to speak of.
  double centre_line_distance(const ArcFrame& o) const;

  // Whether the arc's centre lies more than a few times its chord and its
  // coordinates away: measured from the centre it would lose more than a
  // few units of rounding of its own coordinates.
  bool far_centred() const { return far_; }

  double curvature() const { return k_; }

 private:
  // Whether the circle's point in the unit direction (vx, vy) from its
  // centre lies within the arc.
  bool holds_direction(double vx, double vy) const;

  const EllipticArc* arc_;
  bool chord_form_, far_;
  double ax_, ay_;  // the anchor
  double wx_, wy_;  // unit, towards the centre
  double k_;
  double qx_, qy_;  // the chord, in the chord form
  double side_;     // +1 when the arc lies left of its chord, -1 right
  double half_;     // half the sweep's magnitude
};

}  // namespace vaskelith::planar
