#include "python/part.hpp"

#include <string>

#include "python/common.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"
#include "python/segment.hpp"

namespace ostrel::py {

namespace {

using model::ZorvCoord;
using PartCell = Part::PartCell;
constexpr const char* kName = "Part";

PartCell& cell_of(PyObject* self) { return unbox<PartCell>(self); }

uint64_t locked_len(const PartCell& cell) {
  auto g = cell.lock();
  return g->len();
}

// ---- the four locked steps of the index rule ----
std::optional<ZorvCoord> op_get(const PartCell& cell, uint64_t n) {
  auto g = cell.lock();
  return g->get_coord(n);
}
void op_set(const PartCell& cell, uint64_t n, const ZorvCoord& c) {
  auto g = cell.lock();
  (void)g->set_coord(n, c);
}
void op_insert(const PartCell& cell, uint64_t n, const ZorvCoord& c) {
  auto g = cell.lock();
  g->insert_coord(n, c);
}
void op_remove(const PartCell& cell, uint64_t n) {
  auto g = cell.lock();
  (void)g->remove_coord(n);
}

Py_ssize_t part_len(PyObject* self) {
  try {
    return static_cast<Py_ssize_t>(locked_len(cell_of(self)));
  } catch (...) {
    set_python_error_from_current();
    return -1;
  }
}

Ref item_read(PyObject* self, PyObject* key) {
  int64_t i = arg_i64(key, "key");
  const PartCell& cell = cell_of(self);
  uint64_t len = locked_len(cell);
  uint64_t n = common::py_index(i, len, kName, 0);
  std::optional<ZorvCoord> c = op_get(cell, n);
  if (!c) common::gen_py_idx_err(i, len, kName);
  return Coord::make(*c, cell, n);
}

PyObject* part_subscript(PyObject* self, PyObject* key) {
  return trampoline([&] { return item_read(self, key); });
}

PyObject* part_sq_item(PyObject* self, Py_ssize_t i) {
  return trampoline([&] {
    Ref key = check(PyLong_FromSsize_t(i));
    return item_read(self, key.get());
  });
}

int part_ass_subscript(PyObject* self, PyObject* key, PyObject* value) {
  return trampoline_int([&] {
    if (!value) raise(PyExc_NotImplementedError, "can't delete item");
    int64_t i = arg_i64(key, "index");
    const PartCell& cell = cell_of(self);
    ZorvCoord c = Part::interpret_coord(cell, value);
    uint64_t n = common::py_index(i, locked_len(cell), kName, 0);
    op_set(cell, n, c);
    return 0;
  });
}

int part_sq_ass_item(PyObject* self, Py_ssize_t i, PyObject* value) {
  Ref key = Ref::steal(PyLong_FromSsize_t(i));
  if (!key) return -1;
  return part_ass_subscript(self, key.get(), value);
}

PyObject* part_str(PyObject* self) {
  return trampoline([&] {
    std::string out;
    {
      auto g = cell_of(self).lock();
      g->write_zorvjson(out);
    }
    return to_py(out);
  });
}

// ---- methods ----

Ref part_append(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<1>({"Part.append()", {"value"}, 1}, args, nargs, kwnames);
  const PartCell& cell = cell_of(self);
  ZorvCoord c = Part::interpret_coord(cell, a[0]);
  auto g = cell.lock();
  g->push_coord(c.x(), c.y(), c.z(), c.m());
  return none();
}

Ref part_insert(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<2>({"Part.insert()", {"index", "value"}, 2}, args, nargs, kwnames);
  int64_t i = arg_i64(a[0], "index");
  const PartCell& cell = cell_of(self);
  ZorvCoord c = Part::interpret_coord(cell, a[1]);
  uint64_t n = common::py_index(i, locked_len(cell), kName, 1);
  op_insert(cell, n, c);
  return none();
}

Ref part_remove(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<1>({"Part.remove()", {"index"}, 1}, args, nargs, kwnames);
  int64_t i = arg_i64(a[0], "index");
  const PartCell& cell = cell_of(self);
  uint64_t n = common::py_index(i, locked_len(cell), kName, 0);
  op_remove(cell, n);
  return none();
}

Ref part_pop(PyObject* self) {
  std::optional<ZorvCoord> c;
  {
    auto g = cell_of(self).lock();
    c = g->pop_coord();
  }
  if (!c) return none();
  return Coord::make(*c, std::nullopt, 0);
}

Ref part_clear(PyObject* self) {
  auto g = cell_of(self).lock();
  g->clear();
  return none();
}

PyMethodDef part_methods[] = {
    {"append", OSTREL_METH_FASTCALL(part_append), METH_FASTCALL | METH_KEYWORDS,
     "append($self, value)\n--\n\n"},
    {"insert", OSTREL_METH_FASTCALL(part_insert), METH_FASTCALL | METH_KEYWORDS,
     "insert($self, index, value)\n--\n\n"},
    {"remove", OSTREL_METH_FASTCALL(part_remove), METH_FASTCALL | METH_KEYWORDS,
     "remove($self, index)\n--\n\n"},
    {"pop", OSTREL_NOARGS(part_pop), METH_NOARGS, "pop($self)\n--\n\n"},
    {"clear", OSTREL_NOARGS(part_clear), METH_NOARGS, "clear($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

// ---- iterator ----

struct IterState {
  PartCell cell;
  uint64_t count = 0;
};

PyObject* iter_self(PyObject* self) { return Py_NewRef(self); }

PyObject* iter_next(PyObject* self) {
  return trampoline([&]() -> Ref {
    IterState& it = unbox<IterState>(self);
    std::optional<ZorvCoord> c;
    {
      auto g = it.cell.lock_or_fatal("Lock poisoned");
      c = g->get_coord(it.count);
    }
    if (!c) return Ref();  // the end, without an exception
    Ref coord = Coord::make(*c, it.cell, it.count);
    ++it.count;
    return coord;
  });
}

PyTypeObject* iterator_type() {
  static PyTypeObject* t = [] {
    static PyType_Slot slots[] = {
        {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
        {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<IterState>)},
        {Py_tp_iter, reinterpret_cast<void*>(iter_self)},
        {Py_tp_iternext, reinterpret_cast<void*>(iter_next)},
        {0, nullptr},
    };
    static PyType_Spec spec = {"ostrel_geometry.PartIterator", sizeof(Boxed<IterState>), 0, Py_TPFLAGS_DEFAULT,
                               slots};
    return build_type(&spec);
  }();
  return t;
}

PyObject* part_iter(PyObject* self) {
  return trampoline([&] { return make_boxed<IterState>(iterator_type(), IterState{cell_of(self), 0}); });
}

PyTypeObject* build() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<PartCell>)},
      {Py_tp_methods, part_methods},
      {Py_tp_str, reinterpret_cast<void*>(part_str)},
      {Py_tp_iter, reinterpret_cast<void*>(part_iter)},
      {Py_mp_length, reinterpret_cast<void*>(part_len)},
      {Py_sq_length, reinterpret_cast<void*>(part_len)},
      {Py_mp_subscript, reinterpret_cast<void*>(part_subscript)},
      {Py_mp_ass_subscript, reinterpret_cast<void*>(part_ass_subscript)},
      {Py_sq_item, reinterpret_cast<void*>(part_sq_item)},
      {Py_sq_ass_item, reinterpret_cast<void*>(part_sq_ass_item)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.Part", sizeof(Boxed<PartCell>), 0, Py_TPFLAGS_DEFAULT, slots};
  return build_type(&spec);
}

Registrar reg("ostrel_geometry", "Part", &Part::type);

}  // namespace

PyTypeObject* Part::type() {
  static PyTypeObject* t = build();
  return t;
}

Ref Part::wrap(PartCell cell) { return make_boxed<PartCell>(type(), std::move(cell)); }

const Part::PartCell& Part::cell(PyObject* part) { return cell_of(part); }

Part::PartCell Part::from_py(PyObject* value, bool has_z, bool has_m) {
  if (PyObject_TypeCheck(value, type())) return cell_of(value);
  if (PyList_Check(value)) return from_list(value, has_z, has_m);
  raise(PyExc_TypeError, "Part from_py requires a Part or a list");
}

Part::PartCell Part::from_list(PyObject* list, bool has_z, bool has_m) {
  model::ZorvPart part(has_z, has_m);
  // The length is read again at every step: reading an item may run Python
  // code that changes the list.
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
    Ref item = Ref::borrow(PyList_GET_ITEM(list, i));
    common::expect_list(item.get());
    ZorvCoord c = common::coord_from_list(item.get(), has_z, has_m);
    part.push_coord(c.x(), c.y(), c.z(), c.m());
  }
  return PartCell(std::move(part));
}

model::ZorvCoord Part::interpret_coord(const PartCell& cell, PyObject* value) {
  bool has_z, has_m;
  {
    auto g = cell.lock_or_fatal("Lock poisoned");
    has_z = g->has_z();
    has_m = g->has_m();
  }
  common::expect_list(value);
  return common::coord_from_list(value, has_z, has_m);
}

}  // namespace ostrel::py
