// The live view Part of one linear part, and its iterator.
#pragma once

#include "model/cell.hpp"
#include "model/part.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct Part {
  using PartCell = model::Cell<model::ZorvPart>;
  static PyTypeObject* type();
  // A new Part object sharing the cell.
  static Ref wrap(PartCell cell);
  static const PartCell& cell(PyObject* part);
  // A Part object's own part (shared, not checked), or a list read into a new
  // part with the given columns; TypeError otherwise.
  static PartCell from_py(PyObject* value, bool has_z, bool has_m);
  static PartCell from_list(PyObject* list, bool has_z, bool has_m);
  // A coordinate list read with the part's columns.
  static model::ZorvCoord interpret_coord(const PartCell& cell, PyObject* value);
};

}  // namespace ostrel::py
