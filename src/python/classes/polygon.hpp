// The Python class Polygon.
#pragma once

#include "model/polygon.hpp"
#include "python/classes/geometry_class_members.hpp"

namespace ostrel::py {

struct Polygon : GeometryClassMembers<Polygon, model::ZorvGeometryPolygon, rt::Polygon> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
};
extern template struct GeometryClassMembers<Polygon, model::ZorvGeometryPolygon, rt::Polygon>;

}  // namespace ostrel::py
