// The Python class MultiPoint.
#pragma once

#include "model/multipoint.hpp"
#include "python/classes/geometry_class_members.hpp"

namespace ostrel::py {

struct MultiPoint : GeometryClassMembers<MultiPoint, model::ZorvGeometryMultipoint, rt::Multipoint> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
};
extern template struct GeometryClassMembers<MultiPoint, model::ZorvGeometryMultipoint, rt::Multipoint>;

}  // namespace ostrel::py
