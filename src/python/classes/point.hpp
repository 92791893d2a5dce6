// The Python class Point.
#pragma once

#include "model/point.hpp"
#include "python/classes/geometry_kind.hpp"

namespace ostrel::py {

struct Point : GeometryKind<Point, model::ZorvGeometryPoint, rt::Point> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
};
extern template struct GeometryKind<Point, model::ZorvGeometryPoint, rt::Point>;

}  // namespace ostrel::py
