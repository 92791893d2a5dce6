// The distance from a point to a small straight polyline or polygon,
// computed directly rather than through GEOS: for a point against a few
// segments, setting up GEOS's distance operation costs many times the
// measurement itself.
#pragma once
#include <optional>

#include "geometry.hpp"

namespace vaskelith::planar {

// The planar distance from point `p` to `g`, a polyline or a polygon without
// curves whose engine form is `g` as it stands (for a polygon: valid as
// given, so that its rings are the boundary GEOS would measure).  Every
// value is the one GEOS's own distance gives for the same operands: the
// same formula segment by segment, and zero for a point inside or on a
// polygon.  Empty where the answer is not certain without exact arithmetic
// (a point a rounding away from a ring's side): the caller asks GEOS.
std::optional<double> point_to_straight(const Vertex& p, const Geometry& g);

}  // namespace vaskelith::planar
