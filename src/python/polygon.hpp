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
  // Reads a runtime polygon back into a new Polygon object.
  static Ref from_geom(rt::Polygon polygon);
  static Ref try_from_owned(rt::GeometryOwned geometry);
  // A fresh runtime polygon from a Polygon object's model.
  static rt::Polygon get_geom(PyObject* polygon);
};

}  // namespace ostrel::py
