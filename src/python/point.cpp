#include "python/point.hpp"

#include <cmath>

#include "binding/geometry.hpp"
#include "python/geometry.hpp"
#include "python/geometry_class.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryPoint;
namespace gc = geometry_class;

PyObject* point_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryPoint>(type, args, kwargs, "O:Point", "point", Point::type(), &Point::from_dict,
                                          "Point from_py expects a Point object or a dict");
}

enum Field : intptr_t { kX, kY, kZ, kM };
const char* const kArgNames[] = {"x_in", "y_in", "z", "m"};

PyObject* get_coord(PyObject* self, void* closure) {
  return trampoline([&] {
    auto f = static_cast<Field>(reinterpret_cast<intptr_t>(closure));
    return gc::read_locked<ZorvGeometryPoint>(self, [f](const ZorvGeometryPoint& p) -> std::optional<double> {
      switch (f) {
        case kX: return p.x;
        case kY: return p.y;
        case kZ: return p.z;
        case kM: return p.m;
      }
      return std::nullopt;
    });
  });
}

int set_coord(PyObject* self, PyObject* value, void* closure) {
  return trampoline_int([&] {
    if (!value) refuse_delete();
    auto f = static_cast<Field>(reinterpret_cast<intptr_t>(closure));
    std::optional<double> v;
    if (value != Py_None) v = arg_f64(value, kArgNames[f]);
    auto g = gc::cell_of<ZorvGeometryPoint>(self).lock();
    switch (f) {
      case kX: g->x = v.value_or(model::kNaN); break;
      case kY: g->y = v.value_or(model::kNaN); break;
      case kZ: g->z = v; break;
      case kM: g->m = v; break;
    }
    return 0;
  });
}

PyObject* get_type_name(PyObject*, void*) { return PyUnicode_FromString("Point"); }

PyGetSetDef point_getset[] = {
    {"x", get_coord, set_coord, nullptr, reinterpret_cast<void*>(kX)},
    {"y", get_coord, set_coord, nullptr, reinterpret_cast<void*>(kY)},
    {"z", get_coord, set_coord, nullptr, reinterpret_cast<void*>(kZ)},
    {"m", get_coord, set_coord, nullptr, reinterpret_cast<void*>(kM)},
    {"has_z", gc::get_flag<ZorvGeometryPoint>, nullptr, nullptr, gc::flag(gc::kHasZ)},
    {"has_m", gc::get_flag<ZorvGeometryPoint>, nullptr, nullptr, gc::flag(gc::kHasM)},
    {"hasM", gc::get_flag<ZorvGeometryPoint>, nullptr, nullptr, gc::flag(gc::kHasM)},
    {"is_empty", gc::get_flag<ZorvGeometryPoint>, nullptr, nullptr, gc::flag(gc::kIsEmpty)},
    {"id", gc::getter_none, nullptr, nullptr, nullptr},
    {"spatial_reference", gc::get_spatial_reference<ZorvGeometryPoint>, gc::set_spatial_reference<ZorvGeometryPoint>,
     nullptr, nullptr},
    {"geometry_type", get_type_name, nullptr, nullptr, nullptr},
    {"JSON", gc::get_json<ZorvGeometryPoint>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef point_methods[] = {
    {"__qxc_geo", gc::qxc_geo<ZorvGeometryPoint>, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};

Registrar reg("ostrel_geometry", "Point", &Point::type);

}  // namespace

PyTypeObject* Point::type() {
  static PyTypeObject* t = gc::build_type_of<ZorvGeometryPoint>(
      {"ostrel_geometry.Point", "Point(point)\n--\n\n", point_new, point_getset, point_methods});
  return t;
}

Ref Point::wrap(CellT cell) { return gc::wrap(type(), std::move(cell)); }

Point::CellT Point::from_dict(PyObject* dict) {
  ZorvGeometryPoint p;
  p.x = common::dict_extract_f64(dict, "x");
  p.y = common::dict_extract_f64(dict, "y");
  p.z = common::dict_extract_opt_f64(dict, "z");
  p.m = common::dict_extract_opt_f64(dict, "m");
  p.spatial_reference = common::dict_sr(dict);
  return CellT(std::move(p));
}

Ref Point::from_model(model::ZorvGeometryPoint point) { return gc::wrap(type(), CellT(std::move(point))); }

Ref Point::from_geom(rt::Point point) { return from_model(ZorvGeometryPoint::from_immutable_point(std::move(point))); }

Ref Point::try_from_owned(rt::GeometryOwned geometry) {
  return from_model(ZorvGeometryPoint::try_from_owned(std::move(geometry)));
}

rt::Point Point::get_geom(PyObject* point) {
  auto g = gc::cell_of<ZorvGeometryPoint>(point).lock();
  return g->as_point();
}

}  // namespace ostrel::py
