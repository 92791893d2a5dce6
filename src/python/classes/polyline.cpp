#include "python/classes/polyline.hpp"

#include "binding/geometry_engine.hpp"
#include "python/classes/enums.hpp"
#include "python/classes/geometry.hpp"
#include "python/classes/geometry_class.hpp"
#include "python/classes/multipart_class.hpp"
#include "python/classes/point.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryPolyline;
namespace gc = geometry_class;
namespace mc = multipart_class;

PyObject* polyline_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryPolyline>(type, args, kwargs, "O:Polyline", "polyline", Polyline::type(),
                                             &Polyline::from_dict,
                                             "Polyline from_py expects a Polyline object or a dict");
}

Ref extend(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<2>({"Polyline.extend()", {"extender", "extend_options"}, 1}, args, nargs, kwnames);
  PyObject* extender = expect_instance(a[0], Polyline::type(), "Polyline", "extender");
  uint32_t flags = a[1] ? GeometryExtendOptions::extract(a[1], "extend_options") : 0;
  auto line = Polyline::get_geom(self);
  auto other = Polyline::get_geom(extender);
  std::optional<rt::Polyline> result = rt::geometry_engine::extend(line, other, rt::GeometryExtendOptions{flags});
  if (!result) return none();
  return Polyline::from_geom(std::move(*result));
}

Ref fraction_along(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<2>({"Polyline.fraction_along()", {"point", "tolerance"}, 2}, args, nargs, kwnames);
  PyObject* point = expect_instance(a[0], Point::type(), "Point", "point");
  double tolerance = arg_f64(a[1], "tolerance");
  auto p = Point::get_geom(point);
  auto line = Polyline::get_geom(self);
  try {
    return to_py(rt::geometry_engine::fraction_along(line, p, tolerance));
  } catch (rt::Error& e) {
    raise(PyExc_TypeError, "fraction_along failed: " + e.text());
  }
}

Ref with_point_along(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto a = match<1>({"Polyline.with_point_along()", {"distance"}, 1}, args, nargs, kwnames);
  double distance = arg_f64(a[0], "distance");
  auto line = Polyline::get_geom(self);
  return Point::from_geom(rt::geometry_engine::with_point_along(line, distance));
}

constexpr const char* kExtendDoc =
    "extend($self, extender, extend_options=...)\n--\n\n"
    "Extends the first and last segment of each path to the extender, where they can be\n"
    "interpolated to meet it; when several extensions are possible the shortest is chosen.\n"
    "Only path ends that are not shared with other paths are extended. Polylines with true\n"
    "curves are not supported yet and raise an exception.\n\n"
    "Arguments:\n"
    "    self: the Polyline whose paths are extended.\n"
    "    extender: the Polyline to extend to.\n"
    "    extend_options: a GeometryExtendOptions flag set (default DEFAULT).\n\n"
    "Returns:\n"
    "    The extended Polyline, or None when the polyline cannot be extended.";

constexpr const char* kFractionAlongDoc =
    "fraction_along($self, point, tolerance)\n--\n\n"
    "Finds the location on the line nearest the point and returns it as a fraction between\n"
    "0.0 and 1.0 of the line's total geodesic length, when the point lies within the tolerance\n"
    "(in the units of the spatial reference). A tolerance of -1 always gives the fraction of\n"
    "the closest location, as long as the point lies between the two ends of the polyline.\n"
    "Otherwise NaN is returned. True curves are supported.";

PyGetSetDef polyline_getset[] = {
    mc::linear_parts_field<ZorvGeometryPolyline>("paths"),
    mc::curve_parts_field<ZorvGeometryPolyline>("curve_paths"),
    gc::flag_field<ZorvGeometryPolyline>("has_z", gc::kHasZ),
    gc::flag_field<ZorvGeometryPolyline>("has_m", gc::kHasM),
    gc::flag_field<ZorvGeometryPolyline>("is_empty", gc::kIsEmpty),
    gc::json_field<ZorvGeometryPolyline>(),
    gc::spatial_reference_field<ZorvGeometryPolyline>(),
    gc::none_field("ids"),
    gc::geometry_type_field("Polyline"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef polyline_methods[] = {
    gc::qxc_geo_method<ZorvGeometryPolyline>(),
    {"extend", OSTREL_METH_FASTCALL(extend), METH_FASTCALL | METH_KEYWORDS, kExtendDoc},
    {"fraction_along", OSTREL_METH_FASTCALL(fraction_along), METH_FASTCALL | METH_KEYWORDS, kFractionAlongDoc},
    {"with_point_along", OSTREL_METH_FASTCALL(with_point_along), METH_FASTCALL | METH_KEYWORDS,
     "with_point_along($self, distance)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

Registrar reg("ostrel_geometry", "Polyline", &Polyline::type);

}  // namespace

PyTypeObject* Polyline::type() {
  static PyTypeObject* t = gc::build_type_of<ZorvGeometryPolyline>(
      {"ostrel_geometry.Polyline", "Polyline(polyline)\n--\n\n", polyline_new, polyline_getset, polyline_methods});
  return t;
}

Polyline::CellT Polyline::from_dict(PyObject* dict) { return mc::from_dict<ZorvGeometryPolyline>(dict); }

template struct GeometryClassMembers<Polyline, model::ZorvGeometryPolyline, rt::Polyline>;

}  // namespace ostrel::py
