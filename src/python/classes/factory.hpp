// Turns Python values and runtime geometries into the matching Python objects.
#pragma once

#include "binding/geometry.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

namespace factory {

// A zorvjson dictionary (dispatched by its keys) or the runtime's JSON text
// (str or UTF-8 bytes) as a new Point, MultiPoint, Polyline, Polygon, Envelope
// or SpatialReference.
Ref geometry(PyObject* value);
// A runtime geometry of any kind as a new Python geometry; always consumes it.
Ref from_geometry_owned(rt::GeometryOwned geometry);
// The same for a runtime geometry that other holders may share.
Ref from_kept(rt::KeptGeometry geometry);

}  // namespace factory

// The constructor slot of Geometry, installed at import: Geometry(value).
PyObject* geom_factory_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);

}  // namespace ostrel::py
