#include "binding/spatial_reference.hpp"

#include "binding/call.hpp"
#include "binding/environment.hpp"
#include "binding/strings.hpp"

namespace ostrel::rt {

SpatialReference SpatialReference::with_wkid(uint32_t wkid) {
  environment::init();
  return from_handle(OSTREL_RT_CALL(QX_SpatialReference_create, wkid));
}

SpatialReference SpatialReference::with_wkid_vertical_wkid(uint32_t wkid, uint32_t vertical_wkid) {
  environment::init();
  return from_handle(OSTREL_RT_CALL(QX_SpatialReference_createVerticalWKID, wkid, vertical_wkid));
}

SpatialReference SpatialReference::with_wktext(std::string_view text) {
  environment::init();
  // The text comes from the user: a NUL inside it is refused like any other
  // unreadable text, not treated as a broken invariant.
  if (text.find('\0') != std::string_view::npos) {
    throw Error(2, "Invalid well-known text.", "The text contains a NUL character.");
  }
  std::string c_text(text);
  return from_handle(OSTREL_RT_CALL(QX_SpatialReference_createFromWKText, c_text.c_str()));
}

uint32_t SpatialReference::wkid() const { return OSTREL_RT_CALL_FATAL(QX_SpatialReference_getWKID, raw()); }

uint32_t SpatialReference::vertical_wkid() const {
  return OSTREL_RT_CALL_FATAL(QX_SpatialReference_getVerticalWKID, raw());
}

std::string SpatialReference::wktext() const {
  return string_from_handle(OSTREL_RT_CALL_FATAL(QX_SpatialReference_getWKText, raw()));
}

// ---- units ----

AreaUnitId area_unit_id_try_from(uint32_t code) {
  static constexpr AreaUnitId kIds[] = {
      AreaUnitId::Other,          AreaUnitId::Hectares,         AreaUnitId::Acres,
      AreaUnitId::SquareMeters,   AreaUnitId::SquareFeet,       AreaUnitId::SquareKilometers,
      AreaUnitId::SquareMiles,    AreaUnitId::SquareYards,      AreaUnitId::SquareDecimeters,
      AreaUnitId::SquareCentimeters, AreaUnitId::SquareMillimeters,
  };
  return detail::enum_try_from(code, kIds, "bindings::QX_AreaUnitId", "AreaUnitId");
}

AreaUnit AreaUnit::with_unit_id(AreaUnitId unit_id) {
  environment::init();
  return from_handle(OSTREL_RT_CALL(QX_AreaUnit_create, static_cast<uint32_t>(unit_id)));
}

AreaUnitId AreaUnit::area_unit_id() const {
  uint32_t code = OSTREL_RT_CALL_FATAL(QX_AreaUnit_getAreaUnitId, raw());
  return detail::transformed_or_fatal([&] { return area_unit_id_try_from(code); });
}

double AreaUnit::convert_to(const AreaUnit& to_unit, double area) const {
  return OSTREL_RT_CALL_FATAL(QX_AreaUnit_convertTo, raw(), to_unit.raw(), area);
}

double AreaUnit::convert_from(const AreaUnit& from_unit, double area) const {
  return OSTREL_RT_CALL_FATAL(QX_AreaUnit_convertFrom, raw(), from_unit.raw(), area);
}

double AreaUnit::to_square_meters(double area) const {
  return OSTREL_RT_CALL_FATAL(QX_AreaUnit_toSquareMeters, raw(), area);
}

double AreaUnit::from_square_meters(double area) const {
  return OSTREL_RT_CALL_FATAL(QX_AreaUnit_fromSquareMeters, raw(), area);
}

LinearUnit LinearUnit::with_unit_id(uint32_t unit_id) {
  environment::init();
  return from_handle(OSTREL_RT_CALL(QX_LinearUnit_create, unit_id));
}

}  // namespace ostrel::rt
