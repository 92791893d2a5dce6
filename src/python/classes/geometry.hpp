// The base class Geometry and the bridge from any Python value to its
// runtime geometry.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <vector>

#include "binding/datum_transformation.hpp"
#include "binding/geometry.hpp"
#include "binding/spatial_reference.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

struct Geometry {
  static PyTypeObject* type();

  // Methods and properties defined elsewhere (the geometry operations) join
  // Geometry's own before its type is built.  Call from a static initialiser;
  // the arrays are copied, the names and docs must have static storage.
  struct Members {
    Members(std::initializer_list<PyMethodDef> methods, std::initializer_list<PyGetSetDef> getsets = {});
  };

  // The runtime geometry of a value for one operation: a Geometry instance is
  // asked through its `__qxc_geo()`, anything else goes through the factory
  // first.
  static rt::GeometryLease geom_from_pyobj(PyObject* value);

  // Lets geom_from_pyobj take the geometry of an object whose class is
  // exactly `type` from the object itself (the runtime geometry of its model
  // as it is now, kept between operations), skipping the `__qxc_geo()` call
  // and its carrier, as long as the class still holds its own `__qxc_geo`
  // (`method`); the result is the same.  Subclasses and patched classes keep
  // the Python call.  `borrow` gives the same geometry lent, without sharing
  // it (see borrow_direct).
  using DirectConversion = rt::GeometryLease (*)(PyObject*);
  using DirectBorrow = const rt::GeometryOwned& (*)(PyObject*);
  // Gathers into `out` the runtime handles of the geometries of items[0],
  // items[1]... for as long as each item is exactly of `type` and keeps its
  // geometry ready (see ready_of_type), at most `count`; the number
  // gathered.
  using DirectReady = std::size_t (*)(PyObject* const* items, std::size_t count, PyTypeObject* type,
                                      QX_GeometryHandle* out);
  static void register_direct(PyTypeObject* type, PyCFunction method, DirectConversion convert,
                              DirectBorrow borrow, DirectReady ready);

  // The runtime geometry that an object of exactly a registered class keeps,
  // lent to the caller; null for any other object (which geom_from_pyobj
  // converts), and for one whose class was not yet seen holding its own
  // `__qxc_geo` unchanged (geom_from_pyobj looks that up).  The geometry is
  // good while the caller holds the object, runs no Python code (a write)
  // and has no other geometry's form built (the budget of kept forms may let
  // go of it then).  Saves the shared reference of a lease where one step of
  // a walk over many items uses it.
  static const rt::GeometryOwned* borrow_direct(PyObject* value);
  // For the objects of exactly `type`: the function that gathers the same
  // geometries of a run of such objects, only where each keeps its geometry
  // already, built from its model as it is now, and stops where
  // borrow_direct would build one (which may let go of the geometry another
  // object keeps).  Null for a class borrow_direct gives nothing for.  Good
  // until Python code runs (which may patch the class).
  static DirectReady ready_of_type(PyTypeObject* type);
  // The same objects' geometries as leases, good for as long as they are
  // held; empty for any other object.
  static std::optional<rt::GeometryLease> lease_direct(PyObject* value);

  // Projects every item of an iterable; the first failure releases the
  // results made so far.
  static std::vector<rt::GeometryOwned> iterable_op_geom(PyObject* iterable, const rt::SpatialReference& sr);
  static std::vector<rt::GeometryOwned> iterable_op_geom(PyObject* iterable, const rt::SpatialReference& sr,
                                                         const rt::DatumTransformationOwned& transformation);

  // A list of new Python geometries, one per runtime geometry, in order.
  static Ref iterable_geos_to_py(std::vector<rt::GeometryOwned> geometries);
};

}  // namespace ostrel::py
