// The Python class Point.
#pragma once

#include "model/point.hpp"
#include "python/classes/geometry_class_members.hpp"

namespace ostrel::py {

struct Point : GeometryClassMembers<Point, model::ZorvGeometryPoint, rt::Point> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
};
extern template struct GeometryClassMembers<Point, model::ZorvGeometryPoint, rt::Point>;

}  // namespace ostrel::py
