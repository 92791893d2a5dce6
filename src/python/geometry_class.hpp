// Members that the five geometry classes share: each object holds one shared
// model cell, and these read and write it under its lock.
#pragma once

#include <string>
#include <utility>

#include "model/model.hpp"
#include "python/cell_object.hpp"
#include "python/common.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"
#include "python/qxcgeo.hpp"
#include "python/spatial_reference.hpp"

namespace ostrel::py::geometry_class {

using cell_object::cell_of;
using cell_object::zorvjson_str;

// A new object of `type` on the given cell.
template <class M>
Ref wrap(PyTypeObject* type, model::Cell<M> cell) {
  return make_boxed<model::Cell<M>>(type, std::move(cell));
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
    {
      auto g = cell_of<M>(self).lock();
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
    if (!PyDict_Check(value)) throw model::ZorvGeoErr::cast_error(value, "dict");
    model::SpatialReference sr = common::sr_from_dict(value);
    auto g = cell.lock();
    g->set_sr(std::move(sr));
    return 0;
  });
}

template <class M>
PyObject* qxc_geo(PyObject* self, PyObject*) {
  return trampoline([&] {
    auto g = cell_of<M>(self).lock();
    rt::GeometryOwned geometry = g->as_geometry_owned();
    g.unlock();
    return QXCGeo::make(std::move(geometry));
  });
}

template <class M>
PyObject* get_json(PyObject* self, void*) {
  return trampoline([&] {
    std::string text;
    {
      auto g = cell_of<M>(self).lock();
      text = g->to_json();
    }
    return to_py(text);
  });
}

// A property read under the lock: `read(model)` gives the C++ value, which is
// turned into a Python value after the lock is released.
template <class M, class Read>
Ref read_locked(PyObject* self, Read read) {
  auto value = [&] {
    auto g = cell_of<M>(self).lock();
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

}  // namespace ostrel::py::geometry_class
