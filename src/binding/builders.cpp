#include "binding/builders.hpp"

#include "binding/call.hpp"
#include "binding/environment.hpp"

namespace ostrel::rt {

GeometryOwned GeometryBuilderBase::to_geometry() const {
  return GeometryOwned::from_handle(OSTREL_RT_CALL_FATAL(QX_GeometryBuilder_toGeometry, raw()));
}

void MultipartBuilderBase::set_parts(const MutablePartCollection& parts) {
  OSTREL_RT_CALL_FATAL(QX_MultipartBuilder_setParts, raw(), parts.raw());
}

void MultipartBuilderBase::add_part(const double* xs, const double* ys, const double* zs, std::size_t n) {
  OSTREL_RT_CALL_FATAL(vaskelith_builder_add_part, raw(), xs, ys, zs, n);
}

GeometryOwned MultipartBuilderBase::take_geometry() {
  return GeometryOwned::from_handle(OSTREL_RT_CALL_FATAL(vaskelith_builder_take_geometry, raw()));
}

PolygonBuilder PolygonBuilder::with_spatial_reference(const SpatialReference* sr) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_PolygonBuilder_createFromSpatialReference, raw_or_null(sr)));
}

PolylineBuilder PolylineBuilder::with_spatial_reference(const SpatialReference* sr) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_PolylineBuilder_createFromSpatialReference, raw_or_null(sr)));
}

MultipointBuilder MultipointBuilder::with_spatial_reference(const SpatialReference* sr) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_MultipointBuilder_createFromSpatialReference, raw_or_null(sr)));
}

void MultipointBuilder::set_points(const MutablePointCollection& points) {
  OSTREL_RT_CALL_FATAL(QX_MultipointBuilder_setPoints, raw(), points.raw());
}

}  // namespace ostrel::rt
