// The Python class Envelope.
#pragma once

#include "binding/geometry.hpp"
#include "model/cell.hpp"
#include "model/envelope.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct Envelope {
  using CellT = model::Cell<model::ZorvGeometryEnvelope>;
  static PyTypeObject* type();
  // A new object of exactly this class on the cell.
  static Ref wrap(CellT cell);
  // An Envelope object's own cell (shared), or a dict read into a new one;
  // TypeError otherwise.
  static CellT from_py(PyObject* value);
  static CellT from_dict(PyObject* dict);
  static Ref from_model(model::ZorvGeometryEnvelope envelope);
  static Ref from_geom(rt::Envelope envelope);
  // A new object for a runtime geometry of this kind (shared with its other
  // holders); its model is read from it at first need, or at once where the
  // model would not build the same geometry again.
  static Ref from_kept(rt::KeptGeometry geometry);
  // The runtime envelope of an object of this class (a subclass too) as its
  // model is now, kept between operations; `__qxc_geo` is not asked.
  static rt::TypedLease<rt::Envelope> get_geom(PyObject* envelope);
  // A fresh runtime envelope from a cell's model.
  static rt::Envelope get_geom(const CellT& cell);
};

}  // namespace ostrel::py
