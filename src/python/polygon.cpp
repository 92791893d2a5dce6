#include "python/polygon.hpp"

#include "binding/geometry_engine.hpp"
#include "python/geometry.hpp"
#include "python/geometry_class.hpp"
#include "python/multipart.hpp"
#include "python/point.hpp"
#include "python/polyline.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryPolygon;
namespace gc = geometry_class;

PyObject* polygon_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryPolygon>(type, args, kwargs, "O:Polygon", "polygon", Polygon::type(),
                                            &Polygon::from_dict, "Polygon from_py expects a Polygon object or a dict");
}

PyObject* get_rings(PyObject* self, void*) {
  return trampoline([&] {
    auto rings = [&] {
      auto g = gc::cell_of<ZorvGeometryPolygon>(self).lock();
      return g->rings;
    }();
    return Multipart::wrap(std::move(rings));
  });
}

PyObject* get_curve_rings(PyObject* self, void*) {
  return trampoline([&] {
    auto rings = [&] {
      auto g = gc::cell_of<ZorvGeometryPolygon>(self).lock();
      return g->curve_rings;
    }();
    return CurveMultipart::wrap(std::move(rings));
  });
}

bool locked_flag(PyObject* self, bool z) {
  auto g = gc::cell_of<ZorvGeometryPolygon>(self).lock();
  return z ? g->has_z() : g->has_m();
}

int set_rings(PyObject* self, PyObject* value, void*) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    bool has_z = locked_flag(self, true);
    bool has_m = locked_flag(self, false);
    Multipart::CollCell rings = Multipart::from_py(value, has_z, has_m);
    auto g = gc::cell_of<ZorvGeometryPolygon>(self).lock();
    g->set_rings(std::move(rings));
    return 0;
  });
}

int set_curve_rings(PyObject* self, PyObject* value, void*) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    bool has_z = locked_flag(self, true);
    bool has_m = locked_flag(self, false);
    CurveMultipart::CollCell rings = CurveMultipart::from_py(value, has_z, has_m);
    auto g = gc::cell_of<ZorvGeometryPolygon>(self).lock();
    g->set_curve_rings(std::move(rings));
    return 0;
  });
}

enum Flag : intptr_t { kHasZ, kHasM, kIsEmpty };

PyObject* get_flag(PyObject* self, void* closure) {
  return trampoline([&] {
    auto f = static_cast<Flag>(reinterpret_cast<intptr_t>(closure));
    return gc::read_locked<ZorvGeometryPolygon>(self, [f](const ZorvGeometryPolygon& p) {
      switch (f) {
        case kHasZ: return p.has_z();
        case kHasM: return p.has_m();
        case kIsEmpty: return p.is_empty();
      }
      return false;
    });
  });
}

PyObject* get_polyline(PyObject* self, void*) {
  return trampoline([&] {
    rt::Polyline polyline = [&] {
      auto g = gc::cell_of<ZorvGeometryPolygon>(self).lock();
      return g->to_polyline();
    }();
    return Polyline::from_geom(std::move(polyline));
  });
}

PyObject* get_type_name(PyObject*, void*) { return PyUnicode_FromString("Polygon"); }

Ref label_point(PyObject* self) {
  rt::Polygon polygon = Polygon::get_geom(self);
  return Point::from_geom(rt::geometry_engine::label_point(polygon));
}

PyObject* is_polygon(PyObject*, PyObject*) { return Py_NewRef(Py_True); }

PyGetSetDef polygon_getset[] = {
    {"rings", get_rings, set_rings, nullptr, nullptr},
    {"curve_rings", get_curve_rings, set_curve_rings, nullptr, nullptr},
    {"has_z", get_flag, nullptr, nullptr, reinterpret_cast<void*>(kHasZ)},
    {"has_m", get_flag, nullptr, nullptr, reinterpret_cast<void*>(kHasM)},
    {"is_empty", get_flag, nullptr, nullptr, reinterpret_cast<void*>(kIsEmpty)},
    {"spatial_reference", gc::get_spatial_reference<ZorvGeometryPolygon>,
     gc::set_spatial_reference<ZorvGeometryPolygon>, nullptr, nullptr},
    {"JSON", gc::get_json<ZorvGeometryPolygon>, nullptr, nullptr, nullptr},
    {"polyline", get_polyline, nullptr, nullptr, nullptr},
    {"ids", gc::getter_none, nullptr, nullptr, nullptr},
    {"geometry_type", get_type_name, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef polygon_methods[] = {
    {"label_point", OSTREL_NOARGS(label_point), METH_NOARGS, nullptr},
    {"is_polygon", is_polygon, METH_NOARGS, nullptr},
    {"__qxc_geo", gc::qxc_geo<ZorvGeometryPolygon>, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject* build() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(polygon_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<Polygon::CellT>)},
      {Py_tp_doc, const_cast<char*>("Polygon(polygon)\n--\n\n")},
      {Py_tp_getset, polygon_getset},
      {Py_tp_methods, polygon_methods},
      {Py_tp_str, reinterpret_cast<void*>(gc::zorvjson_str<ZorvGeometryPolygon>)},
      {Py_tp_repr, reinterpret_cast<void*>(gc::zorvjson_str<ZorvGeometryPolygon>)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.Polygon", sizeof(Boxed<Polygon::CellT>), 0,
                             Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, slots};
  return build_type(&spec, Geometry::type());
}

Registrar reg("ostrel_geometry", "Polygon", &Polygon::type);

}  // namespace

PyTypeObject* Polygon::type() {
  static PyTypeObject* t = build();
  return t;
}

Ref Polygon::wrap(CellT cell) { return gc::wrap(type(), std::move(cell)); }

Polygon::CellT Polygon::from_dict(PyObject* dict) {
  auto [has_z, has_m] = common::nested_geom_dict_dims(dict);
  std::vector<Multipart::PartCell> rings;
  if (PyObject* v = common::dict_get(dict, "rings")) {
    Ref keep = Ref::borrow(common::expect_list(v));
    rings = Multipart::input_vec_from_list(keep.get(), has_z, has_m);
  }
  std::vector<CurveMultipart::PartCell> curve_rings;
  if (PyObject* v = common::dict_get(dict, "curveRings")) {
    Ref keep = Ref::borrow(common::expect_list(v));
    curve_rings = CurveMultipart::input_vec_from_list(keep.get(), has_z, has_m);
  }
  std::optional<model::SpatialReference> sr = common::dict_sr(dict);
  return CellT(ZorvGeometryPolygon::try_new_with_curves(has_z, has_m, std::move(rings), std::move(curve_rings),
                                                        std::move(sr)));
}

Ref Polygon::from_model(model::ZorvGeometryPolygon polygon) { return gc::wrap(type(), CellT(std::move(polygon))); }

Ref Polygon::from_geom(rt::Polygon polygon) {
  return from_model(ZorvGeometryPolygon::from_immutable_polygon(std::move(polygon)));
}

Ref Polygon::try_from_owned(rt::GeometryOwned geometry) {
  return from_model(ZorvGeometryPolygon::try_from_owned(std::move(geometry)));
}

rt::Polygon Polygon::get_geom(PyObject* polygon) {
  auto g = gc::cell_of<ZorvGeometryPolygon>(polygon).lock();
  return g->as_polygon();
}

}  // namespace ostrel::py
