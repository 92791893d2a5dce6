#include "python/pyapi/failure.hpp"

#include <memory>
#include <string>

#include "binding/error.hpp"
#include "core/foreign_error.hpp"

namespace ostrel::py {

namespace {

struct CarriedPyErr : core::ForeignError {
  explicit CarriedPyErr(PyErr e) : err(std::move(e)) {}
  PyErr err;
};

PyErr as_python(model::ZorvGeoErr& e) {
  if (auto* carried = dynamic_cast<CarriedPyErr*>(e.foreign().get())) return std::move(carried->err);
  return PyErr(PyExc_Exception, e.message());
}

}  // namespace

model::ZorvGeoErr carried(PyErr err) {
  return model::ZorvGeoErr::foreign(std::make_shared<CarriedPyErr>(std::move(err)));
}

model::ZorvGeoErr cast_failure(PyObject* obj, const char* to) {
  std::string type_name;
  PyTypeObject* tp = Py_TYPE(obj);
  // The qualified name, as Python shows it ("int", "Point").
  Ref qual = Ref::steal(PyType_GetQualName(tp));
  const char* utf8 = qual ? PyUnicode_AsUTF8(qual.get()) : nullptr;
  if (utf8) {
    type_name = utf8;
  } else {
    PyErr_Clear();
    type_name = tp->tp_name;
  }
  return model::ZorvGeoErr::cast_error(type_name, to);
}

PyErr current_as_python() {
  try {
    throw;
  } catch (PyErr& e) {
    return std::move(e);
  } catch (model::ZorvGeoErr& e) {
    return as_python(e);
  } catch (rt::Error& e) {
    model::ZorvGeoErr err = model::ZorvGeoErr::from_runtime(e);
    return as_python(err);
  }
}

}  // namespace ostrel::py
