#include "binding/geometry.hpp"

#include "binding/call.hpp"
#include "binding/environment.hpp"
#include "binding/parts.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt {

GeometryType geometry_type_try_from(int32_t code) {
  switch (code) {
    case 1:
      return GeometryType::Point;
    case 2:
      return GeometryType::Envelope;
    case 3:
      return GeometryType::Polyline;
    case 4:
      return GeometryType::Polygon;
    case 5:
      return GeometryType::Multipoint;
    case -1:
      return GeometryType::Unknown;
    default:
      throw Error::new_conversion_error("bindings::QX_GeometryType", "GeometryType");
  }
}

void destroy_geometry(QX_GeometryHandle h, const QX_ErrorHandler* eh) { QX(QX_Geometry_destroy)(h, eh); }

// ---- the Geometry interface ----

Envelope GeometryBase::extent() const {
  return Envelope::from_handle(OSTREL_RT_CALL_FATAL(QX_Geometry_getExtent, raw()));
}

bool GeometryBase::has_curves() const { return OSTREL_RT_CALL_FATAL(QX_Geometry_getHasCurves, raw()); }
bool GeometryBase::has_m() const { return OSTREL_RT_CALL_FATAL(QX_Geometry_getHasM, raw()); }
bool GeometryBase::has_z() const { return OSTREL_RT_CALL_FATAL(QX_Geometry_getHasZ, raw()); }

GeometryType GeometryBase::object_type() const {
  int32_t code = OSTREL_RT_CALL_FATAL(QX_Geometry_getObjectType, raw());
  try {
    return geometry_type_try_from(code);
  } catch (const Error& e) {
    detail::fatal_transform(e);
  }
}

std::optional<SpatialReference> GeometryBase::spatial_reference() const {
  QX_SpatialReferenceHandle sr = OSTREL_RT_CALL_FATAL(QX_Geometry_getSpatialReference, raw());
  if (sr == nullptr) return std::nullopt;
  return SpatialReference(adopt, sr);
}

std::string GeometryBase::to_json() const {
  return string_from_handle(OSTREL_RT_CALL_FATAL(QX_Geometry_toJSON, raw()));
}

// ---- GeometryOwned ----

GeometryOwned GeometryOwned::from_json(std::string_view json) {
  environment::init();
  std::string text = to_c_string(json, "Text is always valid UTF-8");
  return from_handle(OSTREL_RT_CALL(QX_Geometry_fromJSON, text.c_str()));
}

int32_t GeometryOwned::kind_for_downcast() const {
  CallError err;
  int32_t code = QX(QX_Geometry_getObjectType)(raw(), err.handler());
  if (err.failed())
    detail::fatal_with(
        "Internal error: Unexpected error returned from QX_Geometry_getObjectType for downcast of "
        "GeometryOwned",
        *err.slot());
  return code;
}

int32_t GeometryOwned::kind_for_downcast_ref() const {
  CallError err;
  int32_t code = QX(QX_Geometry_getObjectType)(raw(), err.handler());
  if (err.failed())
    detail::fatal_with(
        "Internal error: Unexpectedly failed to get object type for downcast_ref of GeometryOwned",
        *err.slot());
  return code;
}

// ---- Point ----

Point Point::with_x_y(double x, double y) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithXY, x, y));
}

Point Point::with_x_y_spatial_reference(double x, double y, const SpatialReference& sr) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithXYSpatialReference, x, y, sr.raw()));
}

Point Point::with_x_y_z_m(double x, double y, std::optional<double> z, std::optional<double> m) {
  if (z && m) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithZM, x, y, *z, *m));
  }
  if (z) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithXYZ, x, y, *z));
  }
  if (m) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithM, x, y, *m));
  }
  return with_x_y(x, y);
}

Point Point::with_x_y_z_m_spatial_reference(double x, double y, std::optional<double> z,
                                            std::optional<double> m, const SpatialReference& sr) {
  if (z && m) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithZMSpatialReference, x, y, *z, *m, sr.raw()));
  }
  if (z) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithXYZSpatialReference, x, y, *z, sr.raw()));
  }
  if (m) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithMSpatialReference, x, y, *m, sr.raw()));
  }
  return with_x_y_spatial_reference(x, y, sr);
}

double Point::x() const { return OSTREL_RT_CALL_FATAL(QX_Point_getX, raw()); }
double Point::y() const { return OSTREL_RT_CALL_FATAL(QX_Point_getY, raw()); }

std::optional<double> Point::z() const {
  if (!has_z()) return std::nullopt;
  return OSTREL_RT_CALL_FATAL(QX_Point_getZ, raw());
}

std::optional<double> Point::m() const {
  if (!has_m()) return std::nullopt;
  return OSTREL_RT_CALL_FATAL(QX_Point_getM, raw());
}

// ---- Envelope ----

Envelope Envelope::with_x_y(double x_min, double x_max, double y_min, double y_max) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_Envelope_createWithXY, x_min, x_max, y_min, y_max));
}

Envelope Envelope::with_x_y_spatial_reference(double x_min, double x_max, double y_min, double y_max,
                                              const SpatialReference& sr) {
  environment::init();
  return from_handle(
      OSTREL_RT_CALL_FATAL(QX_Envelope_createWithXYSpatialReference, x_min, x_max, y_min, y_max, sr.raw()));
}

Envelope Envelope::with_x_y_z_m(double x_min, double x_max, double y_min, double y_max,
                                std::optional<Range> z, std::optional<Range> m) {
  if (z && m) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Envelope_createWithZM, x_min, x_max, y_min, y_max, z->first,
                                            z->second, m->first, m->second));
  }
  if (z) {
    environment::init();
    return from_handle(
        OSTREL_RT_CALL_FATAL(QX_Envelope_createWithXYZ, x_min, x_max, y_min, y_max, z->first, z->second));
  }
  if (m) {
    environment::init();
    return from_handle(
        OSTREL_RT_CALL_FATAL(QX_Envelope_createWithM, x_min, x_max, y_min, y_max, m->first, m->second));
  }
  return with_x_y(x_min, x_max, y_min, y_max);
}

Envelope Envelope::with_x_y_z_m_spatial_reference(double x_min, double x_max, double y_min, double y_max,
                                                  std::optional<Range> z, std::optional<Range> m,
                                                  const SpatialReference& sr) {
  if (z && m) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Envelope_createWithZMSpatialReference, x_min, x_max, y_min,
                                            y_max, z->first, z->second, m->first, m->second, sr.raw()));
  }
  if (z) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Envelope_createWithXYZSpatialReference, x_min, x_max, y_min,
                                            y_max, z->first, z->second, sr.raw()));
  }
  if (m) {
    environment::init();
    return from_handle(OSTREL_RT_CALL_FATAL(QX_Envelope_createWithMSpatialReference, x_min, x_max, y_min,
                                            y_max, m->first, m->second, sr.raw()));
  }
  return with_x_y_spatial_reference(x_min, x_max, y_min, y_max, sr);
}

Point Envelope::center() const {
  return Point::from_handle(OSTREL_RT_CALL_FATAL(QX_Envelope_getCenter, raw()));
}
double Envelope::x_min() const { return OSTREL_RT_CALL_FATAL(QX_Envelope_getXMin, raw()); }
double Envelope::x_max() const { return OSTREL_RT_CALL_FATAL(QX_Envelope_getXMax, raw()); }
double Envelope::y_min() const { return OSTREL_RT_CALL_FATAL(QX_Envelope_getYMin, raw()); }
double Envelope::y_max() const { return OSTREL_RT_CALL_FATAL(QX_Envelope_getYMax, raw()); }

std::optional<double> Envelope::z_min() const {
  if (!has_z()) return std::nullopt;
  return OSTREL_RT_CALL_FATAL(QX_Envelope_getZMin, raw());
}
std::optional<double> Envelope::z_max() const {
  if (!has_z()) return std::nullopt;
  return OSTREL_RT_CALL_FATAL(QX_Envelope_getZMax, raw());
}
std::optional<double> Envelope::m_min() const {
  if (!has_m()) return std::nullopt;
  return OSTREL_RT_CALL_FATAL(QX_Envelope_getMMin, raw());
}
std::optional<double> Envelope::m_max() const {
  if (!has_m()) return std::nullopt;
  return OSTREL_RT_CALL_FATAL(QX_Envelope_getMMax, raw());
}

// ---- multiparts and multipoints ----

ImmutablePartCollection Polyline::parts() const {
  return ImmutablePartCollection::from_handle(OSTREL_RT_CALL_FATAL(QX_Multipart_getParts, raw()));
}

ImmutablePartCollection Polygon::parts() const {
  return ImmutablePartCollection::from_handle(OSTREL_RT_CALL_FATAL(QX_Multipart_getParts, raw()));
}

ImmutablePointCollection Multipoint::points() const {
  return ImmutablePointCollection::from_handle(OSTREL_RT_CALL_FATAL(QX_Multipoint_getPoints, raw()));
}

}  // namespace ostrel::rt
