// The members that Multipart and CurveMultipart share, written once over the
// part type.  Traits gives the model part, the Python part class and the view
// class itself.
#pragma once

#include <optional>
#include <vector>

#include "model/model.hpp"
#include "python/classes/cell_object.hpp"
#include "python/classes/common.hpp"

namespace ostrel::py::collection_view {

// Every IndexError of both views names the container "Multipart".
inline constexpr const char* kName = "Multipart";

// Traits: Part (the model part); kTypeName, kIteratorName (null for a view
// without an iterator), kAppend, kInsert, kRemove (signature names);
// view_type(); wrap_part(cell); part_from_py and part_from_list.
template <class Traits>
struct View {
  using P = typename Traits::Part;
  using PartCell = model::Cell<P>;
  using Coll = model::DimensionedCollection<P>;
  using CollCell = model::Cell<Coll>;

  static CollCell& cell_of(PyObject* self) { return cell_object::cell_of<Coll>(self); }

  // Another reference to the part at n, or nothing past the end.
  static std::optional<PartCell> part_at(const Coll& coll, uint64_t n) {
    if (n < coll.lines.size()) return coll.lines[n];
    return std::nullopt;
  }

  // A method argument as a part with the collection's columns.
  static PartCell interpret_part(const CollCell& cell, PyObject* value) {
    bool has_z, has_m;
    {
      auto g = cell.read_or_fatal("Lock poisoned");
      has_z = g->has_z;
      has_m = g->has_m;
    }
    return Traits::part_from_py(value, has_z, has_m);
  }

  static std::vector<PartCell> input_vec_from_list(PyObject* list, bool has_z, bool has_m) {
    std::vector<PartCell> parts;
    // Room for the length the list has now; the loop reads it again at every step.
    parts.reserve(static_cast<std::size_t>(PyList_GET_SIZE(list)));
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
      Ref item = Ref::borrow(PyList_GET_ITEM(list, i));
      common::expect_list(item.get());
      parts.push_back(Traits::part_from_list(item.get(), has_z, has_m));
    }
    return parts;
  }

  static CollCell from_py(PyObject* value, bool has_z, bool has_m) {
    if (PyObject_TypeCheck(value, Traits::view_type())) return cell_of(value);
    if (PyList_Check(value)) {
      std::vector<PartCell> parts = input_vec_from_list(value, has_z, has_m);
      return CollCell(Coll::from_iter(has_z, has_m, std::move(parts)));
    }
    raise(PyExc_TypeError, "Multipart from_py requires a Multipart or a list");
  }

  static Ref item_read(PyObject* self, PyObject* key) {
    int64_t i = arg_i64(key, "key");
    const CollCell& cell = cell_of(self);
    uint64_t len = cell_object::locked_len(cell);
    uint64_t n = common::py_index(i, len, kName, 0);
    std::optional<PartCell> part;
    {
      auto g = cell.read();
      part = part_at(*g, n);
    }
    if (!part) common::gen_py_idx_err(i, len, kName);
    return Traits::wrap_part(std::move(*part));
  }

  static int ass_subscript(PyObject* self, PyObject* key, PyObject* value) {
    return trampoline_int([&] {
      if (!value) raise(PyExc_NotImplementedError, "can't delete item");
      int64_t i = arg_i64(key, "index");
      const CollCell& cell = cell_of(self);
      PartCell part = interpret_part(cell, value);
      uint64_t n = common::py_index(i, cell_object::locked_len(cell), kName, 0);
      auto g = cell.lock();
      // A part of other dimensions is refused and reported, as insertion does.
      (void)g->set_line(n, std::move(part));
      return 0;
    });
  }

  static Ref append(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto a = match<1>({Traits::kAppend, {"value"}, 1}, args, nargs, kwnames);
    const CollCell& cell = cell_of(self);
    PartCell part = interpret_part(cell, a[0]);
    auto g = cell.lock();
    g->push_line(std::move(part));
    return none();
  }

  static Ref insert(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto a = match<2>({Traits::kInsert, {"index", "value"}, 2}, args, nargs, kwnames);
    int64_t i = arg_i64(a[0], "index");
    const CollCell& cell = cell_of(self);
    PartCell part = interpret_part(cell, a[1]);
    uint64_t n = common::py_index(i, cell_object::locked_len(cell), kName, 1);
    auto g = cell.lock();
    g->insert_line(n, std::move(part));
    return none();
  }

  static Ref remove(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto a = match<1>({Traits::kRemove, {"index"}, 1}, args, nargs, kwnames);
    int64_t i = arg_i64(a[0], "index");
    const CollCell& cell = cell_of(self);
    uint64_t n = common::py_index(i, cell_object::locked_len(cell), kName, 0);
    std::optional<PartCell> removed;  // released after the lock
    auto g = cell.lock();
    if (n < g->lines.size()) {
      removed = std::move(g->lines[n]);
      g->lines.erase(g->lines.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return none();
  }

  static Ref pop(PyObject* self) {
    std::optional<PartCell> part;
    {
      auto g = cell_of(self).lock();
      if (!g->lines.empty()) {
        part = std::move(g->lines.back());
        g->lines.pop_back();
      }
    }
    if (!part) return none();
    return Traits::wrap_part(std::move(*part));
  }

  static Ref clear(PyObject* self) {
    model::PartList<PartCell> parts;  // released after the lock
    {
      auto g = cell_of(self).lock();
      parts.swap(g->lines);
    }
    return none();
  }

  struct IteratorTraits {
    using Model = Coll;
    static constexpr const char* kIteratorName = Traits::kIteratorName;
    static std::optional<PartCell> read(const Coll& coll, uint64_t n) { return part_at(coll, n); }
    static Ref step(const CollCell&, PartCell part, uint64_t& position) {
      ++position;
      return Traits::wrap_part(std::move(part));
    }
  };
  using Iterator = cell_object::LiveIterator<IteratorTraits>;

  static PyTypeObject* build() {
    static PyMethodDef* methods = cell_object::view_methods<append, insert, remove, pop, clear>();
    getiterfunc iter = nullptr;
    if constexpr (Traits::kIteratorName != nullptr) iter = Iterator::iter_slot;
    return cell_object::build_view_type<Coll, item_read, ass_subscript>(
        {Traits::kTypeName, methods, /*has_len=*/false, /*has_repr=*/true, iter});
  }
};

}  // namespace ostrel::py::collection_view
