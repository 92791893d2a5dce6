// The Python class MultiPoint.
#pragma once

#include "model/multipoint.hpp"
#include "python/classes/geometry_kind.hpp"

namespace ostrel::py {

struct MultiPoint : GeometryKind<MultiPoint, model::ZorvGeometryMultipoint, rt::Multipoint> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
};
extern template struct GeometryKind<MultiPoint, model::ZorvGeometryMultipoint, rt::Multipoint>;

}  // namespace ostrel::py
