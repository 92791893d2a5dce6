// The live views Multipart (linear parts of a polyline or polygon) and
// CurveMultipart (its curve parts).
#pragma once

#include <vector>

#include "model/cell.hpp"
#include "model/collection.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct Multipart {
  using CollCell = model::Cell<model::PartCollection>;
  using PartCell = model::Cell<model::ZorvPart>;
  static PyTypeObject* type();
  static Ref wrap(CollCell cell);
  // A Multipart object's own collection (shared, not checked), or a list of
  // parts read into a new collection; TypeError otherwise.
  static CollCell from_py(PyObject* value, bool has_z, bool has_m);
  // Every item of the list (each a list of coordinate lists) as a new part.
  static std::vector<PartCell> input_vec_from_list(PyObject* list, bool has_z, bool has_m);
};

struct CurveMultipart {
  using CollCell = model::Cell<model::CurvePartCollection>;
  using PartCell = model::Cell<model::ZorvCurvePart>;
  static PyTypeObject* type();
  static Ref wrap(CollCell cell);
  static CollCell from_py(PyObject* value, bool has_z, bool has_m);
  static std::vector<PartCell> input_vec_from_list(PyObject* list, bool has_z, bool has_m);
};

}  // namespace ostrel::py
