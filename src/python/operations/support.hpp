// Shared pieces of the geometry operations: argument checks, the walk over a
// Python collection, and the lazy item sources that feed whole collections to
// the runtime while it builds its input vectors.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "binding/geometry.hpp"
#include "python/operations/bridge.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/errors.hpp"

namespace ostrel::py::ops {

// ---- arguments ----

// An optional argument counts as given when present and not None.
inline bool given(PyObject* obj) { return obj != nullptr && obj != Py_None; }

// A geometry operand: any instance of Geometry, else the argument TypeError.
PyObject* geometry_arg(PyObject* obj, const char* arg);
// `origin`: None (nullptr returned) or a Point.
PyObject* origin_arg(PyObject* obj, const char* arg);
// Enumeration members; None or a missing optional gives nothing.
std::optional<uint32_t> curve_type_arg(PyObject* obj, const char* arg);
std::optional<int32_t> linear_unit_arg(PyObject* obj, const char* arg);
// `unit` that must be None or an AreaUnit object (nullptr for None).
PyObject* area_unit_object_arg(PyObject* obj, const char* arg);

// ---- walking a Python collection ----

// A Python iterator.  Asking for one of a value that cannot be iterated
// raises the interpreter's TypeError.  An exact list or tuple is read in
// place, step by step as its own iterator reads it (the length is asked
// anew at every step), which saves the iterator's call per item.
class Iter {
 public:
  explicit Iter(PyObject* iterable);
  // The next item, or an empty Ref at the end; an exception of the iterator
  // is thrown.  Read in place inline: it is the step of every walk.
  Ref next() {
    if (index_ < 0) return next_of_iterator();
    PyObject* seq = it_.get();
    const bool list = PyList_CheckExact(seq);
    const Py_ssize_t size = list ? PyList_GET_SIZE(seq) : PyTuple_GET_SIZE(seq);
    if (index_ >= size) {
      // Spent for good, as the sequence's iterator would be.
      it_ = Ref();
      index_ = -1;
      return Ref();
    }
    PyObject* item = list ? PyList_GET_ITEM(seq, index_) : PyTuple_GET_ITEM(seq, index_);
    ++index_;
    return Ref::borrow(item);
  }

 private:
  Ref next_of_iterator();

  Ref it_;                 // the iterator, or the exact list or tuple read in place
  Py_ssize_t index_ = -1;  // the next position in place; -1 with an iterator
};

// Calls `f(item_geometry)` for every item in order, each item converted once
// and its Python reference dropped right after the conversion; the item's
// runtime geometry is released after `f` returns.  `f` returns false to stop.
//
// `f` must run no Python code: an item of exactly a geometry class that
// something else also holds (a list, a variable) lends `f` the runtime
// geometry its object keeps, and holds on to the item until `f` is done;
// dropping the item's reference first would free nothing, and the kept
// geometry is let go only by Python code or by another object's form being
// built, neither of which happens before `f` returns.
template <class F>
void for_each_geometry(Iter& items, F&& f) {
  for (;;) {
    Ref item = items.next();
    if (!item) return;
    if (Py_REFCNT(item.get()) > 1) {
      if (const rt::GeometryOwned* kept = borrow_kept(item.get())) {
        if (!f(*kept)) return;
        continue;
      }
    }
    rt::GeometryLease g = to_runtime(item.get());
    item = Ref();
    if (!f(g)) return;
  }
}

// ---- lazy item sources for whole-collection engine calls ----

// The failure of one source, kept until the engine call has returned.
class ErrorSlot {
 public:
  void store(PyErr err) { err_.emplace(std::move(err)); }
  bool filled() const { return err_.has_value(); }
  // Throws the stored exception, if any.
  void raise_if_filled();

 private:
  std::optional<PyErr> err_;
};

// Hands out the items of one Python iterable, converted one at a time as the
// runtime binding pulls them.  A failure (of the iterator or of an item's
// conversion) cannot travel through the binding: it is stored in the slot and
// the sequence ends there.  Fatal errors are not caught.
class GeometryItems {
 public:
  GeometryItems(Iter& items, ErrorSlot& slot) : items_(items), slot_(slot) {}
  std::optional<rt::GeometryLease> operator()();

 private:
  Iter& items_;
  ErrorSlot& slot_;
};

class F64Items {
 public:
  F64Items(Iter& items, ErrorSlot& slot) : items_(items), slot_(slot) {}
  std::optional<double> operator()();

 private:
  Iter& items_;
  ErrorSlot& slot_;
};

}  // namespace ostrel::py::ops
