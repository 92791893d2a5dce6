// The Python class Polyline.
#pragma once

#include "binding/geometry.hpp"
#include "model/cell.hpp"
#include "model/polyline.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct Polyline {
  using CellT = model::Cell<model::ZorvGeometryPolyline>;
  static PyTypeObject* type();
  // A new object of exactly this class on the cell.
  static Ref wrap(CellT cell);
  static CellT from_dict(PyObject* dict);
  static Ref from_model(model::ZorvGeometryPolyline polyline);
  // Reads a runtime polyline back into a new Polyline object.
  static Ref from_geom(rt::Polyline polyline);
  static Ref try_from_owned(rt::GeometryOwned geometry);
  // A fresh runtime polyline from a Polyline object's model.
  static rt::Polyline get_geom(PyObject* polyline);
};

}  // namespace ostrel::py
