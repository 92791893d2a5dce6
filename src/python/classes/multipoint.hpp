// The Python class MultiPoint.
#pragma once

#include "binding/geometry.hpp"
#include "model/cell.hpp"
#include "model/multipoint.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct MultiPoint {
  using CellT = model::Cell<model::ZorvGeometryMultipoint>;
  static PyTypeObject* type();
  // A new object of exactly this class on the cell.
  static Ref wrap(CellT cell);
  static CellT from_dict(PyObject* dict);
  static Ref from_model(model::ZorvGeometryMultipoint multipoint);
  // A new object for a runtime geometry of this kind (shared with its other
  // holders); its model is read from it at first need, or at once where the
  // model would not build the same geometry again.
  static Ref from_kept(rt::KeptGeometry geometry);
};

}  // namespace ostrel::py
