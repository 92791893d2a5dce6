#include "python/factory.hpp"

#include <unistd.h>

#include <string>

#include "python/common.hpp"
#include "python/envelope.hpp"
#include "python/multipoint.hpp"
#include "python/point.hpp"
#include "python/polygon.hpp"
#include "python/polyline.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/spatial_reference.hpp"

namespace ostrel::py {

namespace {

std::string repr_text(PyObject* obj) {
  Ref r = check(PyObject_Repr(obj));
  Py_ssize_t n = 0;
  const char* p = PyUnicode_AsUTF8AndSize(r.get(), &n);
  if (!p) throw_py();
  return std::string(p, static_cast<std::size_t>(n));
}

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

void write_stderr(const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(2, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
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
  switch (geometry.object_type()) {
    case rt::GeometryType::Point: return Point::try_from_owned(std::move(geometry));
    case rt::GeometryType::Envelope: return Envelope::try_from_owned(std::move(geometry));
    case rt::GeometryType::Polyline: return Polyline::try_from_owned(std::move(geometry));
    case rt::GeometryType::Polygon: return Polygon::try_from_owned(std::move(geometry));
    case rt::GeometryType::Multipoint: return MultiPoint::try_from_owned(std::move(geometry));
    case rt::GeometryType::Unknown: break;
  }
  { rt::GeometryOwned released = std::move(geometry); }
  throw model::ZorvGeoErr(model::ZorvGeoErr::Kind::VaskelithLibraryError,
                          "Tried to convert geometry of unknown type into a python geometry");
}

PyObject* geom_factory_new(PyTypeObject*, PyObject* args, PyObject*) {
  return trampoline([&] {
    try {
      if (PyTuple_GET_SIZE(args) != 1) raise(PyExc_TypeError, "Geometry expects 1 argument");
      return factory::geometry(PyTuple_GET_ITEM(args, 0));
    } catch (Fatal& f) {
      // The report is written as for every fatal error, but this constructor
      // raises an ordinary RuntimeError instead of the panic.
      write_stderr("ostrel_geometry panicked: " + f.message() + "\n");
      raise(PyExc_RuntimeError, "In ostrel_geometry.Geometry factory new (geom_factory_new): caught panic");
    }
  });
}

}  // namespace ostrel::py
