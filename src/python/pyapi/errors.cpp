#include "python/pyapi/errors.hpp"

#include <unistd.h>

#include <new>

#include "python/pyapi/failure.hpp"

namespace ostrel::py {

PyErr PyErr::fetch() {
#if PY_VERSION_HEX >= 0x030C0000
  Ref value = Ref::steal(PyErr_GetRaisedException());
#else
  PyObject *raw_type = nullptr, *raw_value = nullptr, *raw_tb = nullptr;
  PyErr_Fetch(&raw_type, &raw_value, &raw_tb);
  PyErr_NormalizeException(&raw_type, &raw_value, &raw_tb);
  if (raw_tb && raw_value) PyException_SetTraceback(raw_value, raw_tb);
  Py_XDECREF(raw_type);
  Py_XDECREF(raw_tb);
  Ref value = Ref::steal(raw_value);
#endif
  if (!value) return PyErr(PyExc_SystemError, "error return without exception set");
  return PyErr(std::move(value));
}

PyErr::PyErr(PyObject* type, std::string message) : type_(Ref::borrow(type)), message_(std::move(message)) {}

PyObject* PyErr::value() {
  if (!value_ && type_) {
    Ref text = Ref::steal(PyUnicode_FromStringAndSize(message_.data(), (Py_ssize_t)message_.size()));
    if (!text) throw_py();
    value_ = Ref::steal(PyObject_CallOneArg(type_.get(), text.get()));
    if (!value_) throw_py();
    type_ = Ref();
  }
  return value_.get();
}

void PyErr::restore() {
  if (type_) {
    Ref text = Ref::steal(PyUnicode_FromStringAndSize(message_.data(), (Py_ssize_t)message_.size()));
    if (!text) return;  // the decoding error is set instead
    PyErr_SetObject(type_.get(), text.get());
    type_ = Ref();
    return;
  }
  if (!value_) {
    PyErr_SetString(PyExc_SystemError, "empty Python error");
    return;
  }
#if PY_VERSION_HEX >= 0x030C0000
  PyErr_SetRaisedException(value_.release());
#else
  PyObject* value = value_.release();
  PyObject* type = (PyObject*)Py_TYPE(value);
  Py_INCREF(type);
  PyErr_Restore(type, value, PyException_GetTraceback(value));
#endif
}

bool PyErr::matches(PyObject* type) {
  if (type_) return PyObject_IsSubclass(type_.get(), type) == 1;
  return value_ && PyErr_GivenExceptionMatches(value_.get(), type);
}

void throw_py() { throw PyErr::fetch(); }

Ref check(PyObject* p) {
  if (!p) throw_py();
  return Ref::steal(p);
}

void raise(PyObject* type, std::string message) { throw PyErr(type, std::move(message)); }

PyObject* panic_exception_type() {
  static PyObject* type = nullptr;
  if (!type) {
    type = PyErr_NewExceptionWithDoc(
        "ostrel_geometry.PanicException",
        "The exception raised when an internal invariant of ostrel_geometry breaks.\n\n"
        "It derives from BaseException, so `except Exception` does not catch it.",
        PyExc_BaseException, nullptr);
  }
  return type;
}

namespace {

void write_stderr(const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(2, p, left);
    if (n <= 0) break;
    p += n;
    left -= (size_t)n;
  }
}

void raise_panic(const std::string& message) {
  write_stderr("ostrel_geometry panicked: " + message + "\n");
  PyObject* type = panic_exception_type();
  if (!type) return;  // creating the type failed; its error is set
  Ref text = Ref::steal(PyUnicode_DecodeUTF8(message.data(), (Py_ssize_t)message.size(), "replace"));
  if (!text) return;
  PyErr_SetObject(type, text.get());
}

}  // namespace

void set_python_error_from_current() noexcept {
  try {
    try {
      // A fatal error deferred earlier in the call outranks what followed it.
      core::raise_deferred_fatal();
      current_as_python().restore();
    } catch (Fatal& f) {
      raise_panic(f.message());
    } catch (std::bad_alloc&) {
      PyErr_NoMemory();
    } catch (std::exception& e) {
      raise_panic(std::string("Internal error: ") + e.what());
    }
  } catch (...) {
    // A failure while converting the failure itself.
    if (!PyErr_Occurred()) raise_panic("Internal error: unexpected failure while raising an error");
  }
}

}  // namespace ostrel::py
