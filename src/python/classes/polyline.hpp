// The Python class Polyline.
#pragma once

#include "model/polyline.hpp"
#include "python/classes/geometry_kind.hpp"

namespace ostrel::py {

struct Polyline : GeometryKind<Polyline, model::ZorvGeometryPolyline, rt::Polyline> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
};
extern template struct GeometryKind<Polyline, model::ZorvGeometryPolyline, rt::Polyline>;

}  // namespace ostrel::py
