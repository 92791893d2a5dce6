#include "python/classes/point.hpp"

#include <cmath>

#include "binding/geometry.hpp"
#include "python/classes/geometry.hpp"
#include "python/classes/geometry_class.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryPoint;
using P = ZorvGeometryPoint;
namespace gc = geometry_class;

PyObject* point_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryPoint>(type, args, kwargs, "O:Point", "point", Point::type(), &Point::from_dict,
                                          "Point from_py expects a Point object or a dict");
}

PyGetSetDef point_getset[] = {
    gc::number_field<P, &P::x>("x", "x_in"),
    gc::number_field<P, &P::y>("y", "y_in"),
    gc::number_field<P, &P::z>("z", "z"),
    gc::number_field<P, &P::m>("m", "m"),
    gc::flag_field<ZorvGeometryPoint>("has_z", gc::kHasZ),
    gc::flag_field<ZorvGeometryPoint>("has_m", gc::kHasM),
    gc::flag_field<ZorvGeometryPoint>("hasM", gc::kHasM),
    gc::flag_field<ZorvGeometryPoint>("is_empty", gc::kIsEmpty),
    gc::none_field("id"),
    gc::spatial_reference_field<ZorvGeometryPoint>(),
    gc::geometry_type_field("Point"),
    gc::json_field<ZorvGeometryPoint>(),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef point_methods[] = {
    gc::qxc_geo_method<ZorvGeometryPoint>(),
    {nullptr, nullptr, 0, nullptr},
};

Registrar reg("ostrel_geometry", "Point", &Point::type);

}  // namespace

PyTypeObject* Point::type() {
  static PyTypeObject* t = gc::build_type_of<ZorvGeometryPoint>(
      {"ostrel_geometry.Point", "Point(point)\n--\n\n", point_new, point_getset, point_methods});
  return t;
}

Point::CellT Point::from_dict(PyObject* dict) {
  ZorvGeometryPoint p;
  p.x = common::dict_extract_f64(dict, "x");
  p.y = common::dict_extract_f64(dict, "y");
  p.z = common::dict_extract_opt_f64(dict, "z");
  p.m = common::dict_extract_opt_f64(dict, "m");
  p.spatial_reference = common::dict_sr(dict);
  return CellT(std::move(p));
}

template struct GeometryClassMembers<Point, model::ZorvGeometryPoint, rt::Point>;

}  // namespace ostrel::py
