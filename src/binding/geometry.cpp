#include "binding/geometry.hpp"

#include "binding/call.hpp"
#include "binding/environment.hpp"
#include "binding/parts.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt {

GeometryType geometry_type_try_from(int32_t code) {
  static constexpr GeometryType kTypes[] = {GeometryType::Point,    GeometryType::Envelope,
                                            GeometryType::Polyline, GeometryType::Polygon,
                                            GeometryType::Multipoint, GeometryType::Unknown};
  return detail::enum_try_from(code, kTypes, "bindings::QX_GeometryType", "GeometryType");
}

namespace {

// The handle and its count in one allocation (an operation on many kept
// geometries touches each once).
struct KeptHandle {
  explicit KeptHandle(GeometryOwned g) noexcept : geometry(std::move(g)) {}
  KeptHandle(const KeptHandle&) = delete;
  KeptHandle& operator=(const KeptHandle&) = delete;
  GeometryOwned geometry;
};

}  // namespace

KeptGeometry keep(GeometryOwned geometry) {
  auto kept = std::make_shared<KeptHandle>(std::move(geometry));
  return KeptGeometry(kept, &kept->geometry);
}

// ---- the Geometry interface ----

Envelope GeometryBase::extent() const {
  return Envelope::from_handle(OSTREL_RT_CALL_FATAL(QX_Geometry_getExtent, raw()));
}

bool GeometryBase::has_curves() const { return OSTREL_RT_CALL_FATAL(QX_Geometry_getHasCurves, raw()); }
bool GeometryBase::has_m() const { return OSTREL_RT_CALL_FATAL(QX_Geometry_getHasM, raw()); }
bool GeometryBase::has_z() const { return OSTREL_RT_CALL_FATAL(QX_Geometry_getHasZ, raw()); }

GeometryType GeometryBase::object_type() const {
  int32_t code = OSTREL_RT_CALL_FATAL(QX_Geometry_getObjectType, raw());
  return detail::transformed_or_fatal([&] { return geometry_type_try_from(code); });
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
  // The text comes from the user: a NUL inside it makes it unreadable JSON
  // like any other stray character, not a broken invariant.
  if (const auto at = json.find('\0'); at != std::string_view::npos) {
    throw Error(2, "Invalid JSON text.", "At offset " + std::to_string(at) + ": a NUL character.");
  }
  std::string text(json);
  return from_handle(OSTREL_RT_CALL(QX_Geometry_fromJSON, text.c_str()));
}

int32_t GeometryOwned::kind_for_downcast() const {
  return detail::call_or_fatal_with(
      "Internal error: Unexpected error returned from QX_Geometry_getObjectType for downcast of GeometryOwned",
      QX(QX_Geometry_getObjectType), raw());
}

int32_t GeometryOwned::kind_for_downcast_ref() const {
  return detail::call_or_fatal_with(
      "Internal error: Unexpectedly failed to get object type for downcast_ref of GeometryOwned",
      QX(QX_Geometry_getObjectType), raw());
}

// ---- Point ----

namespace {

// The value of an optional z or m, asked for only when the geometry has it.
template <class F>
std::optional<double> if_present(bool present, F&& get) {
  if (!present) return std::nullopt;
  return get();
}

// The presence of z and m picks the create function; each has a form with a
// spatial reference, used when `sr` is given.
Point create_point(double x, double y, std::optional<double> z, std::optional<double> m,
                   const SpatialReference* sr) {
  if (z && m) {
    environment::init();
    return Point::from_handle(
        sr ? OSTREL_RT_CALL_FATAL(QX_Point_createWithZMSpatialReference, x, y, *z, *m, sr->raw())
           : OSTREL_RT_CALL_FATAL(QX_Point_createWithZM, x, y, *z, *m));
  }
  if (z) {
    environment::init();
    return Point::from_handle(sr ? OSTREL_RT_CALL_FATAL(QX_Point_createWithXYZSpatialReference, x, y, *z, sr->raw())
                                 : OSTREL_RT_CALL_FATAL(QX_Point_createWithXYZ, x, y, *z));
  }
  if (m) {
    environment::init();
    return Point::from_handle(sr ? OSTREL_RT_CALL_FATAL(QX_Point_createWithMSpatialReference, x, y, *m, sr->raw())
                                 : OSTREL_RT_CALL_FATAL(QX_Point_createWithM, x, y, *m));
  }
  return sr ? Point::with_x_y_spatial_reference(x, y, *sr) : Point::with_x_y(x, y);
}

Envelope create_envelope(double x_min, double x_max, double y_min, double y_max, std::optional<Range> z,
                         std::optional<Range> m, const SpatialReference* sr) {
  if (z && m) {
    environment::init();
    return Envelope::from_handle(
        sr ? OSTREL_RT_CALL_FATAL(QX_Envelope_createWithZMSpatialReference, x_min, x_max, y_min, y_max, z->first,
                                  z->second, m->first, m->second, sr->raw())
           : OSTREL_RT_CALL_FATAL(QX_Envelope_createWithZM, x_min, x_max, y_min, y_max, z->first, z->second,
                                  m->first, m->second));
  }
  if (z) {
    environment::init();
    return Envelope::from_handle(sr ? OSTREL_RT_CALL_FATAL(QX_Envelope_createWithXYZSpatialReference, x_min, x_max,
                                                           y_min, y_max, z->first, z->second, sr->raw())
                                    : OSTREL_RT_CALL_FATAL(QX_Envelope_createWithXYZ, x_min, x_max, y_min, y_max,
                                                           z->first, z->second));
  }
  if (m) {
    environment::init();
    return Envelope::from_handle(sr ? OSTREL_RT_CALL_FATAL(QX_Envelope_createWithMSpatialReference, x_min, x_max,
                                                           y_min, y_max, m->first, m->second, sr->raw())
                                    : OSTREL_RT_CALL_FATAL(QX_Envelope_createWithM, x_min, x_max, y_min, y_max,
                                                           m->first, m->second));
  }
  return sr ? Envelope::with_x_y_spatial_reference(x_min, x_max, y_min, y_max, *sr)
            : Envelope::with_x_y(x_min, x_max, y_min, y_max);
}

}  // namespace

Point Point::with_x_y(double x, double y) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithXY, x, y));
}

Point Point::with_x_y_spatial_reference(double x, double y, const SpatialReference& sr) {
  environment::init();
  return from_handle(OSTREL_RT_CALL_FATAL(QX_Point_createWithXYSpatialReference, x, y, sr.raw()));
}

Point Point::with_x_y_z_m(double x, double y, std::optional<double> z, std::optional<double> m) {
  return create_point(x, y, z, m, nullptr);
}

Point Point::with_x_y_z_m_spatial_reference(double x, double y, std::optional<double> z,
                                            std::optional<double> m, const SpatialReference& sr) {
  return create_point(x, y, z, m, &sr);
}

double Point::x() const { return OSTREL_RT_CALL_FATAL(QX_Point_getX, raw()); }
double Point::y() const { return OSTREL_RT_CALL_FATAL(QX_Point_getY, raw()); }

std::optional<double> Point::z() const {
  return if_present(has_z(), [&] { return OSTREL_RT_CALL_FATAL(QX_Point_getZ, raw()); });
}

std::optional<double> Point::m() const {
  return if_present(has_m(), [&] { return OSTREL_RT_CALL_FATAL(QX_Point_getM, raw()); });
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
  return create_envelope(x_min, x_max, y_min, y_max, z, m, nullptr);
}

Envelope Envelope::with_x_y_z_m_spatial_reference(double x_min, double x_max, double y_min, double y_max,
                                                  std::optional<Range> z, std::optional<Range> m,
                                                  const SpatialReference& sr) {
  return create_envelope(x_min, x_max, y_min, y_max, z, m, &sr);
}

Point Envelope::center() const {
  return Point::from_handle(OSTREL_RT_CALL_FATAL(QX_Envelope_getCenter, raw()));
}
double Envelope::x_min() const { return OSTREL_RT_CALL_FATAL(QX_Envelope_getXMin, raw()); }
double Envelope::x_max() const { return OSTREL_RT_CALL_FATAL(QX_Envelope_getXMax, raw()); }
double Envelope::y_min() const { return OSTREL_RT_CALL_FATAL(QX_Envelope_getYMin, raw()); }
double Envelope::y_max() const { return OSTREL_RT_CALL_FATAL(QX_Envelope_getYMax, raw()); }

std::optional<double> Envelope::z_min() const {
  return if_present(has_z(), [&] { return OSTREL_RT_CALL_FATAL(QX_Envelope_getZMin, raw()); });
}
std::optional<double> Envelope::z_max() const {
  return if_present(has_z(), [&] { return OSTREL_RT_CALL_FATAL(QX_Envelope_getZMax, raw()); });
}
std::optional<double> Envelope::m_min() const {
  return if_present(has_m(), [&] { return OSTREL_RT_CALL_FATAL(QX_Envelope_getMMin, raw()); });
}
std::optional<double> Envelope::m_max() const {
  return if_present(has_m(), [&] { return OSTREL_RT_CALL_FATAL(QX_Envelope_getMMax, raw()); });
}

// ---- multiparts and multipoints ----

ImmutablePartCollection MultipartBase::parts() const {
  return ImmutablePartCollection::from_handle(OSTREL_RT_CALL_FATAL(QX_Multipart_getParts, raw()));
}

ImmutablePointCollection Multipoint::points() const {
  return ImmutablePointCollection::from_handle(OSTREL_RT_CALL_FATAL(QX_Multipoint_getPoints, raw()));
}

}  // namespace ostrel::rt
