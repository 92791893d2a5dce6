// The Python class Polygon.
#pragma once

#include "binding/geometry.hpp"
#include "model/cell.hpp"
#include "model/polygon.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct Polygon {
  using CellT = model::Cell<model::ZorvGeometryPolygon>;
  static PyTypeObject* type();
  // A new object of exactly this class on the cell.
  static Ref wrap(CellT cell);
  static CellT from_dict(PyObject* dict);
  static Ref from_model(model::ZorvGeometryPolygon polygon);
  // A new object for a runtime polygon (taken over).
  static Ref from_geom(rt::Polygon polygon);
  // A new object for a runtime geometry of this kind (shared with its other
  // holders); its model is read from it at first need, or at once where the
  // model would not build the same geometry again.
  static Ref from_kept(rt::KeptGeometry geometry);
  // The runtime polygon of an object of this class (a subclass too) as its
  // model is now, kept between operations; `__qxc_geo` is not asked.
  static rt::TypedLease<rt::Polygon> get_geom(PyObject* polygon);
};

}  // namespace ostrel::py
