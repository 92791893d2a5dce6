// The Python class Envelope.
#pragma once

#include "model/envelope.hpp"
#include "python/classes/geometry_class_members.hpp"

namespace ostrel::py {

struct Envelope : GeometryClassMembers<Envelope, model::ZorvGeometryEnvelope, rt::Envelope> {
  static PyTypeObject* type();
  static CellT from_dict(PyObject* dict);
  using GeometryClassMembers::get_geom;
  // An Envelope object's own cell (shared), or a dict read into a new one;
  // TypeError otherwise.
  static CellT from_py(PyObject* value);
  // A fresh runtime envelope from a cell's model.
  static rt::Envelope get_geom(const CellT& cell);
};
extern template struct GeometryClassMembers<Envelope, model::ZorvGeometryEnvelope, rt::Envelope>;

}  // namespace ostrel::py
