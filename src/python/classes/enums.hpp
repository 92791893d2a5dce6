// Unit and option enumerations, and AreaUnit.
#pragma once

#include <cstdint>

#include "binding/spatial_reference.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct AreaUnitId {
  static PyTypeObject* type();
  // A new object with the code (not the class attribute); the code must be a member's.
  static Ref make(int32_t code);
  static int32_t value(PyObject* member);
  // The member's code; TypeError "argument '{arg}': ..." for any other value.
  static int32_t extract(PyObject* obj, const char* arg);
};

struct LinearUnitId {
  static PyTypeObject* type();
  static int32_t value(PyObject* member);
  static int32_t extract(PyObject* obj, const char* arg);
  // ValueError "Invalid LinearUnitId: {debug}" when the runtime refuses the code.
  static rt::LinearUnit to_runtime_linear_unit(int32_t code);
};

struct GeodeticCurveType {
  static PyTypeObject* type();
  static uint8_t value(PyObject* member);
  static uint8_t extract(PyObject* obj, const char* arg);
};

struct GeometryExtendOptions {
  static PyTypeObject* type();
  static uint32_t value(PyObject* options);
  static uint32_t extract(PyObject* obj, const char* arg);
};

struct AreaUnit {
  static PyTypeObject* type();
  // A runtime area unit for the code; RuntimeError with the runtime error's
  // debug form when the runtime refuses it.
  static rt::AreaUnit new_from_unit_id(int32_t code);
  // A separate runtime unit for the same code.
  static rt::AreaUnit try_clone(PyObject* area_unit);
  // The object's own runtime unit (borrowed).
  static const rt::AreaUnit& unit(PyObject* area_unit);
  // A new AreaUnit object owning the unit.
  static Ref wrap(rt::AreaUnit unit);
};

}  // namespace ostrel::py
