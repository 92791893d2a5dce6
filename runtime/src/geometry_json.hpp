// The runtime's JSON form of geometries: the zorvjson shapes ("x"/"y",
// "points", "paths"/"curvePaths", "rings"/"curveRings", "xmin"...) with
// "hasZ"/"hasM" and "spatialReference".
#pragma once

#include <string>
#include <string_view>

#include "geometry.hpp"

namespace vaskelith {

std::string geometry_to_json(const Geometry& g);
// Throws Failure for text that is not JSON or not a geometry.
GeometryPtr geometry_from_json(std::string_view text);

}  // namespace vaskelith
