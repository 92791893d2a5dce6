// The static members that every geometry class (Point, MultiPoint, Polyline,
// Polygon, Envelope) has, over its model M and its runtime geometry R.  A
// class derives from GeometryClassMembers<Self, M, R> and adds type(),
// from_dict() and what is its own; the members are defined in
// geometry_class.hpp and instantiated by the class's source.
#pragma once

#include "binding/geometry.hpp"
#include "model/cell.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

template <class Self, class M, class R>
struct GeometryClassMembers {
  using CellT = model::Cell<M>;
  // A new object of exactly this class on the cell.
  static Ref wrap(CellT cell);
  // A new object of this class holding the model in a new cell.
  static Ref from_model(M model);
  // A new object for a runtime geometry of this kind (taken over).
  static Ref from_geom(R geometry);
  // A new object for a runtime geometry of this kind (shared with its other
  // holders); its model is read from it at first need, or at once where the
  // model would not build the same geometry again.
  static Ref from_kept(rt::KeptGeometry geometry);
  // The runtime geometry of an object of this class (a subclass too) as its
  // model is now, kept between operations; `__qxc_geo` is not asked.
  static rt::TypedLease<R> get_geom(PyObject* object);
};

}  // namespace ostrel::py
