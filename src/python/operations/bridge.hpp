// What the operations need from the geometry classes, in one place: type
// objects, the conversions of Python objects into runtime objects, and the
// shaping of runtime results into Python objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "binding/geometry.hpp"
#include "binding/spatial_reference.hpp"
#include "model/point.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::rt {
class DatumTransformationOwned;
}

namespace ostrel::py::ops {

// ---- classes ----
PyTypeObject* geometry_type();
PyTypeObject* point_type();
PyTypeObject* polyline_type();
PyTypeObject* polygon_type();
PyTypeObject* envelope_type();
PyTypeObject* datum_transformation_type();

// ---- Python objects into runtime objects (all throw) ----
// The runtime geometry of any object the bridge accepts (geometries,
// zorvjson dictionaries, runtime JSON text).
rt::GeometryLease to_runtime(PyObject* obj);
// The runtime geometry that an object of exactly a geometry class keeps,
// lent while the caller holds the object and runs no Python code; null for
// any other object.
const rt::GeometryOwned* borrow_kept(PyObject* obj);
// For the objects of exactly `type`: the function that gathers the handles
// of the runtime geometries a run of such objects keep already, stopping at
// an item of another class or one whose geometry borrow_kept would have to
// build; null for other classes.  Good until Python code runs.
using ReadyKept = std::size_t (*)(PyObject* const* items, std::size_t count, PyTypeObject* type,
                                  QX_GeometryHandle* out);
ReadyKept ready_kept_of(PyTypeObject* type);
// Typed operands: the runtime geometry of their own model, never through
// `__qxc_geo` (the object's class was checked).
rt::TypedLease<rt::Envelope> envelope_geom(PyObject* env);
rt::TypedLease<rt::Polyline> polyline_geom(PyObject* polyline);
rt::TypedLease<rt::Point> point_geom(PyObject* point);
// A SpatialReference object or a spatial-reference dictionary.
rt::SpatialReference spatial_reference_geom(PyObject* obj);
// The runtime transformation a DatumTransformation object owns (lent).
const rt::DatumTransformationOwned& datum_transformation_of(PyObject* transformation);

// ---- enumerations and units ----
// The member's value; TypeError (to be prefixed with the argument) otherwise.
int32_t linear_unit_id_value(PyObject* obj);
int32_t area_unit_id_value(PyObject* obj);
uint32_t curve_type_value(PyObject* obj);
bool is_area_unit_id(PyObject* obj);
bool is_area_unit(PyObject* obj);
// The runtime unit an AreaUnit object owns (lent).
const rt::AreaUnit& area_unit_of(PyObject* area_unit);
// A new runtime area unit for a code, or the unit of an AreaUnit copied; both
// raise RuntimeError with the runtime error's debug form.
rt::AreaUnit new_area_unit(int32_t code);
rt::AreaUnit clone_area_unit(PyObject* area_unit);
// A runtime linear unit for a member's value; ValueError "Invalid LinearUnitId: {:?}".
rt::LinearUnit new_linear_unit(int32_t code);

// ---- runtime results into Python objects ----
Ref geometry_to_py(rt::GeometryLease g);                  // class by runtime kind
Ref geometries_to_py(std::vector<rt::GeometryOwned> gs);  // a list, class by runtime kind
Ref polygon_to_py(rt::Polygon p);
Ref envelope_to_py(rt::Envelope e);
Ref point_to_py(rt::Point p);
Ref point_model_to_py(model::ZorvGeometryPoint p);

}  // namespace ostrel::py::ops
