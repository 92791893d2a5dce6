#include "python/multipoint.hpp"

#include "python/geometry.hpp"
#include "python/geometry_class.hpp"
#include "python/part.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryMultipoint;
namespace gc = geometry_class;

PyObject* multipoint_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryMultipoint>(type, args, kwargs, "O:MultiPoint", "multipoint", MultiPoint::type(),
                                               &MultiPoint::from_dict,
                                               "MultiPoint from_py expects a MultiPoint or dict");
}

PyObject* get_points(PyObject* self, void*) {
  return trampoline([&] {
    model::Cell<model::ZorvPart> points = [&] {
      auto g = gc::cell_of<ZorvGeometryMultipoint>(self).lock();
      return g->points;
    }();
    return Part::wrap(std::move(points));
  });
}

bool locked_flag(PyObject* self, bool z) {
  auto g = gc::cell_of<ZorvGeometryMultipoint>(self).lock();
  return z ? g->has_z() : g->has_m();
}

int set_points(PyObject* self, PyObject* value, void*) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    bool has_z = locked_flag(self, true);
    bool has_m = locked_flag(self, false);
    model::Cell<model::ZorvPart> part = Part::from_py(value, has_z, has_m);
    auto g = gc::cell_of<ZorvGeometryMultipoint>(self).lock();
    g->set_points(std::move(part));
    return 0;
  });
}

enum Flag : intptr_t { kHasZ, kHasM, kIsEmpty };

PyObject* get_flag(PyObject* self, void* closure) {
  return trampoline([&] {
    auto f = static_cast<Flag>(reinterpret_cast<intptr_t>(closure));
    return gc::read_locked<ZorvGeometryMultipoint>(self, [f](const ZorvGeometryMultipoint& mp) {
      switch (f) {
        case kHasZ: return mp.has_z();
        case kHasM: return mp.has_m();
        case kIsEmpty: return mp.is_empty();
      }
      return false;
    });
  });
}

PyObject* get_type_name(PyObject*, void*) { return PyUnicode_FromString("MultiPoint"); }

PyGetSetDef multipoint_getset[] = {
    {"points", get_points, set_points, nullptr, nullptr},
    {"has_z", get_flag, nullptr, nullptr, reinterpret_cast<void*>(kHasZ)},
    {"has_m", get_flag, nullptr, nullptr, reinterpret_cast<void*>(kHasM)},
    {"is_empty", get_flag, nullptr, nullptr, reinterpret_cast<void*>(kIsEmpty)},
    {"spatial_reference", gc::get_spatial_reference<ZorvGeometryMultipoint>,
     gc::set_spatial_reference<ZorvGeometryMultipoint>, nullptr, nullptr},
    {"JSON", gc::get_json<ZorvGeometryMultipoint>, nullptr, nullptr, nullptr},
    {"ids", gc::getter_none, nullptr, nullptr, nullptr},
    {"geometry_type", get_type_name, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef multipoint_methods[] = {
    {"__qxc_geo", gc::qxc_geo<ZorvGeometryMultipoint>, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject* build() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(multipoint_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<MultiPoint::CellT>)},
      {Py_tp_doc, const_cast<char*>("MultiPoint(multipoint)\n--\n\n")},
      {Py_tp_getset, multipoint_getset},
      {Py_tp_methods, multipoint_methods},
      {Py_tp_str, reinterpret_cast<void*>(gc::zorvjson_str<ZorvGeometryMultipoint>)},
      {Py_tp_repr, reinterpret_cast<void*>(gc::zorvjson_str<ZorvGeometryMultipoint>)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.MultiPoint", sizeof(Boxed<MultiPoint::CellT>), 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, slots};
  return build_type(&spec, Geometry::type());
}

Registrar reg("ostrel_geometry", "MultiPoint", &MultiPoint::type);

}  // namespace

PyTypeObject* MultiPoint::type() {
  static PyTypeObject* t = build();
  return t;
}

Ref MultiPoint::wrap(CellT cell) { return gc::wrap(type(), std::move(cell)); }

MultiPoint::CellT MultiPoint::from_dict(PyObject* dict) {
  PyObject* points = common::dict_get(dict, "points");
  if (!points) {
    throw model::ZorvGeoErr(model::ZorvGeoErr::Kind::ResolutionError, "Did not find points in multipoint dict");
  }
  Ref keep = Ref::borrow(common::expect_list(points));
  auto [has_z, has_m] = common::nested_geom_dict_dims(dict);
  model::Cell<model::ZorvPart> part = Part::from_list(keep.get(), has_z, has_m);
  std::optional<model::SpatialReference> sr = common::dict_sr(dict);
  return CellT(ZorvGeometryMultipoint(std::move(part), std::move(sr)));
}

Ref MultiPoint::from_model(model::ZorvGeometryMultipoint multipoint) {
  return gc::wrap(type(), CellT(std::move(multipoint)));
}

Ref MultiPoint::try_from_owned(rt::GeometryOwned geometry) {
  return from_model(ZorvGeometryMultipoint::try_from_owned(std::move(geometry)));
}

}  // namespace ostrel::py
