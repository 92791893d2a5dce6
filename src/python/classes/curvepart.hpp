// The live view CurvePart of one curve part, and its iterator.
#pragma once

#include "model/cell.hpp"
#include "model/curvepart.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct CurvePart {
  using PartCell = model::Cell<model::ZorvCurvePart>;
  static PyTypeObject* type();
  static Ref wrap(PartCell cell);
  static const PartCell& cell(PyObject* part);
  // A CurvePart object's own curve part (shared, not checked), or a list read
  // into a new curve part; TypeError otherwise.
  static PartCell from_py(PyObject* value, bool has_z, bool has_m);
  // The first item must be a coordinate list, later ones coordinates or curve dicts.
  static PartCell from_list(PyObject* list, bool has_z, bool has_m);
};

}  // namespace ostrel::py
