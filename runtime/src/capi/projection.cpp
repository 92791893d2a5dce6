// The exported projection functions: geometries projected between spatial
// references, and the datum transformations the catalogue hands out.
#include <cstddef>
#include <vector>

#include "engine/projection_transform.hpp"
#include "errors.hpp"
#include "handles.hpp"
#include "transformation_datum.hpp"

using namespace vaskelith;

namespace {

const DatumTransformation& transformation_of(QX_DatumTransformationHandle h) {
  return *deref(h, "transformation").transformation;
}

}  // namespace

extern "C" {

/* ---- Projection ---- */

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_project(QX_GeometryHandle geometry,
                                                      QX_SpatialReferenceHandle spatial_reference,
                                                      const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_project", QX_GeometryHandle{}, [&] {
    const Geometry& g = geometry_of(geometry);
    const SpatialReferencePtr& sr = deref(spatial_reference, "spatial reference").spatial_reference;
    return make_handle(projection::project_geometry(g, sr));
  });
}

QX_EXPORT void QX_GeometryEngine_projectEach(const QX_GeometryHandle* geometries, size_t count,
                                            QX_SpatialReferenceHandle spatial_reference, QX_GeometryHandle* results,
                                            const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_GeometryEngine_projectEach", [&] {
    if (count > 0 && (geometries == nullptr || results == nullptr))
      fail(kNullHandle, "The geometries or the results are null.");
    const SpatialReferencePtr& sr = deref(spatial_reference, "spatial reference").spatial_reference;
    std::vector<const Geometry*> gs(count);
    for (std::size_t i = 0; i < count; ++i) gs[i] = &geometry_of(geometries[i]);
    std::vector<GeometryPtr> projected = projection::project_geometries(gs, sr);
    std::size_t made = 0;
    try {
      for (; made < count; ++made) results[made] = make_handle(std::move(projected[made]));
    } catch (...) {
      for (std::size_t i = 0; i < made; ++i) QX_Geometry_destroy(results[i], nullptr);
      throw;
    }
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_projectWithTransformation(
    QX_GeometryHandle geometry, QX_SpatialReferenceHandle spatial_reference,
    QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_projectWithTransformation", QX_GeometryHandle{}, [&] {
    const Geometry& g = geometry_of(geometry);
    const SpatialReferencePtr& sr = deref(spatial_reference, "spatial reference").spatial_reference;
    const DatumTransformation& t = *deref(transformation, "transformation").transformation;
    return make_handle(projection::project_geometry(g, sr, t));
  });
}

/* ---- DatumTransformation ---- */

QX_EXPORT void QX_DatumTransformation_destroy(QX_DatumTransformationHandle transformation,
                                              const QX_ErrorHandler* handler) {
  guarded_void(handler, "QX_DatumTransformation_destroy",
               [&] { delete &deref(transformation, "transformation"); });
}

QX_EXPORT QX_SpatialReferenceHandle QX_DatumTransformation_getInputSpatialReference(
    QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_DatumTransformation_getInputSpatialReference", QX_SpatialReferenceHandle{},
                 [&] { return make_handle(transformation_of(transformation).input); });
}

QX_EXPORT QX_SpatialReferenceHandle QX_DatumTransformation_getOutputSpatialReference(
    QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_DatumTransformation_getOutputSpatialReference", QX_SpatialReferenceHandle{},
                 [&] { return make_handle(transformation_of(transformation).output); });
}

QX_EXPORT bool QX_DatumTransformation_getIsMissingProjectionEngineFiles(
    QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_DatumTransformation_getIsMissingProjectionEngineFiles", false,
                 [&] { return transformation_of(transformation).missing_files; });
}

QX_EXPORT QX_StringHandle
QX_DatumTransformation_getName(QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_DatumTransformation_getName", QX_StringHandle{},
                 [&] { return make_string(transformation_of(transformation).name); });
}

QX_EXPORT uint32_t QX_DatumTransformation_getObjectType(
    QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_DatumTransformation_getObjectType", uint32_t{0},
                 [&] { return static_cast<uint32_t>(transformation_of(transformation).kind); });
}

QX_EXPORT QX_DatumTransformationHandle QX_DatumTransformation_getInverse(
    QX_DatumTransformationHandle transformation, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_DatumTransformation_getInverse", QX_DatumTransformationHandle{}, [&] {
    DatumTransformationPtr inv = inverse_of(transformation_of(transformation));
    auto* h = new _QX_DatumTransformationInternal;
    h->transformation = std::move(inv);
    return h;
  });
}

}  // extern "C"
