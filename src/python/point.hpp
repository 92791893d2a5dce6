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
  // Reads a runtime point back (consumed) into a new Point object.
  static Ref from_geom(rt::Point point);
  static Ref try_from_owned(rt::GeometryOwned geometry);
  // A fresh runtime point from a Point object's model.
  static rt::Point get_geom(PyObject* point);
};

}  // namespace ostrel::py
