// The union of many GEOS areas at a cost that grows with their number, not
// with its square.
#pragma once

#include <vector>

#include "engine/geos_context.hpp"

namespace vaskelith::planar {

// The union of `pieces` (areas) as one (multi)polygon.  GEOS's union of n
// pieces that never meet still runs n overlays and copies every piece into
// each; here only pieces whose extents meet are united, and the rest are
// gathered as they are.
geos::GeomPtr dissolve(std::vector<geos::GeomPtr> pieces);

// The union of `pieces` (areas; null and empty ones are skipped) at once;
// one piece is returned as it is.
geos::GeomPtr unite_areas(std::vector<geos::GeomPtr> pieces);

// The union of `pieces` (areas; null and empty ones are skipped) given in
// order along the lines they were made from, where most overlap one another.
// A union of all at once nodes every crossing of every pair although the
// result keeps hardly any; here runs of neighbours are united first, which
// leaves only their outlines to meet, then runs of those.
geos::GeomPtr unite_in_order(std::vector<geos::GeomPtr> pieces);

}  // namespace vaskelith::planar
