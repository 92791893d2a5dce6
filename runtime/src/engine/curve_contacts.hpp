// Where the circles of an overlay's operands meet or come near one another
// or the straight segments of another operand.
#pragma once

#include <vector>

#include "geometry.hpp"

namespace vaskelith::planar {

// GEOS overlays the chords that stand for curves, and chords lie inside
// their circle by up to its own tolerance: where circles of two operands
// cross, touch or pass closer than that, the chords cross elsewhere than the
// circles do, or not at all, and the pieces put back on the result are cut
// at the wrong places.  Within the current linearisation scope this makes
// the chords of every circular arc of the operands pass through the points
// where its circle meets a circle of another operand (one point for both)
// or touches or nearly touches a straight segment of one, and cuts the
// stretches where the two come near into chords short enough that they
// keep to the side of each other the curves keep to.
void mark_circle_contacts(const std::vector<const Geometry*>& operands);

}  // namespace vaskelith::planar
