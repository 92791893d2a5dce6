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

}  // namespace vaskelith::planar
