// The exported geodetic functions: length, area, densification and buffers
// measured on the ellipsoid.
#include <algorithm>
#include <string>
#include <variant>
#include <vector>

#include "capi/unit_factors.hpp"
#include "engine/geodetic_frame.hpp"
#include "engine/geodetic_ops.hpp"
#include "errors.hpp"
#include "handles.hpp"

using namespace vaskelith;

namespace {

// The distances of a collection call, paired with the geometries: when there
// are fewer distances than geometries, the last serves the rest.
double distance_at(const std::vector<Value>& distances, std::size_t i) {
  if (distances.empty()) fail(kInvalidArgument, "No buffer distance was given.");
  const Value& v = distances[std::min(i, distances.size() - 1)];
  if (const double* d = std::get_if<double>(&v)) return *d;
  fail(kWrongType, "A buffer distance is not a number.");
}

}  // namespace

extern "C" {

QX_EXPORT double QX_GeometryEngine_lengthGeodetic(QX_GeometryHandle geometry,
                                                  QX_UnitHandle length_unit, int32_t curve_type,
                                                  const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_lengthGeodetic", 0.0, [&] {
    const Geometry& g = geometry_of(geometry);
    const geodetic::CurveType type = geodetic::curve_type_from(curve_type);
    const double factor = linear_unit_factor(length_unit);
    return geodetic::length_of(g, type) / factor;
  });
}

QX_EXPORT double QX_GeometryEngine_areaGeodetic(QX_GeometryHandle geometry,
                                                QX_UnitHandle area_unit, int32_t curve_type,
                                                const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_areaGeodetic", 0.0, [&] {
    const Geometry& g = geometry_of(geometry);
    const geodetic::CurveType type = geodetic::curve_type_from(curve_type);
    const double factor = area_unit_factor(area_unit);
    return geodetic::area_of(g, type) / factor;
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_densifyGeodetic(QX_GeometryHandle geometry,
                                                              QX_UnitHandle length_unit,
                                                              int32_t curve_type,
                                                              double max_segment_length,
                                                              const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_densifyGeodetic", static_cast<QX_GeometryHandle>(nullptr), [&] {
    const Geometry& g = geometry_of(geometry);
    const geodetic::CurveType type = geodetic::curve_type_from(curve_type);
    const double factor = linear_unit_factor(length_unit);
    return make_handle(geodetic::densify(g, type, max_segment_length * factor));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_bufferGeodetic(QX_GeometryHandle geometry,
                                                             QX_UnitHandle distance_unit,
                                                             int32_t curve_type, double distance,
                                                             double max_deviation,
                                                             const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_bufferGeodetic", QX_GeometryHandle{}, [&] {
    const Geometry& g = geometry_of(geometry);
    const geodetic::CurveType type = geodetic::curve_type_from(curve_type);
    const double factor = linear_unit_factor(distance_unit);
    return make_handle(geodetic::buffer_geodetic(g, type, distance * factor, max_deviation * factor));
  });
}

QX_EXPORT QX_ArrayHandle QX_GeometryEngine_bufferGeodeticCollection(
    QX_VectorHandle geometries, QX_VectorHandle distances, QX_UnitHandle distance_unit, int32_t curve_type,
    bool union_result, double max_deviation, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_bufferGeodeticCollection", QX_ArrayHandle{}, [&] {
    const auto& items = deref(geometries, "geometries").items;
    const auto& dists = deref(distances, "distances").items;
    const geodetic::CurveType type = geodetic::curve_type_from(curve_type);
    const double factor = linear_unit_factor(distance_unit);
    std::vector<GeometryPtr> buffers;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const GeometryPtr* g = std::get_if<GeometryPtr>(&items[i]);
      if (!g || !*g) fail(kWrongType, "A geometry of the collection is missing.");
      buffers.push_back(
          geodetic::buffer_geodetic(**g, type, distance_at(dists, i) * factor, max_deviation * factor));
    }
    std::vector<Value> out;
    if (union_result && !buffers.empty()) {
      out.emplace_back(geodetic::unite_buffers(buffers));
    } else {
      for (GeometryPtr& b : buffers) out.emplace_back(std::move(b));
    }
    return make_array(QX_ELEMENT_TYPE_GEOMETRY, std::move(out));
  });
}

}  // extern "C"
