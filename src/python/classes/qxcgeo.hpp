// The single-use carrier of one runtime geometry from a Python geometry's
// `__qxc_geo()` to the operation that consumes it.
#pragma once

#include "binding/geometry.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct QXCGeo {
  static PyTypeObject* type();
  // A new carrier holding `geometry`.
  static Ref make(rt::GeometryOwned geometry);
  // Empties the carrier (fatal when it was already emptied).
  static rt::GeometryOwned take(PyObject* carrier);
};

}  // namespace ostrel::py
