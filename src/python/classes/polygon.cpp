#include "python/classes/polygon.hpp"

#include "binding/geometry_engine.hpp"
#include "python/classes/geometry.hpp"
#include "python/classes/geometry_class.hpp"
#include "python/classes/multipart_class.hpp"
#include "python/classes/point.hpp"
#include "python/classes/polyline.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryPolygon;
namespace gc = geometry_class;
namespace mc = multipart_class;

PyObject* polygon_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryPolygon>(type, args, kwargs, "O:Polygon", "polygon", Polygon::type(),
                                            &Polygon::from_dict, "Polygon from_py expects a Polygon object or a dict");
}

PyObject* get_polyline(PyObject* self, void*) {
  return trampoline([&] {
    rt::Polyline polyline = [&] {
      auto g = gc::cell_of<ZorvGeometryPolygon>(self).read();
      return g->to_polyline();
    }();
    return Polyline::from_geom(std::move(polyline));
  });
}

Ref label_point(PyObject* self) {
  auto polygon = Polygon::get_geom(self);
  return Point::from_geom(rt::geometry_engine::label_point(polygon));
}

PyObject* is_polygon(PyObject*, PyObject*) { return Py_NewRef(Py_True); }

PyGetSetDef polygon_getset[] = {
    mc::linear_parts_field<ZorvGeometryPolygon>("rings"),
    mc::curve_parts_field<ZorvGeometryPolygon>("curve_rings"),
    gc::flag_field<ZorvGeometryPolygon>("has_z", gc::kHasZ),
    gc::flag_field<ZorvGeometryPolygon>("has_m", gc::kHasM),
    gc::flag_field<ZorvGeometryPolygon>("is_empty", gc::kIsEmpty),
    gc::spatial_reference_field<ZorvGeometryPolygon>(),
    gc::json_field<ZorvGeometryPolygon>(),
    {"polyline", get_polyline, nullptr, nullptr, nullptr},
    gc::none_field("ids"),
    gc::geometry_type_field("Polygon"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef polygon_methods[] = {
    {"label_point", OSTREL_NOARGS(label_point), METH_NOARGS,
     "label_point($self)\n--\n\nA Point well inside the polygon, where a label reads best (unlike the\n"
     "extent's center, it is never in a hole or outside the rings)."},
    {"is_polygon", is_polygon, METH_NOARGS, nullptr},
    gc::qxc_geo_method<ZorvGeometryPolygon>(),
    {nullptr, nullptr, 0, nullptr},
};

Registrar reg("ostrel_geometry", "Polygon", &Polygon::type);

}  // namespace

PyTypeObject* Polygon::type() {
  static PyTypeObject* t = gc::build_type_of<ZorvGeometryPolygon>(
      {"ostrel_geometry.Polygon", "Polygon(polygon)\n--\n\n", polygon_new, polygon_getset, polygon_methods});
  return t;
}

Polygon::CellT Polygon::from_dict(PyObject* dict) { return mc::from_dict<ZorvGeometryPolygon>(dict); }

template struct GeometryClassMembers<Polygon, model::ZorvGeometryPolygon, rt::Polygon>;

}  // namespace ostrel::py
