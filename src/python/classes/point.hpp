// The Python class Point.
#pragma once

#include "binding/geometry.hpp"
#include "model/cell.hpp"
#include "model/point.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct Point {
  using CellT = model::Cell<model::ZorvGeometryPoint>;
  static PyTypeObject* type();
  // A new object of exactly this class on the cell.
  static Ref wrap(CellT cell);
  static CellT from_dict(PyObject* dict);
  // A new Point object holding the model in a new cell.
  static Ref from_model(model::ZorvGeometryPoint point);
  // A new object for a runtime point (taken over).
  static Ref from_geom(rt::Point point);
  // A new object for a runtime geometry of this kind (shared with its other
  // holders); its model is read from it at first need, or at once where the
  // model would not build the same geometry again.
  static Ref from_kept(rt::KeptGeometry geometry);
  // The runtime point of an object of this class (a subclass too) as its
  // model is now, kept between operations; `__qxc_geo` is not asked.
  static rt::TypedLease<rt::Point> get_geom(PyObject* point);
};

}  // namespace ostrel::py
