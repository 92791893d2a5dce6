#include "python/classes/envelope.hpp"

#include "python/classes/geometry.hpp"
#include "python/classes/geometry_class.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryEnvelope;
using E = ZorvGeometryEnvelope;
namespace gc = geometry_class;

constexpr const char* kTypeError = "Envelope from_py expects an Envelope object or dict";

PyObject* envelope_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryEnvelope>(type, args, kwargs, "O:Envelope", "point", Envelope::type(),
                                             &Envelope::from_dict, kTypeError);
}

// The ids are unsigned 32-bit integers; None removes one.
template <std::optional<uint32_t> ZorvGeometryEnvelope::*Field>
PyObject* get_id(PyObject* self, void*) {
  return trampoline([&] {
    std::optional<uint32_t> v;
    {
      auto g = gc::cell_of<ZorvGeometryEnvelope>(self).read();
      v = (*g).*Field;
    }
    return v ? check(PyLong_FromUnsignedLong(*v)) : none();
  });
}

template <std::optional<uint32_t> ZorvGeometryEnvelope::*Field>
int set_id(PyObject* self, PyObject* value, void* closure) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    std::optional<uint32_t> v = arg_or_none(value, static_cast<const char*>(closure), common::arg_u32);
    auto g = gc::cell_of<ZorvGeometryEnvelope>(self).lock();
    (*g).*Field = v;
    return 0;
  });
}

PyGetSetDef id_field(const char* name, PyObject* (*get)(PyObject*, void*), int (*set)(PyObject*, PyObject*, void*)) {
  return {name, get, set, nullptr, gc::closure_text(name)};
}

PyGetSetDef envelope_getset[] = {
    gc::number_field<E, &E::xmin>("xmin", "xmin_in"),
    gc::number_field<E, &E::xmax>("xmax", "xmax_in"),
    gc::number_field<E, &E::ymin>("ymin", "ymin_in"),
    gc::number_field<E, &E::ymax>("ymax", "ymax_in"),
    gc::number_field<E, &E::zmin>("zmin", "zmin"),
    gc::number_field<E, &E::zmax>("zmax", "zmax"),
    gc::number_field<E, &E::mmin>("mmin", "mmin"),
    gc::number_field<E, &E::mmax>("mmax", "mmax"),
    id_field("idmin", get_id<&E::idmin>, set_id<&E::idmin>),
    id_field("idmax", get_id<&E::idmax>, set_id<&E::idmax>),
    gc::flag_field<ZorvGeometryEnvelope>("has_z", gc::kHasZ),
    gc::flag_field<ZorvGeometryEnvelope>("has_m", gc::kHasM),
    gc::flag_field<ZorvGeometryEnvelope>("is_empty", gc::kIsEmpty),
    gc::spatial_reference_field<ZorvGeometryEnvelope>(),
    gc::geometry_type_field("Envelope"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef envelope_methods[] = {
    gc::qxc_geo_method<ZorvGeometryEnvelope>(),
    {nullptr, nullptr, 0, nullptr},
};

Registrar reg("ostrel_geometry", "Envelope", &Envelope::type);

}  // namespace

PyTypeObject* Envelope::type() {
  static PyTypeObject* t = gc::build_type_of<ZorvGeometryEnvelope>(
      {"ostrel_geometry.Envelope", "Envelope(point)\n--\n\n", envelope_new, envelope_getset, envelope_methods});
  return t;
}

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

rt::Envelope Envelope::get_geom(const CellT& cell) {
  auto g = cell.read();
  return g->as_runtime();
}

template struct GeometryClassMembers<Envelope, model::ZorvGeometryEnvelope, rt::Envelope>;

}  // namespace ostrel::py
