#include "binding/geometry_engine.hpp"

#include "binding/array.hpp"
#include "binding/call.hpp"
#include "binding/environment.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt {

std::string GeometryExtendOptions::debug() const {
  return "GeometryExtendOptions(" + std::to_string(bits) + ")";
}

namespace geometry_engine {
namespace {

GeometryOwned geometry(QX_GeometryHandle h) { return GeometryOwned::from_handle(h); }

// The result kind "downcast geometry": every caller asks for GeometryOwned,
// which still asks the runtime for the kind.
GeometryOwned downcast_geometry(QX_GeometryHandle h) {
  return GeometryOwned::from_handle(h).downcast<GeometryOwned>();
}

template <class T>
std::vector<T> list(QX_ArrayHandle h) {
  return array_into_vec<T>(Array::from_handle(h));
}


}  // namespace

GeometryOwned boundary(const GeometryBase& g) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_boundary, g.raw()));
}

GeometryOwned clip(const GeometryBase& g, const Envelope& envelope) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_clip, g.raw(), envelope.raw()));
}

GeometryOwned convex_hull(const GeometryBase& g) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_convexHull, g.raw()));
}

GeometryOwned densify(const GeometryBase& g, double max_segment_length) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_densify, g.raw(), max_segment_length));
}

GeometryOwned densify_geodetic(const GeometryBase& g, double max_segment_length, const LinearUnit* unit,
                               int32_t curve_type) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_densifyGeodetic, g.raw(), raw_or_null(unit), curve_type,
                                 max_segment_length));
}

GeometryOwned difference(const GeometryBase& g, const GeometryBase& other) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_difference, g.raw(), other.raw()));
}

GeometryOwned generalize(const GeometryBase& g, double max_deviation, bool remove_degenerate_parts) {
  return geometry(
      OSTREL_RT_CALL(QX_GeometryEngine_generalize, g.raw(), remove_degenerate_parts, max_deviation));
}

GeometryOwned intersection(const GeometryBase& g, const GeometryBase& other) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_intersection, g.raw(), other.raw()));
}

GeometryOwned rotate(const GeometryBase& g, const Point* origin, double angle) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_rotate, g.raw(), raw_or_null(origin), angle));
}

GeometryOwned scale(const GeometryBase& g, const Point* origin, double scale_x, double scale_y) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_scale, g.raw(), raw_or_null(origin), scale_x, scale_y));
}

GeometryOwned simplify(const GeometryBase& g) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_simplify, g.raw()));
}

GeometryOwned symmetric_difference(const GeometryBase& g, const GeometryBase& other) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_symmetricDifference, g.raw(), other.raw()));
}

GeometryOwned union_(const GeometryBase& g, const GeometryBase& other) {
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_union, g.raw(), other.raw()));
}

GeometryOwned move_relative(const GeometryBase& g, double delta_x, double delta_y) {
  return downcast_geometry(OSTREL_RT_CALL(QX_GeometryEngine_move, g.raw(), delta_x, delta_y));
}

GeometryOwned project(const GeometryBase& g, const SpatialReference& spatial_reference) {
  return downcast_geometry(OSTREL_RT_CALL(QX_GeometryEngine_project, g.raw(), spatial_reference.raw()));
}

std::vector<GeometryOwned> project_each(std::span<const GeometryBase* const> geometries,
                                        const SpatialReference& spatial_reference) {
  std::vector<QX_GeometryHandle> raw;
  raw.reserve(geometries.size());
  for (const GeometryBase* g : geometries) raw.push_back(g->raw());
  std::vector<QX_GeometryHandle> projected(raw.size());
  OSTREL_RT_CALL(QX_GeometryEngine_projectEach, raw.data(), raw.size(), spatial_reference.raw(), projected.data());
  std::vector<GeometryOwned> out;
  out.reserve(projected.size());
  for (QX_GeometryHandle h : projected) out.push_back(downcast_geometry(h));
  return out;
}

GeometryOwned project_with_transformation(const GeometryBase& g, const SpatialReference& spatial_reference,
                                          const DatumTransformationOwned& transformation) {
  return downcast_geometry(OSTREL_RT_CALL(QX_GeometryEngine_projectWithTransformation, g.raw(),
                                          spatial_reference.raw(), transformation.raw()));
}

GeometryOwned set_m(const GeometryBase& g, double m) {
  return downcast_geometry(OSTREL_RT_CALL(QX_GeometryEngine_setM, g.raw(), m));
}

GeometryOwned set_z(const GeometryBase& g, double z) {
  return downcast_geometry(OSTREL_RT_CALL(QX_GeometryEngine_setZ, g.raw(), z));
}

GeometryOwned set_z_and_m(const GeometryBase& g, double z, double m) {
  return downcast_geometry(OSTREL_RT_CALL(QX_GeometryEngine_setZAndM, g.raw(), z, m));
}

Polygon buffer(const GeometryBase& g, double distance) {
  return Polygon::from_handle(OSTREL_RT_CALL(QX_GeometryEngine_buffer, g.raw(), distance));
}

Polygon buffer_geodetic(const GeometryBase& g, double distance, const LinearUnit* distance_unit,
                        double max_deviation, int32_t curve_type) {
  return Polygon::from_handle(OSTREL_RT_CALL(QX_GeometryEngine_bufferGeodetic, g.raw(),
                                             raw_or_null(distance_unit), curve_type, distance,
                                             max_deviation));
}

Envelope combine_extents(const GeometryBase& g, const GeometryBase& other) {
  return Envelope::from_handle(OSTREL_RT_CALL(QX_GeometryEngine_combineExtents, g.raw(), other.raw()));
}

Point label_point(const Polygon& polygon) {
  return Point::from_handle(OSTREL_RT_CALL(QX_GeometryEngine_labelPoint, polygon.raw()));
}

Point with_point_along(const Polyline& polyline, double distance) {
  return Point::from_handle(OSTREL_RT_CALL(QX_GeometryEngine_createPointAlong, polyline.raw(), distance));
}

std::optional<Polyline> extend(const Polyline& polyline, const Polyline& extender,
                               GeometryExtendOptions options) {
  QX_GeometryHandle h =
      OSTREL_RT_CALL(QX_GeometryEngine_extend, polyline.raw(), extender.raw(), options.bits);
  if (h == nullptr) return std::nullopt;
  return Polyline(adopt, h);
}

GeometryOwned remove_m(const GeometryBase& g) {
  return geometry(OSTREL_RT_CALL_FATAL(QX_GeometryEngine_removeM, g.raw()));
}

GeometryOwned remove_z(const GeometryBase& g) {
  return geometry(OSTREL_RT_CALL_FATAL(QX_GeometryEngine_removeZ, g.raw()));
}

GeometryOwned remove_z_and_m(const GeometryBase& g) {
  return geometry(OSTREL_RT_CALL_FATAL(QX_GeometryEngine_removeZAndM, g.raw()));
}

std::optional<GeometryOwned> normalize_central_meridian(const GeometryBase& g) {
  QX_GeometryHandle h = OSTREL_RT_CALL_FATAL(QX_GeometryEngine_normalizeCentralMeridian, g.raw());
  if (h == nullptr) return std::nullopt;
  return GeometryOwned(adopt, h);
}

std::vector<GeometryOwned> cut(const GeometryBase& g, const Polyline& cutter) {
  return list<GeometryOwned>(OSTREL_RT_CALL(QX_GeometryEngine_cut, g.raw(), cutter.raw()));
}

std::vector<GeometryOwned> intersections(const GeometryBase& g, const GeometryBase& other) {
  return list<GeometryOwned>(OSTREL_RT_CALL(QX_GeometryEngine_intersections, g.raw(), other.raw()));
}

bool contains(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_contains, g.raw(), other.raw());
}
bool crosses(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_crosses, g.raw(), other.raw());
}
bool disjoint(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_disjoint, g.raw(), other.raw());
}
bool equals(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_equals, g.raw(), other.raw());
}
bool intersects(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_intersects, g.raw(), other.raw());
}
bool overlaps(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_overlaps, g.raw(), other.raw());
}

bool relate(const GeometryBase& g, const GeometryBase& other, std::string_view relation) {
  std::string c_relation = to_c_string(relation, "Failed to convert string to CString");
  return OSTREL_RT_CALL(QX_GeometryEngine_relate, g.raw(), other.raw(), c_relation.c_str());
}

bool touches(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_touches, g.raw(), other.raw());
}
bool within(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_within, g.raw(), other.raw());
}

bool is_simple(const GeometryBase& g) { return OSTREL_RT_CALL_FATAL(QX_GeometryEngine_isSimple, g.raw()); }
double area(const GeometryBase& g) { return OSTREL_RT_CALL_FATAL(QX_GeometryEngine_area, g.raw()); }
double length(const GeometryBase& g) { return OSTREL_RT_CALL_FATAL(QX_GeometryEngine_length, g.raw()); }
double distance(const GeometryBase& g, const GeometryBase& other) {
  return OSTREL_RT_CALL(QX_GeometryEngine_distance, g.raw(), other.raw());
}

double area_geodetic(const GeometryBase& g, const AreaUnit* unit, int32_t curve_type) {
  return OSTREL_RT_CALL(QX_GeometryEngine_areaGeodetic, g.raw(), raw_or_null(unit), curve_type);
}

double length_geodetic(const GeometryBase& g, const LinearUnit* unit, int32_t curve_type) {
  return OSTREL_RT_CALL(QX_GeometryEngine_lengthGeodetic, g.raw(), raw_or_null(unit), curve_type);
}

double fraction_along(const Polyline& polyline, const Point& point, double tolerance) {
  return OSTREL_RT_CALL(QX_GeometryEngine_fractionAlong, polyline.raw(), point.raw(), tolerance);
}

// ---- collections: the vectors live for the call only ----

std::vector<Polygon> auto_complete(const GeometrySource& existing_boundaries,
                                   const GeometrySource& new_boundaries) {
  environment::init();
  Vector existing = Vector::try_from_geometries(existing_boundaries);
  Vector added = Vector::try_from_geometries(new_boundaries);
  return list<Polygon>(OSTREL_RT_CALL(QX_GeometryEngine_autoComplete, existing.raw(), added.raw()));
}

std::vector<Polygon> buffer_collection(const GeometrySource& geometries, const F64Source& distances,
                                       bool union_result) {
  environment::init();
  Vector gv = Vector::try_from_geometries(geometries);
  Vector dv = Vector::try_from_f64s(distances);
  return list<Polygon>(OSTREL_RT_CALL(QX_GeometryEngine_bufferCollection, gv.raw(), dv.raw(), union_result));
}

std::vector<Polygon> buffer_geodetic_collection(const GeometrySource& geometries, const F64Source& distances,
                                                const LinearUnit* distance_unit, double max_deviation,
                                                int32_t curve_type, bool union_result) {
  environment::init();
  Vector gv = Vector::try_from_geometries(geometries);
  Vector dv = Vector::try_from_f64s(distances);
  return list<Polygon>(OSTREL_RT_CALL(QX_GeometryEngine_bufferGeodeticCollection, gv.raw(), dv.raw(),
                                      raw_or_null(distance_unit), curve_type, union_result, max_deviation));
}

Envelope combine_extents_collection(const GeometrySource& geometries) {
  environment::init();
  Vector gv = Vector::try_from_geometries(geometries);
  return Envelope::from_handle(OSTREL_RT_CALL(QX_GeometryEngine_combineExtentsCollection, gv.raw()));
}

std::vector<GeometryOwned> convex_hull_collection(const GeometrySource& geometries, bool merge) {
  environment::init();
  Vector gv = Vector::try_from_geometries(geometries);
  return list<GeometryOwned>(OSTREL_RT_CALL(QX_GeometryEngine_convexHullCollection, gv.raw(), merge));
}

GeometryOwned union_collection(const GeometrySource& geometries) {
  environment::init();
  Vector gv = Vector::try_from_geometries(geometries);
  return geometry(OSTREL_RT_CALL(QX_GeometryEngine_unionCollection, gv.raw()));
}

// ---- one question of many geometries ----

void area_each(std::span<const QX_GeometryHandle> geometries, double* results) {
  detail::call_or_fatal("QX_GeometryEngine_area", QX(vaskelith_each_area), geometries.data(),
                        geometries.size(), results);
}

void length_each(std::span<const QX_GeometryHandle> geometries, double* results) {
  detail::call_or_fatal("QX_GeometryEngine_length", QX(vaskelith_each_length), geometries.data(),
                        geometries.size(), results);
}

void distance_each(const GeometryBase& geometry, std::span<const QX_GeometryHandle> others, double* results) {
  OSTREL_RT_CALL(vaskelith_each_distance, geometry.raw(), others.data(), others.size(), results);
}

std::size_t relation_each(const GeometryBase& geometry, std::span<const QX_GeometryHandle> others,
                          Relation relation, bool others_first, bool stop_at) {
  return OSTREL_RT_CALL(vaskelith_each_relation, geometry.raw(), others.data(), others.size(),
                        static_cast<int32_t>(relation), others_first, stop_at);
}

}  // namespace geometry_engine
}  // namespace ostrel::rt
