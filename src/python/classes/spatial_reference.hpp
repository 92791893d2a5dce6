// The Python class SpatialReference and the conversions of Python values
// that stand for a spatial reference.
#pragma once

#include <optional>

#include "binding/spatial_reference.hpp"
#include "model/spatial_reference.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct SpatialReference {
  static PyTypeObject* type();
  // A new object holding `sr` by value.
  static Ref new_object(model::SpatialReference sr);
  // None when absent, else a new object holding a copy.
  static Ref new_or_none(const std::optional<model::SpatialReference>& sr);
  // A SpatialReference object (copied) or a dict; TypeError otherwise.
  static model::SpatialReference from_py(PyObject* value);
  static model::SpatialReference from_dict(PyObject* dict);
  // The object's own value.
  static const model::SpatialReference& inner(PyObject* obj);
  // The runtime spatial reference an operation passes on; ValueError when the
  // value has neither an id nor a WKT text.
  static rt::SpatialReference geom_sr_from_py(PyObject* value);
};

}  // namespace ostrel::py
