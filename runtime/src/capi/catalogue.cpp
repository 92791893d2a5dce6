// The exported functions of the transformation catalogue.
#include <optional>
#include <string>

#include "errors.hpp"
#include "handles.hpp"
#include "transformation_catalog.hpp"

using namespace vaskelith;

extern "C" {

QX_EXPORT QX_StringHandle
QX_TransformationCatalog_getProjectionEngineDirectory(const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_TransformationCatalog_getProjectionEngineDirectory", QX_StringHandle{},
                 [&]() -> QX_StringHandle {
                   const std::optional<std::string>& directory = projection_engine_directory();
                   if (!directory) return nullptr;
                   return make_string(*directory);
                 });
}

QX_EXPORT void QX_TransformationCatalog_setProjectionEngineDirectory(
    const char* path, const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_TransformationCatalog_setProjectionEngineDirectory",
               [&] { set_projection_engine_directory(path); });
}

QX_EXPORT QX_ArrayHandle
QX_TransformationCatalog_getTransformationsBySuitabilityWithAreaOfInterestAndIgnoreVertical(
    QX_SpatialReferenceHandle input_spatial_reference, QX_SpatialReferenceHandle output_spatial_reference,
    QX_GeometryHandle area_of_interest, bool ignore_vertical, const QX_ErrorHandler* handler) {
  return guarded(
      handler, "QX_TransformationCatalog_getTransformationsBySuitabilityWithAreaOfInterestAndIgnoreVertical",
      QX_ArrayHandle{}, [&] {
        const SpatialReferencePtr& in =
            deref(input_spatial_reference, "input spatial reference").spatial_reference;
        const SpatialReferencePtr& out =
            deref(output_spatial_reference, "output spatial reference").spatial_reference;
        const Geometry* aoi = area_of_interest ? &geometry_of(area_of_interest, "area of interest") : nullptr;
        return make_array(kDatumTransformationArray,
                          transformations_between(*in, *out, aoi, in, ignore_vertical));
      });
}

}  // extern "C"
