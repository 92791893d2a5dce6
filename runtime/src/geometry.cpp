// Geometry handles: kinds, flags, extents, points, envelopes and the part and
// point access of multiparts and multipoints.
#include "geometry.hpp"

#include <algorithm>
#include <cmath>

#include "curves.hpp"
#include "errors.hpp"
#include "handles.hpp"

namespace vaskelith {

namespace {

void grow_zm(const Vertex& v, EnvelopeBounds& e) {
  if (!std::isnan(v.z)) {
    e.zmin = std::isnan(e.zmin) ? v.z : std::min(e.zmin, v.z);
    e.zmax = std::isnan(e.zmax) ? v.z : std::max(e.zmax, v.z);
  }
  if (!std::isnan(v.m)) {
    e.mmin = std::isnan(e.mmin) ? v.m : std::min(e.mmin, v.m);
    e.mmax = std::isnan(e.mmax) ? v.m : std::max(e.mmax, v.m);
  }
}

}  // namespace

void open_ring(Part& ring) {
  const std::size_t n = ring.size();
  if (n < 2) return;
  const Vertex& first = ring.vertices.front();
  const Vertex& last = ring.vertices.back();
  if (first.x != last.x || first.y != last.y) return;
  const Curve closing = ring.curve_at(n - 1);
  ring.vertices.pop_back();
  if (!ring.curves.empty()) {
    ring.curves.pop_back();
    ring.curves[0] = closing;
  }
  if (!ring.has_curves()) ring.curves.clear();
}

Derived& DerivedSlot::get() const {
  if (Derived* d = slot_.load(std::memory_order_acquire)) return *d;
  auto* fresh = new Derived;
  Derived* expected = nullptr;
  if (slot_.compare_exchange_strong(expected, fresh, std::memory_order_acq_rel)) return *fresh;
  delete fresh;  // another thread was first
  return *expected;
}

namespace {
EnvelopeBounds compute_extent(const Geometry& g);
}  // namespace

EnvelopeBounds extent_of(const Geometry& g) {
  // Points and envelopes hold their extent already; the rest measure their
  // vertices and curves once.
  if (g.kind == GeometryKind::Envelope) return g.envelope;
  if (g.kind == GeometryKind::Point) return compute_extent(g);
  Derived& d = g.derived.get();
  std::lock_guard<std::recursive_mutex> lock(d.mutex);
  if (!d.has_extent) {
    d.extent = compute_extent(g);
    d.has_extent = true;
  }
  return d.extent;
}

namespace {

EnvelopeBounds compute_extent(const Geometry& g) {
  EnvelopeBounds e;
  if (g.kind == GeometryKind::Envelope) return g.envelope;
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  auto vertex = [&](const Vertex& v) {
    if (std::isnan(v.x) || std::isnan(v.y)) return;
    xmin = std::min(xmin, v.x);
    xmax = std::max(xmax, v.x);
    ymin = std::min(ymin, v.y);
    ymax = std::max(ymax, v.y);
    grow_zm(v, e);
  };
  switch (g.kind) {
    case GeometryKind::Point:
      vertex(g.point);
      break;
    case GeometryKind::Multipoint:
      for (const Vertex& v : g.points) vertex(v);
      break;
    default:
      for (const Part& p : g.parts) {
        for (const Vertex& v : p.vertices) vertex(v);
        if (!p.has_curves()) continue;
        const bool closed = g.closed();
        for (std::size_t i = 0; i < p.segment_count(closed); ++i) {
          SegmentView s = p.segment(i, closed);
          if (!s.curve->is_line()) grow_extent(s, xmin, xmax, ymin, ymax);
        }
      }
  }
  if (xmin > xmax) return EnvelopeBounds{};
  e.xmin = xmin;
  e.xmax = xmax;
  e.ymin = ymin;
  e.ymax = ymax;
  if (!g.has_z) e.zmin = e.zmax = kNaN;
  if (!g.has_m) e.mmin = e.mmax = kNaN;
  return e;
}

}  // namespace

}  // namespace vaskelith

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

}  // extern "C"
