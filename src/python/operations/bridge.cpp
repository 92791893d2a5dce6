#include "python/operations/bridge.hpp"

#include "python/envelope.hpp"
#include "python/factory.hpp"
#include "python/geometry.hpp"
#include "python/point.hpp"
#include "python/pyapi/errors.hpp"
#include "python/pyapi/types.hpp"
#include "python/spatial_reference.hpp"

namespace ostrel::py::ops {

namespace {

// A class of the module by its registered name (built once by its owner).
PyTypeObject* registered_class(const char* module, const char* name) {
  const ClassEntry* entry = find_class(module, name);
  if (!entry) fatal(std::string("Internal error: class ") + name + " is not registered");
  return entry->build();
}

}  // namespace

PyTypeObject* geometry_type() { return Geometry::type(); }
PyTypeObject* point_type() { return Point::type(); }
PyTypeObject* polyline_type() { return registered_class("ostrel_geometry", "Polyline"); }
PyTypeObject* polygon_type() { return registered_class("ostrel_geometry", "Polygon"); }
PyTypeObject* envelope_type() { return Envelope::type(); }
PyTypeObject* datum_transformation_type() {
  return registered_class("ostrel_geometry.projection", "DatumTransformation");
}

rt::GeometryOwned to_runtime(PyObject* obj) { return Geometry::geom_from_pyobj(obj); }
rt::Envelope envelope_geom(PyObject* env) { return Envelope::get_geom(env); }
rt::Point point_geom(PyObject* point) { return Point::get_geom(point); }
rt::SpatialReference spatial_reference_geom(PyObject* obj) { return SpatialReference::geom_sr_from_py(obj); }

rt::LinearUnit new_linear_unit(int32_t code) {
  try {
    return rt::LinearUnit::with_unit_id((uint32_t)code);
  } catch (rt::Error& e) {
    raise(PyExc_ValueError, "Invalid LinearUnitId: " + e.debug());
  }
}

Ref geometry_to_py(rt::GeometryOwned g) { return factory::from_geometry_owned(std::move(g)); }
Ref geometries_to_py(std::vector<rt::GeometryOwned> gs) { return Geometry::iterable_geos_to_py(std::move(gs)); }
Ref envelope_to_py(rt::Envelope e) { return Envelope::from_geom(std::move(e)); }
Ref point_to_py(rt::Point p) { return Point::from_geom(std::move(p)); }
Ref point_model_to_py(model::ZorvGeometryPoint p) { return Point::from_model(std::move(p)); }

}  // namespace ostrel::py::ops

// ---- waiting for their classes: fail loudly until then ----
namespace ostrel::py::ops {
namespace {
[[noreturn]] void pending(const char* what) { fatal(std::string("Internal error: ") + what + " is not available yet"); }
}  // namespace
rt::Polyline polyline_geom(PyObject*) { pending("Polyline::get_geom"); }
const rt::DatumTransformationOwned& datum_transformation_of(PyObject*) { pending("DatumTransformation"); }
int32_t linear_unit_id_value(PyObject*) { pending("LinearUnitId"); }
int32_t area_unit_id_value(PyObject*) { pending("AreaUnitId"); }
uint32_t curve_type_value(PyObject*) { pending("GeodeticCurveType"); }
bool is_area_unit_id(PyObject*) { pending("AreaUnitId"); }
bool is_area_unit(PyObject*) { pending("AreaUnit"); }
const rt::AreaUnit& area_unit_of(PyObject*) { pending("AreaUnit"); }
rt::AreaUnit new_area_unit(int32_t) { pending("AreaUnit"); }
rt::AreaUnit clone_area_unit(PyObject*) { pending("AreaUnit"); }
Ref polygon_to_py(rt::Polygon) { pending("Polygon::from_geom"); }
}  // namespace ostrel::py::ops
