#include "python/classes/spatial_reference.hpp"

#include "python/classes/common.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

using ModelSR = model::SpatialReference;

ModelSR& sr_of(PyObject* self) { return unbox<ModelSR>(self); }

PyObject* sr_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return trampoline([&] {
    static const char* kwlist[] = {"sr", nullptr};
    PyObject* value = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "O:SpatialReference", const_cast<char**>(kwlist), &value))
      throw_py();
    ModelSR sr = py::SpatialReference::from_py(value);
    return make_boxed<ModelSR>(type, std::move(sr));
  });
}

enum Field : intptr_t { kWkid, kLatestWkid, kVcsWkid, kLatestVcsWkid, kWkt, kWkt2 };
const char* const kFieldNames[] = {"wkid", "latest_wkid", "vcs_wkid", "latest_vcs_wkid", "wkt", "wkt2"};

std::optional<uint32_t>* id_field(ModelSR& sr, Field f) {
  switch (f) {
    case kWkid: return &sr.wkid;
    case kLatestWkid: return &sr.latest_wkid;
    case kVcsWkid: return &sr.vcs_wkid;
    case kLatestVcsWkid: return &sr.latest_vcs_wkid;
    default: return nullptr;
  }
}

std::optional<std::string>& text_field(ModelSR& sr, Field f) { return f == kWkt ? sr.wkt : sr.wkt2; }

PyObject* get_field(PyObject* self, void* closure) {
  return trampoline([&]() -> Ref {
    auto f = static_cast<Field>(reinterpret_cast<intptr_t>(closure));
    ModelSR& sr = sr_of(self);
    if (auto* id = id_field(sr, f)) return *id ? check(PyLong_FromUnsignedLong(**id)) : none();
    auto& text = text_field(sr, f);
    return text ? to_py(*text) : none();
  });
}

int set_field(PyObject* self, PyObject* value, void* closure) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    auto f = static_cast<Field>(reinterpret_cast<intptr_t>(closure));
    const char* name = kFieldNames[f];
    ModelSR& sr = sr_of(self);
    if (auto* id = id_field(sr, f)) {
      *id = arg_or_none(value, name, common::arg_u32);
    } else {
      text_field(sr, f) = arg_or_none(value, name, arg_str);
    }
    return 0;
  });
}

PyObject* sr_str(PyObject* self) {
  return trampoline([&] {
    std::string out;
    sr_of(self).write_zorvjson(out);
    return to_py(out);
  });
}

bool same_reference(const ModelSR& a, const ModelSR& b) {
  auto both = [](const auto& x, const auto& y) { return x && y && *x == *y; };
  return both(a.wkid, b.wkid) || both(a.latest_wkid, b.latest_wkid) || both(a.wkt, b.wkt) ||
         both(a.wkt2, b.wkt2);
}

PyObject* sr_richcompare(PyObject* self, PyObject* other, int op) {
  return trampoline([&]() -> Ref {
    if (!PyObject_TypeCheck(self, py::SpatialReference::type())) return Ref::borrow(Py_NotImplemented);
    if (op == Py_EQ) {
      if (!PyObject_TypeCheck(other, py::SpatialReference::type())) return to_py(false);
      return to_py(same_reference(sr_of(self), sr_of(other)));
    }
    if (op == Py_NE) {
      Ref eq = check(PyObject_RichCompare(self, other, Py_EQ));
      int t = PyObject_IsTrue(eq.get());
      if (t < 0) throw_py();
      return to_py(t == 0);
    }
    return Ref::borrow(Py_NotImplemented);
  });
}

#define FIELD(id) {kFieldNames[id], get_field, set_field, nullptr, reinterpret_cast<void*>(id)}
PyGetSetDef sr_getset[] = {
    FIELD(kWkid), FIELD(kLatestWkid), FIELD(kVcsWkid), FIELD(kLatestVcsWkid), FIELD(kWkt), FIELD(kWkt2),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
#undef FIELD

PyTypeObject* build() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(sr_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<ModelSR>)},
      {Py_tp_doc, const_cast<char*>("SpatialReference(sr)\n--\n\n")},
      {Py_tp_getset, sr_getset},
      {Py_tp_str, reinterpret_cast<void*>(sr_str)},
      {Py_tp_repr, reinterpret_cast<void*>(sr_str)},
      {Py_tp_richcompare, reinterpret_cast<void*>(sr_richcompare)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.SpatialReference", sizeof(Boxed<ModelSR>), 0,
                             Py_TPFLAGS_DEFAULT, slots};
  return build_type(&spec);
}

Registrar reg("ostrel_geometry", "SpatialReference", &py::SpatialReference::type);

}  // namespace

PyTypeObject* SpatialReference::type() {
  static PyTypeObject* t = build();
  return t;
}

Ref SpatialReference::new_object(model::SpatialReference sr) {
  return make_boxed<model::SpatialReference>(type(), std::move(sr));
}

Ref SpatialReference::new_or_none(const std::optional<model::SpatialReference>& sr) {
  return sr ? new_object(*sr) : none();
}

const model::SpatialReference& SpatialReference::inner(PyObject* obj) { return sr_of(obj); }

model::SpatialReference SpatialReference::from_dict(PyObject* dict) { return common::sr_from_dict(dict); }

model::SpatialReference SpatialReference::from_py(PyObject* value) {
  if (PyObject_TypeCheck(value, type())) return sr_of(value);
  if (PyDict_Check(value)) return from_dict(value);
  raise(PyExc_TypeError, "SpatialReference from_py expects a SpatialReference object or a dict");
}

rt::SpatialReference SpatialReference::geom_sr_from_py(PyObject* value) {
  model::SpatialReference sr = from_py(value);
  std::optional<rt::SpatialReference> geom = model::to_geom_sr(std::move(sr));
  if (!geom) {
    raise(PyExc_ValueError, "Failed to convert " + to_str(check(PyObject_Str(value)).get()) +
                                " into a geometry engine spatial reference");
  }
  return std::move(*geom);
}

}  // namespace ostrel::py
