#include "python/classes/factory.hpp"

#include <string>

#include "python/classes/common.hpp"
#include "python/classes/envelope.hpp"
#include "python/classes/multipoint.hpp"
#include "python/classes/point.hpp"
#include "python/classes/polygon.hpp"
#include "python/classes/polyline.hpp"
#include "python/classes/spatial_reference.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"

namespace ostrel::py {

namespace {

std::string repr_text(PyObject* obj) { return to_str(check(PyObject_Repr(obj)).get()); }

// Membership in the dictionary's own table (a subclass's __contains__ is not asked).
bool has_key(PyObject* dict, const char* key) { return common::dict_get(dict, key) != nullptr; }

Ref from_dict(PyObject* dict) {
  if (has_key(dict, "rings") || has_key(dict, "curveRings")) return Polygon::wrap(Polygon::from_dict(dict));
  if (has_key(dict, "paths") || has_key(dict, "curvePaths"))
    return Polyline::wrap(Polyline::from_dict(dict));
  if (has_key(dict, "points")) return MultiPoint::wrap(MultiPoint::from_dict(dict));
  if (has_key(dict, "x")) return Point::wrap(Point::from_dict(dict));
  if (has_key(dict, "xmin")) return Envelope::wrap(Envelope::from_dict(dict));
  if (has_key(dict, "wkid") || has_key(dict, "wkt") || has_key(dict, "latestWkid"))
    return SpatialReference::new_object(SpatialReference::from_dict(dict));
  raise(PyExc_ValueError, "Dict missing keys to represent an Ostrel geometry: " + repr_text(dict));
}

}  // namespace

Ref factory::geometry(PyObject* value) {
  if (PyDict_Check(value)) return from_dict(value);
  std::string text;
  try {
    text = common::get_py_str(value);
  } catch (PyErr&) {
    raise(PyExc_TypeError, "Could not convert object " + repr_text(value) +
                               " into Ostrel geometry.  Geometry factory expects a dict or ZorvJSON string");
  }
  return from_geometry_owned(rt::GeometryOwned::from_json(text));
}

Ref factory::from_geometry_owned(rt::GeometryOwned geometry) {
  return from_kept(rt::keep(std::move(geometry)));
}

Ref factory::from_kept(rt::KeptGeometry geometry) {
  switch (geometry->object_type()) {
    case rt::GeometryType::Point:
      return Point::from_kept(std::move(geometry));
    case rt::GeometryType::Envelope:
      return Envelope::from_kept(std::move(geometry));
    case rt::GeometryType::Polyline:
      return Polyline::from_kept(std::move(geometry));
    case rt::GeometryType::Polygon:
      return Polygon::from_kept(std::move(geometry));
    case rt::GeometryType::Multipoint:
      return MultiPoint::from_kept(std::move(geometry));
    case rt::GeometryType::Unknown: break;
  }
  geometry.reset();
  throw model::ZorvGeoErr(model::ZorvGeoErr::Kind::VaskelithLibraryError,
                          "Tried to convert geometry of unknown type into a python geometry");
}

PyObject* geom_factory_new(PyTypeObject*, PyObject* args, PyObject*) {
  return trampoline([&] {
    try {
      if (PyTuple_GET_SIZE(args) != 1) raise(PyExc_TypeError, "Geometry expects 1 argument");
      Ref geometry = factory::geometry(PyTuple_GET_ITEM(args, 0));
      core::raise_deferred_fatal();
      return geometry;
    } catch (Fatal&) {
      // Reported as every fatal error is (its report goes to standard error),
      // but this constructor raises an ordinary RuntimeError instead of the panic.
      set_python_error_from_current();
      (void)PyErr::fetch();
      raise(PyExc_RuntimeError, "In ostrel_geometry.Geometry factory new (geom_factory_new): caught panic");
    }
  });
}

}  // namespace ostrel::py
