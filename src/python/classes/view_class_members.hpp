// The static members that the live view classes Part, CurvePart, Multipart
// and CurveMultipart have in the same form, over the model value M their
// objects share through a cell.  A class derives from
// ViewClassMembers<Self, M> and declares `struct View`, which its source
// defines over the view template it uses (part_view.hpp or
// collection_view.hpp) and which gives build() and from_py(); the members are
// defined in cell_object.hpp and instantiated by the class's source.
#pragma once

#include "model/cell.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

template <class Self, class M>
struct ViewClassMembers {
  using CellT = model::Cell<M>;
  static PyTypeObject* type();
  // A new object of this class sharing the cell.
  static Ref wrap(CellT cell);
  // The cell an object of this class holds (the object is not checked).
  static const CellT& cell(PyObject* view);
  // An object of this class gives its own cell (shared, not checked), a list
  // is read into a new value with the given columns; TypeError otherwise.
  static CellT from_py(PyObject* value, bool has_z, bool has_m);
};

}  // namespace ostrel::py
