#include "python/classes/curvepart.hpp"

#include <cstring>
#include <string>

#include "python/classes/common.hpp"
#include "python/classes/curve_input.hpp"
#include "python/classes/part_view.hpp"
#include "python/classes/segment.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

using model::CurveData;
using model::ZorvCoord;
using PartCell = CurvePart::PartCell;
constexpr const char* kName = "CurvePart";

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
    write_vertex(CurvePart::cell(self), i, value, Write::Set);
    return 0;
  });
}

// ---- methods ----

Ref part_append(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<1>({"CurvePart.append()", {"value"}, 1}, args, nargs, kwnames);
  const PartCell& cell = CurvePart::cell(self);
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
  write_vertex(CurvePart::cell(self), i, a[1], Write::Insert);
  return none();
}

struct Traits {
  using Model = model::ZorvCurvePart;
  using Item = model::ZorvCurvePart::Vertex;
  static constexpr const char* kName = "CurvePart";
  static constexpr const char* kTypeName = "ostrel_geometry.CurvePart";
  static constexpr const char* kIteratorName = "ostrel_geometry.CurvePartIterator";
  static constexpr const char* kRemove = "CurvePart.remove()";
  static constexpr const char* kFromPyError = "CurvePart from_py requires a Part or a list";
  static PyTypeObject* type() { return CurvePart::type(); }
  static std::optional<Item> read(const Model& part, uint64_t n) { return part.get(n); }
  static std::optional<Item> take_last(Model& part) { return part.pop(); }
  // Refused (CurvedPartStart) when the vertex that would become the first carries a curve.
  static void remove_at(Model& part, uint64_t n) { (void)part.remove(n); }
  static Ref make_item(const Item& v, std::optional<PartCell> parent, uint64_t index) {
    return from_coord_curve(v.first, v.second, std::move(parent), index);
  }
  static PartCell from_list(PyObject* list, bool has_z, bool has_m) {
    return CurvePart::from_list(list, has_z, has_m);
  }
  static constexpr auto append = part_append;
  static constexpr auto insert = part_insert;
  static constexpr auto ass_subscript = part_ass_subscript;
};

Registrar reg("ostrel_geometry", "CurvePart", &CurvePart::type);

}  // namespace

struct CurvePart::View : part_view::PartView<Traits> {};

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

template struct ViewClassMembers<CurvePart, model::ZorvCurvePart>;

}  // namespace ostrel::py
