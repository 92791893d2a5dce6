// The planar geometry engine: operations on runtime geometries.
//
// Every operation takes immutable geometries and returns new ones, with the
// spatial reference of its first operand.  Overlays and relations go through
// GEOS (geos_convert.hpp); measurement, densification, generalisation,
// boundaries, affine transformations and z/m editing are computed here
// directly on the segments, so that curves, z and m survive them exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry.hpp"

namespace vaskelith::planar {

enum class Overlay { Union, Intersection, Difference, SymmetricDifference };
enum class Relation { Contains, Crosses, Disjoint, Equals, Intersects, Overlaps, Touches, Within };

// Overlays.  Union and symmetric difference give the higher dimension of the
// two operands, intersection the lower, difference the first operand's.
GeometryPtr overlay(const Geometry& a, const Geometry& b, Overlay op);
// The intersection split by dimension: one geometry per dimension present,
// points (a multipoint) first, then lines, then areas.
std::vector<GeometryPtr> intersections(const Geometry& a, const Geometry& b);
GeometryPtr clip(const Geometry& g, const Geometry& envelope);
GeometryPtr buffer(const Geometry& g, double distance);
// buffer for a geometry and distance that check_buffer_range has already let
// through.
GeometryPtr buffer_in_range(const Geometry& g, double distance);
GeometryPtr convex_hull(const Geometry& g);
GeometryPtr boundary(const Geometry& g);
GeometryPtr simplify(const Geometry& g);
// The same, giving `g` itself back when it is simple already.
GeometryPtr simplify(const GeometryPtr& g);
bool is_simple(const Geometry& g);
GeometryPtr combine_extents(const std::vector<const Geometry*>& gs);

bool relation(const Geometry& a, const Geometry& b, Relation r);
bool relate(const Geometry& a, const Geometry& b, const std::string& pattern);
double distance(const Geometry& a, const Geometry& b);

double area(const Geometry& g);
double length(const Geometry& g);
GeometryPtr densify(const Geometry& g, double max_segment_length);
GeometryPtr label_point(const Geometry& polygon);
GeometryPtr point_along(const Geometry& polyline, double distance);
double fraction_along(const Geometry& polyline, const Geometry& point, double tolerance);

// x' = m[0] x + m[1] y + m[2], y' = m[3] x + m[4] y + m[5].
GeometryPtr affine(const Geometry& g, const double m[6]);
GeometryPtr move(const Geometry& g, double dx, double dy);
GeometryPtr rotate(const Geometry& g, const Geometry* origin, double degrees);
GeometryPtr scale(const Geometry& g, const Geometry* origin, double sx, double sy);
// Scaled by `f` about (0, 0): exact for a power of two, as the operations
// that bring coordinates into GEOS's range use it.
GeometryPtr scaled(const Geometry& g, double f);
// Sets (or, with the value absent, removes) z and m.
GeometryPtr set_z_m(const Geometry& g, bool change_z, bool keep_z, double z, bool change_m, bool keep_m, double m);
GeometryPtr generalize(const Geometry& g, double max_deviation, bool remove_degenerate_parts);
// Null when the geometry's spatial reference has no central meridian to
// normalise to (none, or a projected system that does not wrap).
GeometryPtr normalize_central_meridian(const Geometry& g);

// Extension flags.
enum ExtendFlags : uint32_t {
  kExtendRelocateEnds = 1,
  kExtendKeepEndAttributes = 2,
  kExtendNoEndAttributes = 4,
  kExtendNotFromStart = 8,
  kExtendNotFromEnd = 16,
};
// Null when no end could be extended.
GeometryPtr extend(const Geometry& polyline, const Geometry& extender, uint32_t options);
std::vector<GeometryPtr> cut(const Geometry& g, const Geometry& cutter);

std::vector<GeometryPtr> buffer_collection(const std::vector<GeometryPtr>& gs, const std::vector<double>& distances,
                                           bool union_result);
GeometryPtr union_collection(const std::vector<GeometryPtr>& gs);
std::vector<GeometryPtr> convex_hull_collection(const std::vector<GeometryPtr>& gs, bool merge);
std::vector<GeometryPtr> auto_complete(const std::vector<GeometryPtr>& existing,
                                       const std::vector<GeometryPtr>& new_boundaries);

}  // namespace vaskelith::planar
