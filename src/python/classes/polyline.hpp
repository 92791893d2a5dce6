// The Python class Polyline.
#pragma once

#include "model/polyline.hpp"
#include "python/classes/geometry_class_members.hpp"

namespace ostrel::py {

struct Polyline : GeometryClassMembers<Polyline, model::ZorvGeometryPolyline, rt::Polyline> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
};
extern template struct GeometryClassMembers<Polyline, model::ZorvGeometryPolyline, rt::Polyline>;

}  // namespace ostrel::py
