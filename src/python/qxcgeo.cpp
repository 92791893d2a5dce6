#include "python/qxcgeo.hpp"

#include <mutex>
#include <optional>

#include "python/pyapi/errors.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

struct Carrier {
  std::mutex mu;
  bool poisoned = false;  // a take that ended in a fatal error while holding the slot
  std::optional<rt::GeometryOwned> geometry;
};

void carrier_dealloc(PyObject* self) {
  // Releasing a runtime handle can fail fatally; a deallocator cannot raise,
  // so such a failure is reported as unraisable.
  try {
    std::optional<rt::GeometryOwned> left = std::move(unbox<Carrier>(self).geometry);
    left.reset();
  } catch (...) {
    set_python_error_from_current();
    PyErr_WriteUnraisable(self);
  }
  boxed_dealloc<Carrier>(self);
}

PyTypeObject* build() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(carrier_dealloc)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.QXCGeo", sizeof(Boxed<Carrier>), 0, Py_TPFLAGS_DEFAULT, slots};
  return build_type(&spec);
}

}  // namespace

PyTypeObject* QXCGeo::type() {
  static PyTypeObject* t = build();
  return t;
}

Ref QXCGeo::make(rt::GeometryOwned geometry) {
  Ref obj = make_boxed<Carrier>(type());
  unbox<Carrier>(obj.get()).geometry.emplace(std::move(geometry));
  return obj;
}

rt::GeometryOwned QXCGeo::take(PyObject* carrier) {
  Carrier& c = unbox<Carrier>(carrier);
  std::lock_guard<std::mutex> lock(c.mu);
  if (c.poisoned) fatal("Lock poisoned: PoisonError { .. }");
  if (!c.geometry) fatal("Internal error: QXCGeo carrier was already consumed");
  rt::GeometryOwned g = std::move(*c.geometry);
  c.geometry.reset();
  return g;
}

}  // namespace ostrel::py
