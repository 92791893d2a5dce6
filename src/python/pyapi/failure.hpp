// Model and runtime failures as Python exceptions, and Python exceptions
// carried through the model.
#pragma once

#include "model/geoerr.hpp"
#include "python/pyapi/errors.hpp"

namespace ostrel::py {

// A Python exception raised inside model work (a failing conversion during a
// dictionary read), carried as a model error and given back unchanged.
model::ZorvGeoErr carried(PyErr err);

// The model's cast error for `obj`, which is not of the type named `to`.
model::ZorvGeoErr cast_failure(PyObject* obj, const char* to);

// Turns the exception in flight (inside a catch block) into the Python
// exception it is raised as, when it is an ordinary failure: a PyErr, a model
// error (the carried exception, or Exception with its message) or a runtime
// error (as the model's runtime error).  Any other exception is rethrown.
PyErr current_as_python();

}  // namespace ostrel::py
