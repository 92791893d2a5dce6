#include "python/classes/qxcgeo.hpp"

#include <mutex>

#include "python/pyapi/errors.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

struct Carrier {
  std::mutex mu;
  bool poisoned = false;  // a take that ended in a fatal error while holding the slot
  // A null handle once taken; kept as a plain handle (not std::optional) so
  // that a failed release on deallocation can still be reported.
  rt::GeometryOwned geometry{rt::adopt, nullptr};
};

PyTypeObject* build() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<Carrier>)},
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
  unbox<Carrier>(obj.get()).geometry = std::move(geometry);
  return obj;
}

rt::GeometryOwned QXCGeo::take(PyObject* carrier) {
  Carrier& c = unbox<Carrier>(carrier);
  std::lock_guard<std::mutex> lock(c.mu);
  if (c.poisoned) fatal("Lock poisoned: PoisonError { .. }");
  if (c.geometry.raw() == nullptr) fatal("Internal error: QXCGeo carrier was already consumed");
  return std::move(c.geometry);
}

}  // namespace ostrel::py
