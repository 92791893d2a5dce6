// Conversion between the runtime's geometries and GEOS geometries.
//
// GEOS sees straight segments in two dimensions only: curves are replaced by
// chords (planar_curves.hpp), z and m stay behind.  Results come back with
// the engine's conventions (rings open, exterior rings clockwise and holes
// counter-clockwise), and the inputs' z, m and curves are put back by a
// SourceIndex (geos_sources.hpp).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/geos_context.hpp"
#include "engine/geos_sources.hpp"
#include "geometry.hpp"

namespace vaskelith::planar {

// Topological dimension of a kind: 0 points, 1 polylines, 2 areas.
int dimension(GeometryKind kind);

// The GEOS form of a geometry.  Points become POINT, multipoints MULTIPOINT,
// polylines MULTILINESTRING, polygons and envelopes (MULTI)POLYGON, whose
// rings are grouped by nesting (a ring inside an odd number of others is a
// hole), whatever their orientation.  `tolerance` is the chord tolerance for
// curves (<= 0: each curve's own, see own_tolerance).  With `repair`, an invalid area is made
// valid first, so that overlays do not fail on self-intersecting rings.
geos::GeomPtr to_geos(const Geometry& g, double tolerance = 0, bool repair = true);

// A valid copy of a GEOS area that is not valid (made so as to_geos repairs
// areas); null when it is valid already.
geos::GeomPtr repaired_area(const GEOSGeometry* g);

// Groups rings (already linear) into polygons: each group lists the
// exterior ring's index first, then its holes.
std::vector<std::vector<std::size_t>> nest_rings(const std::vector<Part>& rings);

// How a GEOS result becomes a runtime geometry.
struct ResultSpec {
  GeometryKind kind = GeometryKind::Polygon;
  bool has_z = false;
  bool has_m = false;
  SpatialReferencePtr spatial_reference;
  const SourceIndex* attributes = nullptr;  // may be null: z and m NaN
  bool merge_lines = true;  // join polyline pieces that meet end to start
};

// The components of `g` of the kind's dimension, as a geometry of that kind
// (a Point takes the first point; an Envelope the extent of everything).
GeometryPtr from_geos(const GEOSGeometry* g, const ResultSpec& spec);

// An empty geometry of the given kind.
GeometryPtr empty_geometry(GeometryKind kind, bool has_z, bool has_m, SpatialReferencePtr sr);

// Orients polygon rings the engine's way: exterior rings clockwise, holes
// counter-clockwise, by nesting.  Curves are kept.  With `group`, each
// exterior ring is also followed by its holes.
void orient_rings(std::vector<Part>& rings, bool group = false);

// Whether (x, y) lies inside the linear ring (boundary excluded); -1 on the
// boundary, 1 inside, 0 outside.
int locate_in_ring(const Part& ring, double x, double y);

}  // namespace vaskelith::planar
