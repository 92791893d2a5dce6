#include "python/operations/bridge.hpp"

#include "python/classes/enums.hpp"
#include "python/classes/envelope.hpp"
#include "python/classes/factory.hpp"
#include "python/classes/geometry.hpp"
#include "python/classes/point.hpp"
#include "python/classes/polygon.hpp"
#include "python/classes/polyline.hpp"
#include "python/classes/spatial_reference.hpp"
#include "python/projection/projection.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/errors.hpp"

namespace ostrel::py::ops {

PyTypeObject* geometry_type() { return Geometry::type(); }
PyTypeObject* point_type() { return Point::type(); }
PyTypeObject* polyline_type() { return Polyline::type(); }
PyTypeObject* polygon_type() { return Polygon::type(); }
PyTypeObject* envelope_type() { return Envelope::type(); }
PyTypeObject* datum_transformation_type() { return DatumTransformation::type(); }

rt::GeometryLease to_runtime(PyObject* obj) { return Geometry::geom_from_pyobj(obj); }
const rt::GeometryOwned* borrow_kept(PyObject* obj) { return Geometry::borrow_direct(obj); }
ReadyKept ready_kept_of(PyTypeObject* type) { return Geometry::ready_of_type(type); }
rt::TypedLease<rt::Envelope> envelope_geom(PyObject* env) { return Envelope::get_geom(env); }
rt::TypedLease<rt::Point> point_geom(PyObject* point) { return Point::get_geom(point); }
rt::TypedLease<rt::Polyline> polyline_geom(PyObject* polyline) { return Polyline::get_geom(polyline); }
rt::SpatialReference spatial_reference_geom(PyObject* obj) { return SpatialReference::geom_sr_from_py(obj); }
const rt::DatumTransformationOwned& datum_transformation_of(PyObject* transformation) {
  return DatumTransformation::inner(transformation);
}

namespace {
// The member's value, or the cast text as a TypeError for the caller to name.
template <class Enum>
auto member_value(PyObject* obj, const char* name) {
  if (!PyObject_TypeCheck(obj, Enum::type())) raise(PyExc_TypeError, cast_text(obj, name));
  return Enum::value(obj);
}
}  // namespace

int32_t linear_unit_id_value(PyObject* obj) { return member_value<LinearUnitId>(obj, "LinearUnitId"); }
int32_t area_unit_id_value(PyObject* obj) { return member_value<AreaUnitId>(obj, "AreaUnitId"); }
uint32_t curve_type_value(PyObject* obj) { return member_value<GeodeticCurveType>(obj, "GeodeticCurveType"); }
bool is_area_unit_id(PyObject* obj) { return PyObject_TypeCheck(obj, AreaUnitId::type()); }
bool is_area_unit(PyObject* obj) { return PyObject_TypeCheck(obj, AreaUnit::type()); }
const rt::AreaUnit& area_unit_of(PyObject* area_unit) { return AreaUnit::unit(area_unit); }
rt::AreaUnit new_area_unit(int32_t code) { return AreaUnit::new_from_unit_id(code); }
rt::AreaUnit clone_area_unit(PyObject* area_unit) { return AreaUnit::try_clone(area_unit); }
rt::LinearUnit new_linear_unit(int32_t code) { return LinearUnitId::to_runtime_linear_unit(code); }

Ref geometry_to_py(rt::GeometryLease g) { return factory::from_kept(std::move(g).into_kept()); }
Ref geometries_to_py(std::vector<rt::GeometryOwned> gs) {
  return Geometry::iterable_geos_to_py(std::move(gs));
}
Ref polygon_to_py(rt::Polygon p) { return Polygon::from_geom(std::move(p)); }
Ref envelope_to_py(rt::Envelope e) { return Envelope::from_geom(std::move(e)); }
Ref point_to_py(rt::Point p) { return Point::from_geom(std::move(p)); }
Ref point_model_to_py(model::ZorvGeometryPoint p) { return Point::from_model(std::move(p)); }

}  // namespace ostrel::py::ops
