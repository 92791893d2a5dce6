// The exported functions of spatial references.
#include <cmath>
#include <string>

#include "errors.hpp"
#include "handles.hpp"
#include "spatial_reference.hpp"

using namespace vaskelith;

namespace {

const SpatialReference& sr_of(QX_SpatialReferenceHandle h) {
  return *deref(h, "spatial reference").spatial_reference;
}

}  // namespace

extern "C" {

/* ---- SpatialReference ---- */

QX_EXPORT void QX_SpatialReference_destroy(QX_SpatialReferenceHandle spatial_reference,
                                           const QX_ErrorHandler* handler) {
  destroy_handle(spatial_reference, handler, "QX_SpatialReference_destroy", "spatial reference");
}

QX_EXPORT QX_SpatialReferenceHandle QX_SpatialReference_create(uint32_t wkid,
                                                               const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_SpatialReference_create", QX_SpatialReferenceHandle{},
                 [&] { return make_handle(spatial_reference_from_wkid(static_cast<int32_t>(wkid))); });
}

QX_EXPORT QX_SpatialReferenceHandle QX_SpatialReference_createVerticalWKID(uint32_t wkid,
                                                                           uint32_t vertical_wkid,
                                                                           const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_SpatialReference_createVerticalWKID", QX_SpatialReferenceHandle{}, [&] {
    return make_handle(
        spatial_reference_from_wkid(static_cast<int32_t>(wkid), static_cast<int32_t>(vertical_wkid)));
  });
}

QX_EXPORT QX_SpatialReferenceHandle QX_SpatialReference_createFromWKText(const char* wk_text,
                                                                         const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_SpatialReference_createFromWKText", QX_SpatialReferenceHandle{}, [&] {
    if (wk_text == nullptr) fail(kNullHandle, "The well-known text is null.");
    return make_handle(spatial_reference_from_wkt(wk_text));
  });
}

QX_EXPORT uint32_t QX_SpatialReference_getWKID(QX_SpatialReferenceHandle spatial_reference,
                                               const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_SpatialReference_getWKID", uint32_t{0},
                 [&] { return static_cast<uint32_t>(sr_of(spatial_reference).wkid); });
}

QX_EXPORT uint32_t QX_SpatialReference_getVerticalWKID(QX_SpatialReferenceHandle spatial_reference,
                                                       const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_SpatialReference_getVerticalWKID", uint32_t{0},
                 [&] { return static_cast<uint32_t>(sr_of(spatial_reference).vertical_wkid); });
}

QX_EXPORT QX_StringHandle QX_SpatialReference_getWKText(QX_SpatialReferenceHandle spatial_reference,
                                                        const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_SpatialReference_getWKText", QX_StringHandle{},
                 [&] { return make_string(sr_of(spatial_reference).wkt()); });
}

}  // extern "C"
