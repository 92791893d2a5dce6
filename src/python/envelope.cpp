#include "python/envelope.hpp"

#include "python/geometry.hpp"
#include "python/geometry_class.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryEnvelope;
namespace gc = geometry_class;

constexpr const char* kTypeError = "Envelope from_py expects an Envelope object or dict";

PyObject* envelope_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryEnvelope>(type, args, kwargs, "O:Envelope", "point", Envelope::type(),
                                             &Envelope::from_dict, kTypeError);
}

enum Field : intptr_t { kXmin, kYmin, kXmax, kYmax, kZmin, kZmax, kMmin, kMmax };
const char* const kArgNames[] = {"xmin_in", "ymin_in", "xmax_in", "ymax_in", "zmin", "zmax", "mmin", "mmax"};

double* bound(ZorvGeometryEnvelope& e, Field f) {
  switch (f) {
    case kXmin: return &e.xmin;
    case kYmin: return &e.ymin;
    case kXmax: return &e.xmax;
    case kYmax: return &e.ymax;
    default: return nullptr;
  }
}

std::optional<double>* range_end(ZorvGeometryEnvelope& e, Field f) {
  switch (f) {
    case kZmin: return &e.zmin;
    case kZmax: return &e.zmax;
    case kMmin: return &e.mmin;
    case kMmax: return &e.mmax;
    default: return nullptr;
  }
}

PyObject* get_field(PyObject* self, void* closure) {
  return trampoline([&] {
    auto f = static_cast<Field>(reinterpret_cast<intptr_t>(closure));
    return gc::read_locked<ZorvGeometryEnvelope>(self, [f](ZorvGeometryEnvelope& e) -> std::optional<double> {
      if (double* b = bound(e, f)) return *b;
      return *range_end(e, f);
    });
  });
}

int set_field(PyObject* self, PyObject* value, void* closure) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    auto f = static_cast<Field>(reinterpret_cast<intptr_t>(closure));
    std::optional<double> v;
    if (value != Py_None) v = arg_f64(value, kArgNames[f]);
    auto g = gc::cell_of<ZorvGeometryEnvelope>(self).lock();
    if (double* b = bound(*g, f)) {
      *b = v.value_or(model::kNaN);
    } else {
      *range_end(*g, f) = v;
    }
    return 0;
  });
}

enum Id : intptr_t { kIdmin, kIdmax };

PyObject* get_id(PyObject* self, void* closure) {
  return trampoline([&] {
    auto which = static_cast<Id>(reinterpret_cast<intptr_t>(closure));
    std::optional<uint32_t> v;
    {
      auto g = gc::cell_of<ZorvGeometryEnvelope>(self).lock();
      v = which == kIdmin ? g->idmin : g->idmax;
    }
    return v ? check(PyLong_FromUnsignedLong(*v)) : none();
  });
}

int set_id(PyObject* self, PyObject* value, void* closure) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    auto which = static_cast<Id>(reinterpret_cast<intptr_t>(closure));
    const char* name = which == kIdmin ? "idmin" : "idmax";
    std::optional<uint32_t> v;
    if (value != Py_None) v = convert_arg(name, [&] { return common::to_u32(value); });
    auto g = gc::cell_of<ZorvGeometryEnvelope>(self).lock();
    (which == kIdmin ? g->idmin : g->idmax) = v;
    return 0;
  });
}

PyObject* get_type_name(PyObject*, void*) { return PyUnicode_FromString("Envelope"); }

#define FIELD(name, id) {name, get_field, set_field, nullptr, reinterpret_cast<void*>(id)}
PyGetSetDef envelope_getset[] = {
    FIELD("xmin", kXmin), FIELD("xmax", kXmax), FIELD("ymin", kYmin), FIELD("ymax", kYmax),
    FIELD("zmin", kZmin), FIELD("zmax", kZmax), FIELD("mmin", kMmin), FIELD("mmax", kMmax),
    {"idmin", get_id, set_id, nullptr, reinterpret_cast<void*>(kIdmin)},
    {"idmax", get_id, set_id, nullptr, reinterpret_cast<void*>(kIdmax)},
    {"has_z", gc::get_flag<ZorvGeometryEnvelope>, nullptr, nullptr, gc::flag(gc::kHasZ)},
    {"has_m", gc::get_flag<ZorvGeometryEnvelope>, nullptr, nullptr, gc::flag(gc::kHasM)},
    {"is_empty", gc::get_flag<ZorvGeometryEnvelope>, nullptr, nullptr, gc::flag(gc::kIsEmpty)},
    {"spatial_reference", gc::get_spatial_reference<ZorvGeometryEnvelope>,
     gc::set_spatial_reference<ZorvGeometryEnvelope>, nullptr, nullptr},
    {"geometry_type", get_type_name, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
#undef FIELD

PyMethodDef envelope_methods[] = {
    {"__qxc_geo", gc::qxc_geo<ZorvGeometryEnvelope>, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

Registrar reg("ostrel_geometry", "Envelope", &Envelope::type);

}  // namespace

PyTypeObject* Envelope::type() {
  static PyTypeObject* t = gc::build_type_of<ZorvGeometryEnvelope>(
      {"ostrel_geometry.Envelope", "Envelope(point)\n--\n\n", envelope_new, envelope_getset, envelope_methods});
  return t;
}

Ref Envelope::wrap(CellT cell) { return gc::wrap(type(), std::move(cell)); }

Envelope::CellT Envelope::from_py(PyObject* value) {
  if (PyObject_TypeCheck(value, type())) return gc::cell_of<ZorvGeometryEnvelope>(value);
  if (PyDict_Check(value)) return from_dict(value);
  raise(PyExc_TypeError, kTypeError);
}

Envelope::CellT Envelope::from_dict(PyObject* dict) {
  ZorvGeometryEnvelope e;
  e.xmin = common::dict_extract_f64(dict, "xmin");
  e.ymin = common::dict_extract_f64(dict, "ymin");
  e.xmax = common::dict_extract_f64(dict, "xmax");
  e.ymax = common::dict_extract_f64(dict, "ymax");
  e.zmin = common::dict_extract_opt_f64(dict, "zmin");
  e.zmax = common::dict_extract_opt_f64(dict, "zmax");
  e.mmin = common::dict_extract_opt_f64(dict, "mmin");
  e.mmax = common::dict_extract_opt_f64(dict, "mmax");
  e.idmin = common::dict_extract_opt_u32(dict, "idmin");
  e.idmax = common::dict_extract_opt_u32(dict, "idmax");
  e.spatial_reference = common::dict_sr(dict);
  return CellT(std::move(e));
}

Ref Envelope::from_model(model::ZorvGeometryEnvelope envelope) {
  return gc::wrap(type(), CellT(std::move(envelope)));
}

Ref Envelope::from_geom(rt::Envelope envelope) {
  return from_model(ZorvGeometryEnvelope::from_immutable_envelope(std::move(envelope)));
}

Ref Envelope::try_from_owned(rt::GeometryOwned geometry) {
  return from_model(ZorvGeometryEnvelope::try_from_owned(std::move(geometry)));
}

rt::Envelope Envelope::get_geom(PyObject* envelope) { return get_geom(gc::cell_of<ZorvGeometryEnvelope>(envelope)); }

rt::Envelope Envelope::get_geom(const CellT& cell) {
  auto g = cell.lock();
  return g->as_envelope();
}

}  // namespace ostrel::py
