// Ring orientation on Python sequences, without the runtime.
#pragma once

#include "python/pyapi/ref.hpp"

namespace ostrel::py::utils {

// Whether `obj` is a list, a tuple or a collections.abc.Sequence.  An error
// inside the isinstance test is reported as unraisable and counts as false.
bool is_sequence(PyObject* obj);

// Whether the ring's vertices run clockwise (negative signed area, y up).  A
// repeated closing vertex is left out.  `ring` must have passed is_sequence.
// Throws py::PyErr.
bool ring_is_clockwise(PyObject* ring);

// Whether two vertices are equal on x and y within 2^-52, absolute or relative.
bool coord_eq(PyObject* a, PyObject* b);

}  // namespace ostrel::py::utils
