// The live views Multipart (linear parts of a polyline or polygon) and
// CurveMultipart (its curve parts).
#pragma once

#include <vector>

#include "model/cell.hpp"
#include "model/collection.hpp"
#include "python/classes/view_class_members.hpp"

namespace ostrel::py {

struct Multipart : ViewClassMembers<Multipart, model::PartCollection> {
  using CollCell = CellT;
  using PartCell = model::Cell<model::ZorvPart>;
  struct View;
  // Every item of the list (each a list of coordinate lists) as a new part.
  static std::vector<PartCell> input_vec_from_list(PyObject* list, bool has_z, bool has_m);
};
extern template struct ViewClassMembers<Multipart, model::PartCollection>;

struct CurveMultipart : ViewClassMembers<CurveMultipart, model::CurvePartCollection> {
  using CollCell = CellT;
  using PartCell = model::Cell<model::ZorvCurvePart>;
  struct View;
  static std::vector<PartCell> input_vec_from_list(PyObject* list, bool has_z, bool has_m);
};
extern template struct ViewClassMembers<CurveMultipart, model::CurvePartCollection>;

}  // namespace ostrel::py
