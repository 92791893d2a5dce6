// One function per geometry-engine operation of the runtime.
//
// Inputs are borrowed (the collection functions consume what their sources
// hand over); results are new handles owned by the caller.  Unless marked
// "fatal", a runtime error is thrown as the runtime's Error.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/datum_transformation.hpp"
#include "binding/geometry.hpp"
#include "binding/spatial_reference.hpp"
#include "binding/vector.hpp"

namespace ostrel::rt {

// The flag set handed to `extend`, passed to the runtime unchanged.
struct GeometryExtendOptions {
  uint32_t bits = 0;
  // "GeometryExtendOptions(5)"
  std::string debug() const;
};

namespace geometry_engine {

GeometryOwned boundary(const GeometryBase& geometry);
GeometryOwned clip(const GeometryBase& geometry, const Envelope& envelope);
GeometryOwned convex_hull(const GeometryBase& geometry);
GeometryOwned densify(const GeometryBase& geometry, double max_segment_length);
GeometryOwned densify_geodetic(const GeometryBase& geometry, double max_segment_length,
                               const LinearUnit* unit, int32_t curve_type);
GeometryOwned difference(const GeometryBase& geometry, const GeometryBase& other);
GeometryOwned generalize(const GeometryBase& geometry, double max_deviation, bool remove_degenerate_parts);
GeometryOwned intersection(const GeometryBase& geometry, const GeometryBase& other);
GeometryOwned rotate(const GeometryBase& geometry, const Point* origin, double angle);
GeometryOwned scale(const GeometryBase& geometry, const Point* origin, double scale_x, double scale_y);
GeometryOwned simplify(const GeometryBase& geometry);
GeometryOwned symmetric_difference(const GeometryBase& geometry, const GeometryBase& other);
GeometryOwned union_(const GeometryBase& geometry, const GeometryBase& other);

// These end with the kind query of downcast (a failed query is fatal).
GeometryOwned move_relative(const GeometryBase& geometry, double delta_x, double delta_y);
GeometryOwned project(const GeometryBase& geometry, const SpatialReference& spatial_reference);
// Each geometry projected as project() projects it, in one runtime call.
std::vector<GeometryOwned> project_each(std::span<const GeometryBase* const> geometries,
                                        const SpatialReference& spatial_reference);
GeometryOwned project_with_transformation(const GeometryBase& geometry,
                                          const SpatialReference& spatial_reference,
                                          const DatumTransformationOwned& transformation);
GeometryOwned set_m(const GeometryBase& geometry, double m);
GeometryOwned set_z(const GeometryBase& geometry, double z);
GeometryOwned set_z_and_m(const GeometryBase& geometry, double z, double m);

Polygon buffer(const GeometryBase& geometry, double distance);
Polygon buffer_geodetic(const GeometryBase& geometry, double distance, const LinearUnit* distance_unit,
                        double max_deviation, int32_t curve_type);
Envelope combine_extents(const GeometryBase& geometry, const GeometryBase& other);
Point label_point(const Polygon& polygon);
Point with_point_along(const Polyline& polyline, double distance);
// Absent when the runtime extends nothing.
std::optional<Polyline> extend(const Polyline& polyline, const Polyline& extender,
                               GeometryExtendOptions options);

// Fatal on a runtime error.
GeometryOwned remove_m(const GeometryBase& geometry);
GeometryOwned remove_z(const GeometryBase& geometry);
GeometryOwned remove_z_and_m(const GeometryBase& geometry);
std::optional<GeometryOwned> normalize_central_meridian(const GeometryBase& geometry);

std::vector<GeometryOwned> cut(const GeometryBase& geometry, const Polyline& cutter);
std::vector<GeometryOwned> intersections(const GeometryBase& geometry, const GeometryBase& other);

bool contains(const GeometryBase& geometry, const GeometryBase& other);
bool crosses(const GeometryBase& geometry, const GeometryBase& other);
bool disjoint(const GeometryBase& geometry, const GeometryBase& other);
bool equals(const GeometryBase& geometry, const GeometryBase& other);
bool intersects(const GeometryBase& geometry, const GeometryBase& other);
bool overlaps(const GeometryBase& geometry, const GeometryBase& other);
// A NUL byte in the relation is fatal ("Failed to convert string to CString").
bool relate(const GeometryBase& geometry, const GeometryBase& other, std::string_view relation);
bool touches(const GeometryBase& geometry, const GeometryBase& other);
bool within(const GeometryBase& geometry, const GeometryBase& other);
// Fatal on a runtime error.
bool is_simple(const GeometryBase& geometry);
double area(const GeometryBase& geometry);
double length(const GeometryBase& geometry);
double distance(const GeometryBase& geometry, const GeometryBase& other);

double area_geodetic(const GeometryBase& geometry, const AreaUnit* unit, int32_t curve_type);
double length_geodetic(const GeometryBase& geometry, const LinearUnit* unit, int32_t curve_type);
double fraction_along(const Polyline& polyline, const Point& point, double tolerance);

// Collection functions: run the environment initialisation, build the vectors
// from the sources (a failure throws at once, leaving later sources unread),
// call the runtime, release the vectors.
std::vector<Polygon> auto_complete(const GeometrySource& existing_boundaries,
                                   const GeometrySource& new_boundaries);
std::vector<Polygon> buffer_collection(const GeometrySource& geometries, const F64Source& distances,
                                       bool union_result);
std::vector<Polygon> buffer_geodetic_collection(const GeometrySource& geometries, const F64Source& distances,
                                                const LinearUnit* distance_unit, double max_deviation,
                                                int32_t curve_type, bool union_result);
Envelope combine_extents_collection(const GeometrySource& geometries);
std::vector<GeometryOwned> convex_hull_collection(const GeometrySource& geometries, bool merge);
GeometryOwned union_collection(const GeometrySource& geometries);

// One question of many geometries (borrowed raw handles) in one runtime
// call: each geometry answered, in order, as the function of the same name
// without `_each` answers for it, up to the first failure, which is that
// function's (thrown, or fatal where that function's is).  Nothing is
// written for a geometry after a failure.
void area_each(std::span<const QX_GeometryHandle> geometries, double* results);    // fatal
void length_each(std::span<const QX_GeometryHandle> geometries, double* results);  // fatal
void distance_each(const GeometryBase& geometry, std::span<const QX_GeometryHandle> others, double* results);

enum class Relation : int32_t {
  Contains = VASKELITH_CONTAINS,
  Crosses = VASKELITH_CROSSES,
  Disjoint = VASKELITH_DISJOINT,
  Intersects = VASKELITH_INTERSECTS,
  Overlaps = VASKELITH_OVERLAPS,
  Touches = VASKELITH_TOUCHES,
  Within = VASKELITH_WITHIN,
};
// `relation` of (geometry, other) for each other, or of (other, geometry)
// when `others_first`, until one answers `stop_at`: its index, or the
// number of others when none does.
std::size_t relation_each(const GeometryBase& geometry, std::span<const QX_GeometryHandle> others,
                          Relation relation, bool others_first, bool stop_at);

}  // namespace geometry_engine
}  // namespace ostrel::rt
