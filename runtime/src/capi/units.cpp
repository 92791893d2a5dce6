// The exported functions of linear and area units.
#include <cmath>
#include <string>

#include "errors.hpp"
#include "handles.hpp"
#include "spatial_reference.hpp"

using namespace vaskelith;

namespace {

struct UnitEntry {
  uint32_t id;
  double factor;
  const char* name;
};

// Linear units: meters per unit.
constexpr UnitEntry kLinearUnits[] = {
    {1025, 0.001, "Millimeters"},
    {1033, 0.01, "Centimeters"},
    {9001, 1.0, "Meters"},
    {9002, 0.3048, "Feet"},
    {9030, 1852.0, "Nautical Miles"},
    {9036, 1000.0, "Kilometers"},
    {9093, 1609.344, "Miles"},
    {9096, 0.9144, "Yards"},
    {109008, 0.0254, "Inches"},
};

// Area units: square meters per unit.
constexpr UnitEntry kAreaUnits[] = {
    {109401, 10000.0, "Hectares"},        {109402, 4046.8564224, "Acres"},
    {109404, 1.0, "Square Meters"},       {109405, 0.09290304, "Square Feet"},
    {109414, 1e6, "Square Kilometers"},   {109439, 2589988.110336, "Square Miles"},
    {109442, 0.83612736, "Square Yards"}, {109450, 0.01, "Square Decimeters"},
    {109451, 1e-4, "Square Centimeters"}, {109452, 1e-6, "Square Millimeters"},
};

template <std::size_t N>
QX_UnitHandle new_unit(const UnitEntry (&table)[N], UnitKind kind, uint32_t id, const char* what) {
  for (const UnitEntry& e : table) {
    if (e.id != id) continue;
    auto u = std::make_shared<Unit>();
    u->kind = kind;
    u->id = id;
    u->factor = e.factor;
    u->name = e.name;
    auto* h = new _QX_UnitInternal;
    h->unit = std::move(u);
    return h;
  }
  fail(kInvalidArgument, std::string("Unknown ") + what + " unit id.", "Id " + std::to_string(id) + ".");
}

const Unit& area_unit_of(QX_UnitHandle h, const char* argument) {
  const Unit& u = *deref(h, argument).unit;
  if (u.kind != UnitKind::Area) fail(kWrongType, std::string("The ") + argument + " is not an area unit.");
  return u;
}

}  // namespace

extern "C" {

/* ---- Units ---- */

QX_EXPORT void QX_Unit_destroy(QX_UnitHandle unit, const QX_ErrorHandler* handler) {
  destroy_handle(unit, handler, "QX_Unit_destroy", "unit");
}

QX_EXPORT QX_UnitHandle QX_LinearUnit_create(uint32_t linear_unit_id, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_LinearUnit_create", QX_UnitHandle{},
                 [&] { return new_unit(kLinearUnits, UnitKind::Linear, linear_unit_id, "linear"); });
}

QX_EXPORT QX_UnitHandle QX_AreaUnit_create(uint32_t area_unit_id, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_AreaUnit_create", QX_UnitHandle{},
                 [&] { return new_unit(kAreaUnits, UnitKind::Area, area_unit_id, "area"); });
}

QX_EXPORT uint32_t QX_AreaUnit_getAreaUnitId(QX_UnitHandle unit, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_AreaUnit_getAreaUnitId", uint32_t{0},
                 [&] { return area_unit_of(unit, "unit").id; });
}

QX_EXPORT double QX_AreaUnit_convertFrom(QX_UnitHandle unit, QX_UnitHandle from_unit, double area,
                                         const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_AreaUnit_convertFrom", kNaN, [&] {
    return area * area_unit_of(from_unit, "source unit").factor / area_unit_of(unit, "unit").factor;
  });
}

QX_EXPORT double QX_AreaUnit_convertTo(QX_UnitHandle unit, QX_UnitHandle to_unit, double area,
                                       const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_AreaUnit_convertTo", kNaN, [&] {
    return area * area_unit_of(unit, "unit").factor / area_unit_of(to_unit, "target unit").factor;
  });
}

QX_EXPORT double QX_AreaUnit_fromSquareMeters(QX_UnitHandle unit, double area,
                                              const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_AreaUnit_fromSquareMeters", kNaN,
                 [&] { return area / area_unit_of(unit, "unit").factor; });
}

QX_EXPORT double QX_AreaUnit_toSquareMeters(QX_UnitHandle unit, double area, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_AreaUnit_toSquareMeters", kNaN,
                 [&] { return area * area_unit_of(unit, "unit").factor; });
}

}  // extern "C"
