#include "python/classes/geometry.hpp"

#include <deque>
#include <vector>

#include "binding/geometry_engine.hpp"
#include "python/classes/factory.hpp"
#include "python/classes/qxcgeo.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

// Members joined by other files; kept in stable storage because the type
// refers to the arrays for its whole life.
struct ExtraMembers {
  std::vector<PyMethodDef> methods;
  std::vector<PyGetSetDef> getsets;
};

ExtraMembers& extra_members() {
  static ExtraMembers m;
  return m;
}

PyObject* interned(const char* text) {
  PyObject* s = PyUnicode_InternFromString(text);
  if (!s) throw_py();
  return s;  // kept for the life of the process
}

// The constructor the class declares: an instance without content.  Module
// start-up replaces it with the factory.
PyObject* geometry_plain_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return trampoline([&] {
    if (PyTuple_GET_SIZE(args) != 0 || (kwargs && PyDict_GET_SIZE(kwargs) != 0)) {
      raise(PyExc_TypeError, "Geometry() takes no arguments");
    }
    return check(type->tp_alloc(type, 0));
  });
}

Ref uninitialized_qxc_geo(PyObject*) {
  raise(PyExc_Exception, "Uninitialized ostrel_geometry.Geometry cannot be used for geometry operations");
}

Ref to_dict(PyObject* self) {
  static PyObject* json_name = interned("JSON");
  Ref text = check(PyObject_GetAttr(self, json_name));
  if (!PyUnicode_Check(text.get())) raise(PyExc_TypeError, cast_text(text.get(), "str"));
  Ref json = check(PyImport_ImportModule("json"));
  Py_ssize_t n = 0;
  const char* p = PyUnicode_AsUTF8AndSize(text.get(), &n);
  if (!p) throw_py();
  Ref copy = check(PyUnicode_FromStringAndSize(p, n));
  Ref result = check(PyObject_CallMethod(json.get(), "loads", "O", copy.get()));
  if (!PyDict_Check(result.get())) raise(PyExc_TypeError, cast_text(result.get(), "dict"));
  return result;
}

template <bool Z>
int refuse_dims_change(PyObject*, PyObject* value, void*) {
  return trampoline_int([&]() -> int {
    if (!value) refuse_delete();
    (void)arg_bool(value, "_value");
    raise(PyExc_Exception, Z ? "Cannot change has_z as this would cause metadata not to match the actual data structure"
                             : "Cannot change has_m as this would cause metadata not to match the actual data structure");
  });
}

PyTypeObject* build() {
  static std::vector<PyMethodDef> methods = [] {
    std::vector<PyMethodDef> v = {
        {"__qxc_geo", OSTREL_NOARGS(uninitialized_qxc_geo), METH_NOARGS, nullptr},
        {"to_dict", OSTREL_NOARGS(to_dict), METH_NOARGS,
         "to_dict($self)\n--\n\nThe geometry's runtime JSON (its `JSON` property) parsed into a dict."},
    };
    for (const PyMethodDef& m : extra_members().methods) v.push_back(m);
    v.push_back({nullptr, nullptr, 0, nullptr});
    return v;
  }();
  static std::vector<PyGetSetDef> getsets = [] {
    std::vector<PyGetSetDef> v = {
        {"has_z", nullptr, refuse_dims_change<true>, nullptr, nullptr},
        {"has_m", nullptr, refuse_dims_change<false>, nullptr, nullptr},
    };
    for (const PyGetSetDef& g : extra_members().getsets) v.push_back(g);
    v.push_back({nullptr, nullptr, nullptr, nullptr, nullptr});
    return v;
  }();
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(geometry_plain_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(free_instance)},
      {Py_tp_doc, const_cast<char*>("Geometry()\n--\n\n")},
      {Py_tp_methods, methods.data()},
      {Py_tp_getset, getsets.data()},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.Geometry", sizeof(PyObject), 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, slots};
  return build_type(&spec);
}

Registrar reg("ostrel_geometry", "Geometry", &Geometry::type);

}  // namespace

Geometry::Members::Members(std::initializer_list<PyMethodDef> methods, std::initializer_list<PyGetSetDef> getsets) {
  ExtraMembers& m = extra_members();
  m.methods.insert(m.methods.end(), methods.begin(), methods.end());
  m.getsets.insert(m.getsets.end(), getsets.begin(), getsets.end());
}

PyTypeObject* Geometry::type() {
  static PyTypeObject* t = build();
  return t;
}

namespace {

struct DirectEntry {
  PyTypeObject* type;
  PyCFunction method;
  Geometry::DirectConversion convert;
  Geometry::DirectBorrow borrow;
  Geometry::DirectReady ready;
  // The type's version tag when `method` was last found in place; the
  // interpreter gives a type a new tag whenever its attributes change.
  unsigned int checked_tag = 0;
};

std::vector<DirectEntry>& direct_entries() {
  static std::vector<DirectEntry> entries;
  return entries;
}

// Whether the class of `e` still holds its own `__qxc_geo`.  Looking the
// method up on the class (not only in its dictionary, which gives the same
// answer for the class itself) lets the interpreter tag the class, so that
// later calls only compare tags.
// Whether the class of `e` was found holding its own method and has not
// changed since: no lookup, so no Python code.
bool known_to_hold_own_method(const DirectEntry& e) {
  PyTypeObject* t = e.type;
  return e.checked_tag != 0 && (t->tp_flags & Py_TPFLAGS_VALID_VERSION_TAG) &&
         t->tp_version_tag == e.checked_tag;
}

bool holds_own_method(DirectEntry& e, PyObject* name) {
  PyTypeObject* t = e.type;
  if (known_to_hold_own_method(e)) return true;
  Ref attr = Ref::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(t), name));
  if (!attr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw_py();
    PyErr_Clear();
  }
  const bool own = attr && Py_IS_TYPE(attr.get(), &PyMethodDescr_Type) &&
                   reinterpret_cast<PyMethodDescrObject*>(attr.get())->d_method->ml_meth == e.method;
  e.checked_tag = own && (t->tp_flags & Py_TPFLAGS_VALID_VERSION_TAG) ? t->tp_version_tag : 0;
  return own;
}

}  // namespace

void Geometry::register_direct(PyTypeObject* type, PyCFunction method, DirectConversion convert,
                               DirectBorrow borrow, DirectReady ready) {
  direct_entries().push_back({type, method, convert, borrow, ready});
}

namespace {

PyObject* qxc_geo_name() {
  static PyObject* name = interned("__qxc_geo");
  return name;
}

// The entry of an object of exactly a registered class that still holds its
// own `__qxc_geo`, or null.
const DirectEntry* direct_entry(PyObject* obj) {
  for (DirectEntry& e : direct_entries()) {
    if (Py_TYPE(obj) != e.type) continue;
    return holds_own_method(e, qxc_geo_name()) ? &e : nullptr;
  }
  return nullptr;
}

Geometry::DirectConversion direct_conversion(PyObject* obj) {
  const DirectEntry* e = direct_entry(obj);
  return e ? e->convert : nullptr;
}

// The entry of an object whose class is already known to hold its own
// `__qxc_geo`, or null: a walk lends or leases such objects' geometries
// without looking the method up.
const DirectEntry* lending_entry(PyTypeObject* type) {
  // Only where the class is known to hold its own method already: a lookup
  // here (which a descriptor on a patched class could see) would be made
  // again by geom_from_pyobj for an object that cannot be borrowed.  The
  // entry that lent last is tried first: the items of a collection walked
  // one by one are mostly of one class.
  // Entries are only ever appended, so that an index stays good.
  static std::size_t last = 0;
  const std::vector<DirectEntry>& entries = direct_entries();
  if (last >= entries.size() || entries[last].type != type) {
    std::size_t i = 0;
    while (i < entries.size() && entries[i].type != type) ++i;
    if (i == entries.size()) return nullptr;
    last = i;
  }
  const DirectEntry& e = entries[last];
  return known_to_hold_own_method(e) ? &e : nullptr;
}

}  // namespace

const rt::GeometryOwned* Geometry::borrow_direct(PyObject* value) {
  const DirectEntry* e = lending_entry(Py_TYPE(value));
  return e ? &e->borrow(value) : nullptr;
}

Geometry::DirectReady Geometry::ready_of_type(PyTypeObject* type) {
  const DirectEntry* e = lending_entry(type);
  return e ? e->ready : nullptr;
}

std::optional<rt::GeometryLease> Geometry::lease_direct(PyObject* value) {
  const DirectEntry* e = lending_entry(Py_TYPE(value));
  if (!e) return std::nullopt;
  return e->convert(value);
}

rt::GeometryLease Geometry::geom_from_pyobj(PyObject* value) {
  PyObject* qxc_name = qxc_geo_name();
  if (DirectConversion convert = direct_conversion(value)) return convert(value);
  Ref made;  // a geometry made by the factory lives only for this call
  PyObject* obj = value;
  int is_geometry = PyObject_IsInstance(value, reinterpret_cast<PyObject*>(type()));
  if (is_geometry < 0) throw_py();
  if (!is_geometry) {
    made = factory::geometry(value);
    obj = made.get();
    if (DirectConversion convert = direct_conversion(obj)) return convert(obj);
  }
  Ref carrier = check(PyObject_CallMethodNoArgs(obj, qxc_name));
  if (Py_TYPE(carrier.get()) != QXCGeo::type()) raise(PyExc_TypeError, cast_text(carrier.get(), "QXCGeo"));
  return QXCGeo::take(carrier.get());
}

namespace {

template <class Op>
std::vector<rt::GeometryOwned> walk(PyObject* iterable, Op op) {
  Ref iter = check(PyObject_GetIter(iterable));
  std::vector<rt::GeometryOwned> results;
  while (true) {
    Ref item = Ref::steal(PyIter_Next(iter.get()));
    if (!item) {
      if (PyErr_Occurred()) throw_py();
      break;
    }
    // As in the collection walks of the operations: an item held elsewhere
    // lends its kept geometry to `op`, which runs no Python code.
    if (Py_REFCNT(item.get()) > 1) {
      if (const rt::GeometryOwned* kept = Geometry::borrow_direct(item.get())) {
        results.push_back(op(*kept));
        continue;
      }
    }
    rt::GeometryLease geometry = Geometry::geom_from_pyobj(item.get());
    results.push_back(op(geometry));
  }
  return results;
}

}  // namespace

std::vector<rt::GeometryOwned> Geometry::iterable_op_geom(PyObject* iterable, const rt::SpatialReference& sr) {
  // The walk above, with the items that lend their kept geometries gathered
  // and projected together in one runtime call.  Before any Python code runs
  // (the next item of an iterator other than a list or a tuple, an item
  // converted by the factory or its class) everything gathered is
  // projected: failures come in the collection's order, an iterator is read
  // no further than one item at a time would read it, and a gathered item
  // stays in its collection until it is projected.
  Ref iter = check(PyObject_GetIter(iterable));
  const bool reads_without_python = PyList_CheckExact(iterable) || PyTuple_CheckExact(iterable);
  std::vector<rt::GeometryOwned> results;
  // Leases, not borrowed geometries: building the form of a later item may
  // let go of an earlier one's under the budget of kept forms.
  std::vector<rt::GeometryLease> gathered;
  if (reads_without_python) {
    // A list may still grow while it is read (a factory-converted item runs
    // Python code); what it holds now is only a first guess.
    const auto n = static_cast<std::size_t>(PySequence_Fast_GET_SIZE(iterable));
    results.reserve(n);
    gathered.reserve(n);
  }
  std::vector<const rt::GeometryBase*> operands;
  const auto project_gathered = [&] {
    if (gathered.empty()) return;
    operands.clear();
    for (const rt::GeometryLease& lease : gathered) operands.push_back(&lease.get());
    for (rt::GeometryOwned& g : rt::geometry_engine::project_each(operands, sr)) results.push_back(std::move(g));
    gathered.clear();
  };
  while (true) {
    if (!reads_without_python) project_gathered();
    Ref item = Ref::steal(PyIter_Next(iter.get()));
    if (!item) {
      if (PyErr_Occurred()) throw_py();
      break;
    }
    if (Py_REFCNT(item.get()) > 1) {
      std::optional<rt::GeometryLease> kept;
      try {
        kept = Geometry::lease_direct(item.get());
      } catch (...) {
        // An item that cannot be lent fails after those before it.
        if (!PyErr_Occurred()) project_gathered();
        throw;
      }
      if (kept) {
        gathered.push_back(std::move(*kept));
        continue;
      }
    }
    project_gathered();
    rt::GeometryLease geometry = Geometry::geom_from_pyobj(item.get());
    results.push_back(rt::geometry_engine::project(geometry, sr));
  }
  project_gathered();
  return results;
}

std::vector<rt::GeometryOwned> Geometry::iterable_op_geom(PyObject* iterable, const rt::SpatialReference& sr,
                                                          const rt::DatumTransformationOwned& transformation) {
  return walk(iterable, [&](const rt::GeometryOwned& g) {
    return rt::geometry_engine::project_with_transformation(g, sr, transformation);
  });
}

Ref Geometry::iterable_geos_to_py(std::vector<rt::GeometryOwned> geometries) {
  // Made at its length, so that it is not grown and copied item by item; a
  // slot not yet filled when a conversion fails is null, which the list's
  // release skips.
  Ref list = check(PyList_New(static_cast<Py_ssize_t>(geometries.size())));
  for (std::size_t i = 0; i < geometries.size(); ++i)
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i),
                    factory::from_geometry_owned(std::move(geometries[i])).release());
  return list;
}

}  // namespace ostrel::py
