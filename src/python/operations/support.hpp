// Shared pieces of the geometry operations: argument checks, the walk over a
// Python collection, and the lazy item sources that feed whole collections to
// the runtime while it builds its input vectors.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

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
    return Ref::borrow(next_in_place());
  }

  // Whether the items are read in place, so that taking one runs no Python
  // code (and neither does taking it before its turn).
  bool in_place() const { return index_ >= 0; }
  // With in_place(): the next item, lent by the sequence, or null at the
  // end.  It stays in the sequence until Python code runs.
  PyObject* next_in_place() {
    PyObject* seq = it_.get();
    const bool list = PyList_CheckExact(seq);
    const Py_ssize_t size = list ? PyList_GET_SIZE(seq) : PyTuple_GET_SIZE(seq);
    if (index_ >= size) {
      // Spent for good, as the sequence's iterator would be.
      it_ = Ref();
      index_ = -1;
      return nullptr;
    }
    PyObject* item = list ? PyList_GET_ITEM(seq, index_) : PyTuple_GET_ITEM(seq, index_);
    ++index_;
    return item;
  }
  // With in_place(): the items not yet taken, as the sequence holds them
  // now, and the number of them; good until Python code runs.  Taking them
  // is skip_in_place.
  PyObject* const* rest_in_place(std::size_t& count) const {
    PyObject* seq = it_.get();
    const bool list = PyList_CheckExact(seq);
    const Py_ssize_t size = list ? PyList_GET_SIZE(seq) : PyTuple_GET_SIZE(seq);
    count = index_ < size ? static_cast<std::size_t>(size - index_) : 0;
    PyObject* const* all = list ? reinterpret_cast<PyListObject*>(seq)->ob_item
                                : reinterpret_cast<PyTupleObject*>(seq)->ob_item;
    return all + index_;
  }
  // Takes the next `n` items, which rest_in_place counted.
  void skip_in_place(std::size_t n) { index_ += static_cast<Py_ssize_t>(n); }

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
bool geometry_step(Ref item, F& f) {
  if (Py_REFCNT(item.get()) > 1) {
    if (const rt::GeometryOwned* kept = borrow_kept(item.get())) return f(*kept);
  }
  rt::GeometryLease g = to_runtime(item.get());
  item = Ref();
  return f(g);
}

template <class F>
void for_each_geometry(Iter& items, F&& f) {
  for (;;) {
    Ref item = items.next();
    if (!item || !geometry_step(std::move(item), f)) return;
  }
}

// The same walk, with the runtime asked about many items in one call where
// that changes nothing but the cost: the items of an exact list or tuple
// that keep their runtime geometries ready are gathered, in runs, and
// `run(handles)` asks about a run, returning false to stop the walk.  Any
// other item first has the run before it asked about, then goes to `f` as
// in for_each_geometry, so that answers, failures and stops come in the
// collection's order.  Gathering takes items early only where taking an
// item runs no Python code, and builds no geometry (which could let go of
// one gathered); nothing else runs before the run is asked about, so the
// sequence keeps every gathered item meanwhile.
template <class Run, class F>
void for_each_geometry_run(Iter& items, Run&& run, F&& f) {
  if (!items.in_place()) return for_each_geometry(items, f);
  // Runs start short, where a walk that stops at an early item would gather
  // items it never needed, and grow to amortise the runtime call.
  constexpr std::size_t kFirstRun = 8, kLongestRun = 1024;
  QX_GeometryHandle handles[kLongestRun];
  std::size_t held = 0, limit = kFirstRun;
  const auto flush = [&] {
    if (held == 0) return true;
    const bool go_on = run(std::span<const QX_GeometryHandle>(handles, held));
    held = 0;
    limit = std::min(2 * limit, kLongestRun);
    return go_on;
  };
  // The class of the items last seen and how its objects lend, looked up
  // again after any Python code has run.
  PyTypeObject* known = nullptr;
  ReadyKept ready_of_known = nullptr;
  for (;;) {
    std::size_t left = 0;
    PyObject* const* rest = items.rest_in_place(left);
    if (left == 0) {
      (void)items.next_in_place();  // spent for good, as the sequence's iterator would be
      break;
    }
    if (Py_TYPE(rest[0]) != known) {
      known = Py_TYPE(rest[0]);
      ready_of_known = ready_kept_of(known);
    }
    const std::size_t got =
        ready_of_known ? ready_of_known(rest, std::min(left, limit - held), known, handles + held) : 0;
    if (got > 0) {
      items.skip_in_place(got);
      held += got;
      if (held >= limit && !flush()) return;
      continue;
    }
    PyObject* item = items.next_in_place();
    if (!flush() || !geometry_step(Ref::borrow(item), f)) return;
    known = nullptr;
  }
  flush();
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
