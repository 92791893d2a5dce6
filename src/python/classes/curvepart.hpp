// The live view CurvePart of one curve part, and its iterator.
#pragma once

#include "model/curvepart.hpp"
#include "python/classes/view_class_members.hpp"

namespace ostrel::py {

struct CurvePart : ViewClassMembers<CurvePart, model::ZorvCurvePart> {
  using PartCell = CellT;
  struct View;
  // The first item must be a coordinate list, later ones coordinates or curve dicts.
  static PartCell from_list(PyObject* list, bool has_z, bool has_m);
};
extern template struct ViewClassMembers<CurvePart, model::ZorvCurvePart>;

}  // namespace ostrel::py
