// The Python class Polygon.
#pragma once

#include "model/polygon.hpp"
#include "python/classes/geometry_kind.hpp"

namespace ostrel::py {

struct Polygon : GeometryKind<Polygon, model::ZorvGeometryPolygon, rt::Polygon> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
};
extern template struct GeometryKind<Polygon, model::ZorvGeometryPolygon, rt::Polygon>;

}  // namespace ostrel::py
