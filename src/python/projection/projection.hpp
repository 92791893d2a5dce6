// ostrel_geometry.projection: datum transformations and projection of collections.
#pragma once

#include "binding/datum_transformation.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct DatumTransformation {
  static PyTypeObject* type();
  // A new object owning `transformation`.
  static Ref wrap(rt::DatumTransformationOwned transformation);
  // The transformation an object of the class owns (lent).
  static const rt::DatumTransformationOwned& inner(PyObject* obj);
};

}  // namespace ostrel::py
