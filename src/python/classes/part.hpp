// The live view Part of one linear part, and its iterator.
#pragma once

#include "model/part.hpp"
#include "python/classes/view_class_members.hpp"

namespace ostrel::py {

struct Part : ViewClassMembers<Part, model::ZorvPart> {
  using PartCell = CellT;
  struct View;
  static PartCell from_list(PyObject* list, bool has_z, bool has_m);
  // A coordinate list read with the part's columns.
  static model::ZorvCoord interpret_coord(const PartCell& cell, PyObject* value);
};
extern template struct ViewClassMembers<Part, model::ZorvPart>;

}  // namespace ostrel::py
