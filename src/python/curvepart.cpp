#include "python/curvepart.hpp"

#include <cstring>
#include <string>

#include "python/common.hpp"
#include "python/curve_input.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"
#include "python/segment.hpp"

namespace ostrel::py {

namespace {

using model::CurveData;
using model::ZorvCoord;
using PartCell = CurvePart::PartCell;
constexpr const char* kName = "CurvePart";

PartCell& cell_of(PyObject* self) { return unbox<PartCell>(self); }

uint64_t locked_len(const PartCell& cell) {
  auto g = cell.lock();
  return g->len();
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
  std::optional<model::ZorvCurvePart::Vertex> v;
  {
    auto g = cell.lock();
    v = g->get(n);
  }
  if (!v) common::gen_py_idx_err(i, len, kName);
  return from_coord_curve(v->first, v->second, cell, n);
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

// ---- writing a curve vertex ----
//
// The new value is read while the part is unlocked, because reading it runs
// Python conversions that may reach this same part.  The part's state that the
// reading relied on (its length and the start vertex) is taken first and
// checked again under the lock that does the write.

bool same_coord(const ZorvCoord& a, const ZorvCoord& b) {
  if (a.dims() != b.dims()) return false;
  double av[4] = {a.x(), a.y(), a.z_or_nan(), a.m_or_nan()};
  double bv[4] = {b.x(), b.y(), b.z_or_nan(), b.m_or_nan()};
  return std::memcmp(av, bv, sizeof av) == 0;
}

struct Snapshot {
  uint64_t len = 0;
  bool has_z = false;
  bool has_m = false;
  std::optional<ZorvCoord> previous;  // vertex n - 1 when n > 0
};

Snapshot snapshot(const model::ZorvCurvePart& part, uint64_t n) {
  Snapshot s{part.len(), part.has_z(), part.has_m(), std::nullopt};
  if (n > 0) {
    if (auto v = part.get(n - 1)) s.previous = v->first;
  }
  return s;
}

// The vertex and curve data that `value` gives at position n.
std::pair<ZorvCoord, CurveData> read_vertex(PyObject* value, uint64_t n, const Snapshot& s) {
  if (n == 0) {
    if (!PyList_Check(value)) {
      raise(PyExc_ValueError,
            "Tried to place curve at the beginning of a curve part- must have a regular coordinate as start vertex");
    }
    return {common::coord_from_list(value, s.has_z, s.has_m), model::Linear{}};
  }
  if (!s.previous) {
    raise(PyExc_ValueError, "Tried to insert curve beyond end of curve part at " + std::to_string(n) + ", len is " +
                                std::to_string(s.len));
  }
  return coord_and_curve_from_py(value, s.has_z, s.has_m, *s.previous);
}

// Under the write lock: the part must still be as it was when the value was read.
void check_unchanged(const model::ZorvCurvePart& part, uint64_t n, const Snapshot& s) {
  bool same = part.len() == s.len;
  if (same && n > 0) {
    auto v = part.get(n - 1);
    same = v && s.previous && same_coord(v->first, *s.previous);
  }
  if (!same) raise(PyExc_RuntimeError, "CurvePart changed while its new vertex was being read");
}

enum class Write { Set, Insert };

void write_vertex(const PartCell& cell, int64_t i, PyObject* value, Write how) {
  uint64_t n;
  Snapshot s;
  {
    auto g = cell.lock();
    n = common::py_index(i, g->len(), kName, how == Write::Insert ? 1 : 0);
    s = snapshot(*g, n);
  }
  auto [coord, curve] = read_vertex(value, n, s);
  auto g = cell.lock();
  check_unchanged(*g, n, s);
  if (how == Write::Set) {
    (void)g->set(n, coord, std::move(curve));
  } else {
    g->insert(n, coord, std::move(curve));
  }
}

int part_ass_subscript(PyObject* self, PyObject* key, PyObject* value) {
  return trampoline_int([&] {
    if (!value) raise(PyExc_NotImplementedError, "can't delete item");
    int64_t i = arg_i64(key, "index");
    write_vertex(cell_of(self), i, value, Write::Set);
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
  auto a = match<1>({"CurvePart.append()", {"value"}, 1}, args, nargs, kwnames);
  const PartCell& cell = cell_of(self);
  uint64_t n;
  Snapshot s;
  {
    auto g = cell.lock();
    n = g->len();
    s = snapshot(*g, n);
  }
  auto [coord, curve] = read_vertex(a[0], n, s);
  auto g = cell.lock();
  check_unchanged(*g, n, s);
  g->push(coord, std::move(curve));
  return none();
}

Ref part_insert(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<2>({"CurvePart.insert()", {"index", "value"}, 2}, args, nargs, kwnames);
  int64_t i = arg_i64(a[0], "index");
  write_vertex(cell_of(self), i, a[1], Write::Insert);
  return none();
}

Ref part_remove(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<1>({"CurvePart.remove()", {"index"}, 1}, args, nargs, kwnames);
  int64_t i = arg_i64(a[0], "index");
  const PartCell& cell = cell_of(self);
  uint64_t n = common::py_index(i, locked_len(cell), kName, 0);
  auto g = cell.lock();
  (void)g->remove(n);
  return none();
}

Ref part_pop(PyObject* self) {
  std::optional<model::ZorvCurvePart::Vertex> v;
  {
    auto g = cell_of(self).lock();
    v = g->pop();
  }
  if (!v) return none();
  return from_coord_curve(v->first, v->second, std::nullopt, 0);
}

Ref part_clear(PyObject* self) {
  auto g = cell_of(self).lock();
  g->clear();
  return none();
}

PyMethodDef part_methods[] = {
    {"append", OSTREL_METH_FASTCALL(part_append), METH_FASTCALL | METH_KEYWORDS, "append($self, value)\n--\n\n"},
    {"insert", OSTREL_METH_FASTCALL(part_insert), METH_FASTCALL | METH_KEYWORDS,
     "insert($self, index, value)\n--\n\n"},
    {"remove", OSTREL_METH_FASTCALL(part_remove), METH_FASTCALL | METH_KEYWORDS, "remove($self, index)\n--\n\n"},
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
    std::optional<model::ZorvCurvePart::Vertex> v;
    {
      auto g = it.cell.lock_or_fatal("Lock poisoned");
      v = g->get(it.count);
    }
    if (!v) return Ref();  // the end, without an exception
    Ref segment = from_coord_curve(v->first, v->second, it.cell, it.count);
    ++it.count;
    return segment;
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
    static PyType_Spec spec = {"ostrel_geometry.CurvePartIterator", sizeof(Boxed<IterState>), 0,
                               Py_TPFLAGS_DEFAULT, slots};
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
  static PyType_Spec spec = {"ostrel_geometry.CurvePart", sizeof(Boxed<PartCell>), 0, Py_TPFLAGS_DEFAULT, slots};
  return build_type(&spec);
}

Registrar reg("ostrel_geometry", "CurvePart", &CurvePart::type);

}  // namespace

PyTypeObject* CurvePart::type() {
  static PyTypeObject* t = build();
  return t;
}

Ref CurvePart::wrap(PartCell cell) { return make_boxed<PartCell>(type(), std::move(cell)); }

const CurvePart::PartCell& CurvePart::cell(PyObject* part) { return cell_of(part); }

CurvePart::PartCell CurvePart::from_py(PyObject* value, bool has_z, bool has_m) {
  if (PyObject_TypeCheck(value, type())) return cell_of(value);
  if (PyList_Check(value)) return from_list(value, has_z, has_m);
  raise(PyExc_TypeError, "CurvePart from_py requires a Part or a list");
}

CurvePart::PartCell CurvePart::from_list(PyObject* list, bool has_z, bool has_m) {
  model::ZorvCurvePart part(has_z, has_m);
  std::optional<ZorvCoord> previous;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
    Ref item = Ref::borrow(PyList_GET_ITEM(list, i));
    if (!previous) {
      if (!PyList_Check(item.get())) {
        raise(PyExc_ValueError,
              "Tried to create curve part with a curve as the first segment- must have a regular coordinate as "
              "start vertex");
      }
      ZorvCoord c = common::coord_from_list(item.get(), has_z, has_m);
      part.push(c, model::Linear{});
      previous = c;
      continue;
    }
    auto [c, curve] = coord_and_curve_from_py(item.get(), has_z, has_m, *previous);
    part.push(c, std::move(curve));
    previous = c;
  }
  return PartCell(std::move(part));
}

}  // namespace ostrel::py
