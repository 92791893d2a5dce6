// The members that the live part views Part and CurvePart share, written once
// over the part type.  Traits gives the model part, the item the view hands
// out and the members in which the two differ (item assignment, append and
// insert, which read their values differently).
#pragma once

#include <optional>

#include "python/classes/cell_object.hpp"
#include "python/classes/common.hpp"

namespace ostrel::py::part_view {

// Traits:
//   Model, Item; kName (the container in index messages), kTypeName,
//   kIteratorName, kRemove (the signature name of remove()), kFromPyError;
//   type(); read(const Model&, n) and take_last(Model&) giving optional<Item>;
//   remove_at(Model&, n); make_item(item, optional parent cell, index);
//   from_list(list, has_z, has_m); append, insert (fast-call methods) and
//   ass_subscript (the mapping slot).
template <class Traits>
struct PartView {
  using Model = typename Traits::Model;
  using CellT = model::Cell<Model>;
  using Item = typename Traits::Item;

  static const CellT& cell(PyObject* self) { return cell_object::cell_of<Model>(self); }

  static Ref item_read(PyObject* self, PyObject* key) {
    int64_t i = arg_i64(key, "key");
    const CellT& c = cell(self);
    uint64_t len = cell_object::locked_len(c);
    uint64_t n = common::py_index(i, len, Traits::kName, 0);
    std::optional<Item> item;
    {
      auto g = c.read();
      item = Traits::read(*g, n);
    }
    if (!item) common::gen_py_idx_err(i, len, Traits::kName);
    return Traits::make_item(*item, c, n);
  }

  static Ref remove(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    auto a = match<1>({Traits::kRemove, {"index"}, 1}, args, nargs, kwnames);
    int64_t i = arg_i64(a[0], "index");
    const CellT& c = cell(self);
    uint64_t n = common::py_index(i, cell_object::locked_len(c), Traits::kName, 0);
    auto g = c.lock();
    Traits::remove_at(*g, n);
    return none();
  }

  // The last item, detached from the part, or None when the part is empty.
  static Ref pop(PyObject* self) {
    std::optional<Item> item;
    {
      auto g = cell(self).lock();
      item = Traits::take_last(*g);
    }
    if (!item) return none();
    return Traits::make_item(*item, std::nullopt, 0);
  }

  static Ref clear(PyObject* self) {
    auto g = cell(self).lock();
    g->clear();
    return none();
  }

  // A view of this class gives its own part (shared, not checked), a list is
  // read into a new part with the given columns.
  static CellT from_py(PyObject* value, bool has_z, bool has_m) {
    if (PyObject_TypeCheck(value, Traits::type())) return cell(value);
    if (PyList_Check(value)) return Traits::from_list(value, has_z, has_m);
    raise(PyExc_TypeError, Traits::kFromPyError);
  }

  struct IteratorTraits {
    using Model = PartView::Model;
    static constexpr const char* kIteratorName = Traits::kIteratorName;
    static std::optional<Item> read(const Model& part, uint64_t n) { return Traits::read(part, n); }
    // The position moves on only once the item's object exists.
    static Ref step(const CellT& c, Item item, uint64_t& position) {
      Ref obj = Traits::make_item(item, c, position);
      ++position;
      return obj;
    }
  };
  using Iterator = cell_object::LiveIterator<IteratorTraits>;

  static PyTypeObject* build() {
    static PyMethodDef* methods = cell_object::view_methods<Traits::append, Traits::insert, remove, pop, clear>();
    return cell_object::build_view_type<Model, item_read, Traits::ass_subscript>(
        {Traits::kTypeName, methods, /*has_len=*/true, /*has_repr=*/false, Iterator::iter_slot});
  }
};

}  // namespace ostrel::py::part_view
