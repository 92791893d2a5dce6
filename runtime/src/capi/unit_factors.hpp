// Meters (or square meters) per unit of an optional unit handle, as the
// geodetic exports read their unit arguments.
#pragma once

#include "errors.hpp"
#include "handles.hpp"

namespace vaskelith {

// 1 when the handle is absent; a unit of the wrong kind fails with
// kInvalidArgument.
inline double linear_unit_factor(QX_UnitHandle unit) {
  if (unit == nullptr) return 1.0;
  const Unit& u = *unit->unit;
  if (u.kind != UnitKind::Linear) fail(kInvalidArgument, "A linear unit is expected.");
  return u.factor;
}

inline double area_unit_factor(QX_UnitHandle unit) {
  if (unit == nullptr) return 1.0;
  const Unit& u = *unit->unit;
  if (u.kind == UnitKind::Linear) return u.factor * u.factor;
  if (u.kind != UnitKind::Area) fail(kInvalidArgument, "An area unit is expected.");
  return u.factor;
}

}  // namespace vaskelith
