#include "python/utils/orientation.hpp"

#include <cmath>

#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py::utils {

namespace {

constexpr double kEps = 2.220446049250313e-16;

PyObject* sequence_abc() {
  static PyObject* abc = [] {
    Ref module = Ref::steal(PyImport_ImportModule("collections.abc"));
    return module ? PyObject_GetAttrString(module.get(), "Sequence") : nullptr;
  }();
  return abc;
}

Ref item(PyObject* seq, Py_ssize_t i) { return check(PySequence_GetItem(seq, i)); }

// A vertex of the ring, which must itself be a sequence.
Ref vertex(PyObject* ring, Py_ssize_t i) {
  Ref v = item(ring, i);
  if (!is_sequence(v.get())) raise(PyExc_TypeError, cast_text(v.get(), "Sequence"));
  return v;
}

double ordinate(PyObject* v, Py_ssize_t i) { return to_f64(item(v, i).get()); }

bool axis_eq(double p, double q) {
  if (p == q) return true;
  if (std::isinf(p) || std::isinf(q)) return false;
  double d = std::fabs(p - q);
  if (d <= kEps) return true;
  return d <= std::fmax(std::fabs(p), std::fabs(q)) * kEps;
}

}  // namespace

bool is_sequence(PyObject* obj) {
  if (PyList_Check(obj) || PyTuple_Check(obj)) return true;
  PyObject* abc = sequence_abc();
  int r = abc ? PyObject_IsInstance(obj, abc) : -1;
  if (r < 0) {
    PyErr_WriteUnraisable(obj);
    return false;
  }
  return r == 1;
}

bool coord_eq(PyObject* a, PyObject* b) {
  double ax = ordinate(a, 0), ay = ordinate(a, 1);
  double bx = ordinate(b, 0), by = ordinate(b, 1);
  return axis_eq(ax, bx) && axis_eq(ay, by);
}

bool ring_is_clockwise(PyObject* ring) {
  Py_ssize_t n = PySequence_Size(ring);
  if (n < 0) throw_py();
  Ref first = vertex(ring, 0);
  Ref last = vertex(ring, n - 1);
  if (n < 2) raise(PyExc_RuntimeError, "ring must have at least 3 vertices");
  if (coord_eq(first.get(), last.get())) --n;
  if (n <= 2) raise(PyExc_RuntimeError, "ring must have at least 3 vertices");

  const double x0 = ordinate(first.get(), 0), y0 = ordinate(first.get(), 1);
  double s = 0, px = x0, py = y0;
  for (Py_ssize_t i = 1; i < n; ++i) {
    Ref v = vertex(ring, i);
    double x = ordinate(v.get(), 0), y = ordinate(v.get(), 1);
    s += px * y - py * x;
    px = x;
    py = y;
  }
  double total = (y0 * px - x0 * py) + s;
  return total < 0;
}

namespace {

Ref is_clockwise_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [coords] = match<1>({"is_clockwise()", {"coords"}, 1}, args, nargs, kwnames);
  convert_arg("coords", [&] {
    if (!is_sequence(coords)) raise(PyExc_TypeError, cast_text(coords, "Sequence"));
    return 0;
  });
  return to_py(ring_is_clockwise(coords));
}

Registrar is_clockwise_def("ostrel_geometry.utils",
                           fastcall_def<is_clockwise_entry>(
                               "is_clockwise",
                               "is_clockwise(coords)\n--\n\n"
                               "Return True when the ring's vertices run clockwise and False when they run "
                               "counter-clockwise.\n\n`coords` must contain at least three distinct points."));

}  // namespace

}  // namespace ostrel::py::utils
