#include "python/operations/support.hpp"

#include "model/geoerr.hpp"
#include "python/pyapi/failure.hpp"

namespace ostrel::py::ops {

PyObject* geometry_arg(PyObject* obj, const char* arg) {
  return expect_instance(obj, geometry_type(), "Geometry", arg);
}

PyObject* origin_arg(PyObject* obj, const char* arg) {
  if (obj == Py_None) return nullptr;
  return expect_instance(obj, point_type(), "Point", arg);
}

std::optional<uint32_t> curve_type_arg(PyObject* obj, const char* arg) {
  if (!given(obj)) return std::nullopt;
  return convert_arg(arg, [&] { return curve_type_value(obj); });
}

std::optional<int32_t> linear_unit_arg(PyObject* obj, const char* arg) {
  if (!given(obj)) return std::nullopt;
  return convert_arg(arg, [&] { return linear_unit_id_value(obj); });
}

PyObject* area_unit_object_arg(PyObject* obj, const char* arg) {
  if (!given(obj)) return nullptr;
  if (!is_area_unit(obj)) rethrow_arg_error(arg, PyErr(PyExc_TypeError, cast_text(obj, "AreaUnit")));
  return obj;
}

Iter::Iter(PyObject* iterable) {
  // The exact types only: a subclass may iterate its own way.
  if (PyList_CheckExact(iterable) || PyTuple_CheckExact(iterable)) {
    it_ = Ref::borrow(iterable);
    index_ = 0;
  } else {
    it_ = check(PyObject_GetIter(iterable));
  }
}

Ref Iter::next_of_iterator() {
  if (!it_) return Ref();
  Ref item = Ref::steal(PyIter_Next(it_.get()));
  if (!item && PyErr_Occurred()) throw_py();
  return item;
}

void ErrorSlot::raise_if_filled() {
  if (err_) {
    PyErr e = std::move(*err_);
    err_.reset();
    throw e;
  }
}

std::optional<rt::GeometryLease> GeometryItems::operator()() {
  if (slot_.filled()) return std::nullopt;
  try {
    Ref item = items_.next();
    if (!item) return std::nullopt;
    rt::GeometryLease g = to_runtime(item.get());
    item = Ref();
    return g;
  } catch (PyErr&) {
    slot_.store(current_as_python());
  } catch (model::ZorvGeoErr&) {
    slot_.store(current_as_python());
  } catch (rt::Error&) {
    slot_.store(current_as_python());
  }
  return std::nullopt;
}

std::optional<double> F64Items::operator()() {
  if (slot_.filled()) return std::nullopt;
  try {
    Ref item = items_.next();
    if (!item) return std::nullopt;
    return to_f64(item.get());
  } catch (PyErr&) {
    slot_.store(current_as_python());
  }
  return std::nullopt;
}

}  // namespace ostrel::py::ops
