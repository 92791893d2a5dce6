// The geodetic operations on whole geometries: measures on the ellipsoid,
// densification along the chosen curve type, and buffers.  Distances are in
// meters and areas in square meters.
#pragma once

#include <vector>

#include "engine/geodetic_frame.hpp"
#include "geometry.hpp"

namespace vaskelith::geodetic {

double length_of(const Geometry& g, CurveType type);
double area_of(const Geometry& g, CurveType type);
GeometryPtr densify(const Geometry& g, CurveType type, double max_len);

// The points within `distance` of the geometry, as a polygon in its spatial
// reference; the boundary strays at most `max_deviation` from the true one.
GeometryPtr buffer_geodetic(const Geometry& g, CurveType type, double distance, double max_deviation);

// One polygon covering every buffer (at least one), in the spatial reference
// of the first.
GeometryPtr unite_buffers(const std::vector<GeometryPtr>& buffers);

}  // namespace vaskelith::geodetic
