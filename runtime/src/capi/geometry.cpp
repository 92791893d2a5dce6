// The exported functions of geometries, points, envelopes, multiparts and
// multipoints, and the JSON form of a geometry.
#include <cmath>
#include <string>

#include "errors.hpp"
#include "geometry.hpp"
#include "geometry_json.hpp"
#include "handles.hpp"

using namespace vaskelith;

namespace {

QX_GeometryHandle new_point(double x, double y, bool has_z, double z, bool has_m, double m,
                            QX_SpatialReferenceHandle sr) {
  auto g = std::make_shared<Geometry>();
  g->kind = GeometryKind::Point;
  g->has_z = has_z;
  g->has_m = has_m;
  g->point = Vertex{x, y, has_z ? z : kNaN, has_m ? m : kNaN};
  g->spatial_reference = spatial_reference_of(sr);
  return make_handle(std::move(g));
}

// Bounds are given min, max per axis; swapped pairs are put in order so that
// the engine never sees an inverted envelope.
void ordered(double& lo, double& hi) {
  if (lo > hi) std::swap(lo, hi);
}

QX_GeometryHandle new_envelope(double xmin, double xmax, double ymin, double ymax, bool has_z, double zmin,
                               double zmax, bool has_m, double mmin, double mmax,
                               QX_SpatialReferenceHandle sr) {
  auto g = std::make_shared<Geometry>();
  g->kind = GeometryKind::Envelope;
  g->has_z = has_z;
  g->has_m = has_m;
  ordered(xmin, xmax);
  ordered(ymin, ymax);
  EnvelopeBounds& e = g->envelope;
  e.xmin = xmin;
  e.xmax = xmax;
  e.ymin = ymin;
  e.ymax = ymax;
  if (has_z) {
    ordered(zmin, zmax);
    e.zmin = zmin;
    e.zmax = zmax;
  }
  if (has_m) {
    ordered(mmin, mmax);
    e.mmin = mmin;
    e.mmax = mmax;
  }
  g->spatial_reference = spatial_reference_of(sr);
  return make_handle(std::move(g));
}

const Geometry& of_kind(QX_GeometryHandle h, GeometryKind kind, const char* what) {
  const Geometry& g = geometry_of(h);
  if (g.kind != kind) fail(kWrongType, std::string("The geometry is not ") + what + ".");
  return g;
}

const GeometryPtr& multipart_of(QX_GeometryHandle h) {
  const GeometryPtr& g = geometry_ptr_of(h);
  if (!g->is_multipart()) fail(kWrongType, "The geometry is not a polyline or polygon.");
  return g;
}

}  // namespace

extern "C" {

/* ---- Geometry ---- */

QX_EXPORT void QX_Geometry_destroy(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  destroy_handle(geometry, handler, "QX_Geometry_destroy", "geometry");
}

QX_EXPORT QX_GeometryHandle QX_Geometry_getExtent(QX_GeometryHandle geometry,
                                                  const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Geometry_getExtent", QX_GeometryHandle{}, [&] {
    const Geometry& g = geometry_of(geometry);
    auto env = std::make_shared<Geometry>();
    env->kind = GeometryKind::Envelope;
    env->has_z = g.has_z;
    env->has_m = g.has_m;
    env->envelope = extent_of(g);
    env->spatial_reference = g.spatial_reference;
    return make_handle(std::move(env));
  });
}

QX_EXPORT bool QX_Geometry_getHasCurves(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Geometry_getHasCurves", false,
                 [&] { return geometry_of(geometry).has_curves(); });
}

QX_EXPORT bool QX_Geometry_getHasM(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Geometry_getHasM", false, [&] { return geometry_of(geometry).has_m; });
}

QX_EXPORT bool QX_Geometry_getHasZ(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Geometry_getHasZ", false, [&] { return geometry_of(geometry).has_z; });
}

QX_EXPORT int32_t QX_Geometry_getObjectType(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Geometry_getObjectType", int32_t{-1},
                 [&] { return static_cast<int32_t>(geometry_of(geometry).kind); });
}

QX_EXPORT QX_SpatialReferenceHandle QX_Geometry_getSpatialReference(QX_GeometryHandle geometry,
                                                                    const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Geometry_getSpatialReference", QX_SpatialReferenceHandle{},
                 [&] { return make_handle(geometry_of(geometry).spatial_reference); });
}

/* ---- Point ---- */

QX_EXPORT QX_GeometryHandle QX_Point_createWithXY(double x, double y, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_createWithXY", QX_GeometryHandle{},
                 [&] { return new_point(x, y, false, 0, false, 0, nullptr); });
}

QX_EXPORT QX_GeometryHandle QX_Point_createWithXYSpatialReference(double x, double y,
                                                                  QX_SpatialReferenceHandle spatial_reference,
                                                                  const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_createWithXYSpatialReference", QX_GeometryHandle{},
                 [&] { return new_point(x, y, false, 0, false, 0, spatial_reference); });
}

QX_EXPORT QX_GeometryHandle QX_Point_createWithXYZ(double x, double y, double z,
                                                   const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_createWithXYZ", QX_GeometryHandle{},
                 [&] { return new_point(x, y, true, z, false, 0, nullptr); });
}

QX_EXPORT QX_GeometryHandle QX_Point_createWithXYZSpatialReference(
    double x, double y, double z, QX_SpatialReferenceHandle spatial_reference,
    const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_createWithXYZSpatialReference", QX_GeometryHandle{},
                 [&] { return new_point(x, y, true, z, false, 0, spatial_reference); });
}

QX_EXPORT QX_GeometryHandle QX_Point_createWithM(double x, double y, double m,
                                                 const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_createWithM", QX_GeometryHandle{},
                 [&] { return new_point(x, y, false, 0, true, m, nullptr); });
}

QX_EXPORT QX_GeometryHandle QX_Point_createWithMSpatialReference(double x, double y, double m,
                                                                 QX_SpatialReferenceHandle spatial_reference,
                                                                 const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_createWithMSpatialReference", QX_GeometryHandle{},
                 [&] { return new_point(x, y, false, 0, true, m, spatial_reference); });
}

QX_EXPORT QX_GeometryHandle QX_Point_createWithZM(double x, double y, double z, double m,
                                                  const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_createWithZM", QX_GeometryHandle{},
                 [&] { return new_point(x, y, true, z, true, m, nullptr); });
}

QX_EXPORT QX_GeometryHandle QX_Point_createWithZMSpatialReference(double x, double y, double z, double m,
                                                                  QX_SpatialReferenceHandle spatial_reference,
                                                                  const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_createWithZMSpatialReference", QX_GeometryHandle{},
                 [&] { return new_point(x, y, true, z, true, m, spatial_reference); });
}

QX_EXPORT double QX_Point_getX(QX_GeometryHandle point, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_getX", kNaN,
                 [&] { return of_kind(point, GeometryKind::Point, "a point").point.x; });
}

QX_EXPORT double QX_Point_getY(QX_GeometryHandle point, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_getY", kNaN,
                 [&] { return of_kind(point, GeometryKind::Point, "a point").point.y; });
}

QX_EXPORT double QX_Point_getZ(QX_GeometryHandle point, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_getZ", kNaN,
                 [&] { return of_kind(point, GeometryKind::Point, "a point").point.z; });
}

QX_EXPORT double QX_Point_getM(QX_GeometryHandle point, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Point_getM", kNaN,
                 [&] { return of_kind(point, GeometryKind::Point, "a point").point.m; });
}

/* ---- Envelope ---- */

QX_EXPORT QX_GeometryHandle QX_Envelope_createWithXY(double x_min, double x_max, double y_min, double y_max,
                                                     const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_createWithXY", QX_GeometryHandle{},
                 [&] { return new_envelope(x_min, x_max, y_min, y_max, false, 0, 0, false, 0, 0, nullptr); });
}

QX_EXPORT QX_GeometryHandle QX_Envelope_createWithXYSpatialReference(
    double x_min, double x_max, double y_min, double y_max, QX_SpatialReferenceHandle spatial_reference,
    const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_createWithXYSpatialReference", QX_GeometryHandle{}, [&] {
    return new_envelope(x_min, x_max, y_min, y_max, false, 0, 0, false, 0, 0, spatial_reference);
  });
}

QX_EXPORT QX_GeometryHandle QX_Envelope_createWithXYZ(double x_min, double x_max, double y_min, double y_max,
                                                      double z_min, double z_max,
                                                      const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_createWithXYZ", QX_GeometryHandle{}, [&] {
    return new_envelope(x_min, x_max, y_min, y_max, true, z_min, z_max, false, 0, 0, nullptr);
  });
}

QX_EXPORT QX_GeometryHandle QX_Envelope_createWithXYZSpatialReference(
    double x_min, double x_max, double y_min, double y_max, double z_min, double z_max,
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_createWithXYZSpatialReference", QX_GeometryHandle{}, [&] {
    return new_envelope(x_min, x_max, y_min, y_max, true, z_min, z_max, false, 0, 0, spatial_reference);
  });
}

QX_EXPORT QX_GeometryHandle QX_Envelope_createWithM(double x_min, double x_max, double y_min, double y_max,
                                                    double m_min, double m_max,
                                                    const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_createWithM", QX_GeometryHandle{}, [&] {
    return new_envelope(x_min, x_max, y_min, y_max, false, 0, 0, true, m_min, m_max, nullptr);
  });
}

QX_EXPORT QX_GeometryHandle QX_Envelope_createWithMSpatialReference(
    double x_min, double x_max, double y_min, double y_max, double m_min, double m_max,
    QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_createWithMSpatialReference", QX_GeometryHandle{}, [&] {
    return new_envelope(x_min, x_max, y_min, y_max, false, 0, 0, true, m_min, m_max, spatial_reference);
  });
}

QX_EXPORT QX_GeometryHandle QX_Envelope_createWithZM(double x_min, double x_max, double y_min, double y_max,
                                                     double z_min, double z_max, double m_min, double m_max,
                                                     const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_createWithZM", QX_GeometryHandle{}, [&] {
    return new_envelope(x_min, x_max, y_min, y_max, true, z_min, z_max, true, m_min, m_max, nullptr);
  });
}

QX_EXPORT QX_GeometryHandle QX_Envelope_createWithZMSpatialReference(
    double x_min, double x_max, double y_min, double y_max, double z_min, double z_max, double m_min,
    double m_max, QX_SpatialReferenceHandle spatial_reference, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_createWithZMSpatialReference", QX_GeometryHandle{}, [&] {
    return new_envelope(x_min, x_max, y_min, y_max, true, z_min, z_max, true, m_min, m_max,
                        spatial_reference);
  });
}

QX_EXPORT QX_GeometryHandle QX_Envelope_getCenter(QX_GeometryHandle envelope,
                                                  const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Envelope_getCenter", QX_GeometryHandle{}, [&] {
    const Geometry& g = of_kind(envelope, GeometryKind::Envelope, "an envelope");
    const EnvelopeBounds& e = g.envelope;
    auto p = std::make_shared<Geometry>();
    p->kind = GeometryKind::Point;
    p->has_z = g.has_z;
    p->has_m = g.has_m;
    p->point = Vertex{(e.xmin + e.xmax) / 2, (e.ymin + e.ymax) / 2, g.has_z ? (e.zmin + e.zmax) / 2 : kNaN,
                      g.has_m ? (e.mmin + e.mmax) / 2 : kNaN};
    p->spatial_reference = g.spatial_reference;
    return make_handle(std::move(p));
  });
}

#define ENVELOPE_GETTER(NAME, FIELD)                                                                         \
  QX_EXPORT double NAME(QX_GeometryHandle envelope, const QX_ErrorHandler* handler) {                        \
    return guarded(handler, #NAME, kNaN,                                                                     \
                   [&] { return of_kind(envelope, GeometryKind::Envelope, "an envelope").envelope.FIELD; }); \
  }
ENVELOPE_GETTER(QX_Envelope_getXMin, xmin)
ENVELOPE_GETTER(QX_Envelope_getXMax, xmax)
ENVELOPE_GETTER(QX_Envelope_getYMin, ymin)
ENVELOPE_GETTER(QX_Envelope_getYMax, ymax)
ENVELOPE_GETTER(QX_Envelope_getZMin, zmin)
ENVELOPE_GETTER(QX_Envelope_getZMax, zmax)
ENVELOPE_GETTER(QX_Envelope_getMMin, mmin)
ENVELOPE_GETTER(QX_Envelope_getMMax, mmax)
#undef ENVELOPE_GETTER

/* ---- Multipart and Multipoint ---- */

QX_EXPORT QX_ImmutablePartCollectionHandle QX_Multipart_getParts(QX_GeometryHandle multipart,
                                                                 const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Multipart_getParts", QX_ImmutablePartCollectionHandle{}, [&] {
    GeometryPtr owner = multipart_of(multipart);
    auto* h = new _QX_ImmutablePartCollectionInternal;
    h->owner = std::move(owner);
    return h;
  });
}

QX_EXPORT QX_ImmutablePointCollectionHandle QX_Multipoint_getPoints(QX_GeometryHandle multipoint,
                                                                    const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Multipoint_getPoints", QX_ImmutablePointCollectionHandle{}, [&] {
    const GeometryPtr& g = geometry_ptr_of(multipoint);
    if (g->kind != GeometryKind::Multipoint) fail(kWrongType, "The geometry is not a multipoint.");
    auto* h = new _QX_ImmutablePointCollectionInternal;
    h->owner = g;
    h->part = -1;
    return h;
  });
}

/* ---- JSON ---- */

QX_EXPORT QX_GeometryHandle QX_Geometry_fromJSON(const char* json, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Geometry_fromJSON", QX_GeometryHandle{}, [&] {
    if (json == nullptr) fail(kNullHandle, "The JSON text is null.");
    return make_handle(geometry_from_json(json));
  });
}

QX_EXPORT QX_StringHandle QX_Geometry_toJSON(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_Geometry_toJSON", QX_StringHandle{},
                 [&] { return make_string(geometry_to_json(geometry_of(geometry))); });
}

}  // extern "C"
