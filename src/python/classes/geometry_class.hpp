// Members that the five geometry classes share: each object holds one shared
// model cell (geometry_state.hpp), and these read and write it under its
// lock.  Every write through the object lets go of the runtime geometry it
// kept.
#pragma once

#include <string>
#include <type_traits>
#include <utility>

#include "model/model.hpp"
#include "python/classes/cell_object.hpp"
#include "python/classes/common.hpp"
#include "python/classes/geometry.hpp"
#include "python/classes/geometry_class_members.hpp"
#include "python/classes/qxcgeo.hpp"
#include "python/classes/spatial_reference.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/failure.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py::geometry_class {

using cell_object::cell_of;
using cell_object::zorvjson_str;

// A new object of `type` on the given cell.
template <class M>
Ref wrap(PyTypeObject* type, model::Cell<M> cell) {
  return make_boxed<geometry_state::State<M>>(type, std::move(cell));
}

// A new object of `type` for a runtime geometry of the class's kind (an
// operation's result): it holds the geometry and reads its model at first
// need, or, where that model would not build the same geometry again, it
// holds the model read now.
template <class M>
Ref from_result(PyTypeObject* type, rt::KeptGeometry geometry, rt::GeometryType kind) {
  switch (geometry_state::reads_back(*geometry, kind)) {
    case geometry_state::ReadBack::Exact:
      return make_boxed<geometry_state::State<M>>(type, std::move(geometry));
    case geometry_state::ReadBack::ExactIfRingsOpen:
      return make_boxed<geometry_state::State<M>>(type, std::move(geometry), true);
    case geometry_state::ReadBack::Differs:
      break;
  }
  return wrap<M>(type, model::Cell<M>(M::read_back(*geometry)));
}

// The constructor: one argument, an object of the class (shared) or a dict.
template <class M, class FromDict>
PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs, const char* format, const char* argname,
                    PyTypeObject* own_type, FromDict from_dict, const char* type_error) {
  return trampoline([&]() -> Ref {
    const char* kwlist[] = {argname, nullptr};
    PyObject* value = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, format, const_cast<char**>(kwlist), &value)) throw_py();
    if (PyObject_TypeCheck(value, own_type)) return wrap<M>(type, cell_of<M>(value));
    if (PyDict_Check(value)) return wrap<M>(type, from_dict(value));
    raise(PyExc_TypeError, type_error);
  });
}

template <class M>
PyObject* get_spatial_reference(PyObject* self, void*) {
  return trampoline([&] {
    std::optional<model::SpatialReference> sr;
    if (const rt::GeometryOwned* unread = geometry_state::unread<M>(self)) {
      // As the read-back would give it.
      if (std::optional<rt::SpatialReference> runtime = unread->spatial_reference())
        sr = model::sr_convert(std::move(*runtime));
    } else {
      auto g = cell_of<M>(self).read();
      sr = g->spatial_reference;
    }
    return SpatialReference::new_or_none(sr);
  });
}

// Only a dict replaces the spatial reference; it cannot be removed.  The dict
// is read before the lock is taken, because reading it may run Python code
// that reaches this same geometry.
template <class M>
int set_spatial_reference(PyObject* self, PyObject* value, void*) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    model::Cell<M>& cell = cell_of<M>(self);
    if (cell.is_poisoned()) throw model::ZorvGeoErr::poisoned_lock();
    if (!PyDict_Check(value)) throw cast_failure(value, "dict");
    model::SpatialReference sr = common::sr_from_dict(value);
    auto g = cell.lock();
    g->set_sr(std::move(sr));
    geometry_state::drop_kept<M>(self);
    return 0;
  });
}

// A fresh runtime geometry from the object's model (for `__qxc_geo()`, whose
// carrier takes it away).
template <class M>
rt::GeometryOwned geometry_of(PyObject* self) {
  auto g = cell_of<M>(self).read();
  return g->as_geometry_owned();
}

template <class M>
PyObject* qxc_geo(PyObject* self, PyObject*) {
  return trampoline([&] { return QXCGeo::make(geometry_of<M>(self)); });
}

template <class M>
PyObject* get_json(PyObject* self, void*) {
  return trampoline([&] {
    std::string text = geometry_state::kept_geometry<M>(self)->to_json();
    return to_py(text);
  });
}

// A property read under the lock: `read(model)` gives the C++ value, which is
// turned into a Python value after the lock is released.
template <class M, class Read>
Ref read_locked(PyObject* self, Read read) {
  auto value = [&] {
    auto g = cell_of<M>(self).read();
    return read(*g);
  }();
  if constexpr (std::is_same_v<decltype(value), bool>) {
    return to_py(value);
  } else if constexpr (std::is_same_v<decltype(value), double>) {
    return to_py(value);
  } else {
    return value ? to_py(*value) : none();
  }
}

inline PyObject* getter_none(PyObject*, void*) { return Py_NewRef(Py_None); }

// A constant text property (such as `geometry_type`); the closure holds the text.
inline PyObject* getter_text(PyObject*, void* closure) { return PyUnicode_FromString(static_cast<const char*>(closure)); }
inline void* closure_text(const char* text) { return const_cast<char*>(text); }

// ---- number fields ----
//
// `Field` is a plain float (writing None stores NaN) or an optional one
// (writing None removes it).  The closure holds the name that a conversion
// error gives the value.  The value is converted before the lock is taken.

template <class M, auto Field>
PyObject* get_number(PyObject* self, void*) {
  return trampoline([&] { return read_locked<M>(self, [](const M& g) -> std::optional<double> { return g.*Field; }); });
}

template <class M, auto Field>
int set_number(PyObject* self, PyObject* value, void* closure) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    std::optional<double> v = arg_or_none(value, static_cast<const char*>(closure), arg_f64);
    auto g = cell_of<M>(self).lock();
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype((*g).*Field)>, double>) {
      (*g).*Field = v.value_or(model::kNaN);
    } else {
      (*g).*Field = v;
    }
    geometry_state::drop_kept<M>(self);
    return 0;
  });
}

// The property `name` for the number field `Field`; its setter calls the value `arg`.
template <class M, auto Field>
PyGetSetDef number_field(const char* name, const char* arg) {
  return {name, get_number<M, Field>, set_number<M, Field>, nullptr, closure_text(arg)};
}

// ---- dimensions and emptiness ----

template <class M>
bool has_z(const M& g) {
  return g.has_z();
}
template <class M>
bool has_m(const M& g) {
  return g.has_m();
}
// A point has no dimension rule: a present value is what counts.
inline bool has_z(const model::ZorvGeometryPoint& p) { return p.z.has_value(); }
inline bool has_m(const model::ZorvGeometryPoint& p) { return p.m.has_value(); }
// An envelope answers by the lower end of each range alone.
inline bool has_z(const model::ZorvGeometryEnvelope& e) { return e.zmin.has_value(); }
inline bool has_m(const model::ZorvGeometryEnvelope& e) { return e.mmin.has_value(); }

// The closure of a flag property.
enum Flag : intptr_t { kHasZ, kHasM, kIsEmpty };
inline void* flag(Flag f) { return reinterpret_cast<void*>(f); }

template <class M>
PyObject* get_flag(PyObject* self, void* closure) {
  return trampoline([&] {
    auto f = static_cast<Flag>(reinterpret_cast<intptr_t>(closure));
    if (const rt::GeometryOwned* unread = geometry_state::unread<M>(self)) {
      geometry_state::Flags flags = geometry_state::read_back_flags(*unread, geometry_state::kind_of<M>());
      return to_py(f == kHasZ ? flags.has_z : f == kHasM ? flags.has_m : flags.is_empty);
    }
    return read_locked<M>(self, [f](const M& g) {
      switch (f) {
        case kHasZ: return has_z(g);
        case kHasM: return has_m(g);
        case kIsEmpty: return g.is_empty();
      }
      return false;
    });
  });
}

template <class M>
bool read_flag(PyObject* self, Flag f) {
  auto g = cell_of<M>(self).read();
  return f == kHasZ ? has_z(*g) : has_m(*g);
}

// ---- the live views of a geometry's parts ----

// A new view (Multipart, CurveMultipart or Part) sharing the model's
// collection or part `Member`.
template <class M, auto Member, class View>
PyObject* get_parts(PyObject* self, void*) {
  return trampoline([&] {
    auto parts = [&] {
      auto g = cell_of<M>(self).read();
      return (*g).*Member;
    }();
    return View::wrap(std::move(parts));
  });
}

// Replaces a collection or part through the model's setter `Set`, which
// refuses other dimensions.  The geometry's has_z and has_m are read first,
// each under its own lock, for a list value read into a new collection; a
// view value is shared as it is.
template <class M, class View, auto Set>
int set_parts(PyObject* self, PyObject* value, void*) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    bool z = read_flag<M>(self, kHasZ);
    bool m = read_flag<M>(self, kHasM);
    auto parts = View::from_py(value, z, m);
    auto g = cell_of<M>(self).lock();
    ((*g).*Set)(std::move(parts));
    geometry_state::drop_kept<M>(self);
    return 0;
  });
}

// ---- rows of the property and method tables ----
//
// Each class lists its rows in its own order.

template <class M>
PyGetSetDef flag_field(const char* name, Flag f) {
  return {name, get_flag<M>, nullptr, nullptr, flag(f)};
}
template <class M>
PyGetSetDef spatial_reference_field() {
  return {"spatial_reference", get_spatial_reference<M>, set_spatial_reference<M>, nullptr, nullptr};
}
template <class M>
PyGetSetDef json_field() {
  return {"JSON", get_json<M>, nullptr, nullptr, nullptr};
}
// A property that is always None (`id`, `ids`).
inline PyGetSetDef none_field(const char* name) { return {name, getter_none, nullptr, nullptr, nullptr}; }
// `geometry_type`, the class's name.
inline PyGetSetDef geometry_type_field(const char* text) {
  return {"geometry_type", getter_text, nullptr, nullptr, closure_text(text)};
}
template <class M>
PyMethodDef qxc_geo_method() {
  return {"__qxc_geo", qxc_geo<M>, METH_NOARGS, nullptr};
}

// ---- the class ----

// What sets one geometry class apart from the others.
struct GeometryClass {
  const char* name;  // dotted, with static storage
  const char* doc;   // the text signature
  newfunc tp_new;
  PyGetSetDef* getset;   // with static storage
  PyMethodDef* methods;  // with static storage
};

// A subclass of Geometry whose instances hold a Cell<M>; str() and repr()
// give its zorvjson text.  Python code may subclass it.
template <class M>
PyTypeObject* build_type_of(const GeometryClass& c) {
  PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(c.tp_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<geometry_state::State<M>>)},
      {Py_tp_doc, const_cast<char*>(c.doc)},
      {Py_tp_getset, c.getset},
      {Py_tp_methods, c.methods},
      {Py_tp_str, reinterpret_cast<void*>(zorvjson_str<M>)},
      {Py_tp_repr, reinterpret_cast<void*>(zorvjson_str<M>)},
      {0, nullptr},
  };
  PyType_Spec spec = {c.name, sizeof(Boxed<geometry_state::State<M>>), 0,
                      Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, slots};
  PyTypeObject* type = build_type(&spec, Geometry::type());
  Geometry::register_direct(type, &qxc_geo<M>, &geometry_state::kept_geometry<M>,
                            &geometry_state::kept_borrowed<M>, &geometry_state::kept_ready_run<M>);
  return type;
}

}  // namespace ostrel::py::geometry_class

namespace ostrel::py {

template <class Self, class M, class R>
Ref GeometryClassMembers<Self, M, R>::wrap(CellT cell) {
  return geometry_class::wrap(Self::type(), std::move(cell));
}

template <class Self, class M, class R>
Ref GeometryClassMembers<Self, M, R>::from_model(M model) {
  return wrap(CellT(std::move(model)));
}

template <class Self, class M, class R>
Ref GeometryClassMembers<Self, M, R>::from_geom(R geometry) {
  return from_kept(rt::keep(rt::GeometryOwned(std::move(geometry))));
}

template <class Self, class M, class R>
Ref GeometryClassMembers<Self, M, R>::from_kept(rt::KeptGeometry geometry) {
  return geometry_class::from_result<M>(Self::type(), std::move(geometry), geometry_state::kind_of<M>());
}

template <class Self, class M, class R>
rt::TypedLease<R> GeometryClassMembers<Self, M, R>::get_geom(PyObject* object) {
  return rt::TypedLease<R>(geometry_state::kept_geometry<M>(object));
}

}  // namespace ostrel::py
