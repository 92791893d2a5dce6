#include "python/classes/part.hpp"

#include "python/classes/common.hpp"
#include "python/classes/part_view.hpp"
#include "python/classes/segment.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

using model::ZorvCoord;
using PartCell = Part::PartCell;
constexpr const char* kName = "Part";

// ---- the locked steps of the index rule that change the part ----
void op_set(const PartCell& cell, uint64_t n, const ZorvCoord& c) {
  auto g = cell.lock();
  (void)g->set_coord(n, c);
}
void op_insert(const PartCell& cell, uint64_t n, const ZorvCoord& c) {
  auto g = cell.lock();
  g->insert_coord(n, c);
}

// A coordinate value is read (outside the lock) before its index is checked.
int part_ass_subscript(PyObject* self, PyObject* key, PyObject* value) {
  return trampoline_int([&] {
    if (!value) raise(PyExc_NotImplementedError, "can't delete item");
    int64_t i = arg_i64(key, "index");
    const PartCell& cell = Part::cell(self);
    ZorvCoord c = Part::interpret_coord(cell, value);
    uint64_t n = common::py_index(i, cell_object::locked_len(cell), kName, 0);
    op_set(cell, n, c);
    return 0;
  });
}

Ref part_append(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<1>({"Part.append()", {"value"}, 1}, args, nargs, kwnames);
  const PartCell& cell = Part::cell(self);
  ZorvCoord c = Part::interpret_coord(cell, a[0]);
  auto g = cell.lock();
  g->push_coord(c.x(), c.y(), c.z(), c.m());
  return none();
}

Ref part_insert(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<2>({"Part.insert()", {"index", "value"}, 2}, args, nargs, kwnames);
  int64_t i = arg_i64(a[0], "index");
  const PartCell& cell = Part::cell(self);
  ZorvCoord c = Part::interpret_coord(cell, a[1]);
  uint64_t n = common::py_index(i, cell_object::locked_len(cell), kName, 1);
  op_insert(cell, n, c);
  return none();
}

struct Traits {
  using Model = model::ZorvPart;
  using Item = ZorvCoord;
  static constexpr const char* kName = "Part";
  static constexpr const char* kTypeName = "ostrel_geometry.Part";
  static constexpr const char* kIteratorName = "ostrel_geometry.PartIterator";
  static constexpr const char* kRemove = "Part.remove()";
  static constexpr const char* kFromPyError = "Part from_py requires a Part or a list";
  static PyTypeObject* type() { return Part::type(); }
  static std::optional<Item> read(const Model& part, uint64_t n) { return part.get_coord(n); }
  static std::optional<Item> take_last(Model& part) { return part.pop_coord(); }
  static void remove_at(Model& part, uint64_t n) { (void)part.remove_coord(n); }
  static Ref make_item(const Item& c, std::optional<PartCell> parent, uint64_t index) {
    return Coord::make(c, std::move(parent), index);
  }
  static PartCell from_list(PyObject* list, bool has_z, bool has_m) { return Part::from_list(list, has_z, has_m); }
  static constexpr auto append = part_append;
  static constexpr auto insert = part_insert;
  static constexpr auto ass_subscript = part_ass_subscript;
};

Registrar reg("ostrel_geometry", "Part", &Part::type);

}  // namespace

struct Part::View : part_view::PartView<Traits> {};

Part::PartCell Part::from_list(PyObject* list, bool has_z, bool has_m) {
  model::ZorvPart part(has_z, has_m);
  // Room for the length it has now, so that a part holds no spare room; the
  // length is read again at every step: reading an item may run Python code
  // that changes the list.
  part.reserve(static_cast<std::size_t>(PyList_GET_SIZE(list)));
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
    auto g = cell.read_or_fatal("Lock poisoned");
    has_z = g->has_z();
    has_m = g->has_m();
  }
  common::expect_list(value);
  return common::coord_from_list(value, has_z, has_m);
}

template struct ViewClassMembers<Part, model::ZorvPart>;

}  // namespace ostrel::py
