// Entry points: every callable the interpreter sees runs its body through
// `trampoline`, the one place where C++ failures become Python exceptions.
#pragma once

#include "core/fatal.hpp"
#include "python/pyapi/errors.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

// Runs `body` (returning Ref) and hands its result to the interpreter; on
// failure sets the Python error and returns null.  A fatal error deferred
// during the call (a failed release) ends it here.
template <class F>
PyObject* trampoline(F&& body) noexcept {
  try {
    Ref r = body();
    core::raise_deferred_fatal();
    return r.release();
  } catch (...) {
    set_python_error_from_current();
    return nullptr;
  }
}

// Same for slots returning int (0 success, -1 failure).
template <class F>
int trampoline_int(F&& body) noexcept {
  try {
    int r = body();
    core::raise_deferred_fatal();
    return r;
  } catch (...) {
    set_python_error_from_current();
    return -1;
  }
}

// Entry points for C++ functions, usable directly in PyMethodDef/PyGetSetDef:
//   Ref f(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames)
template <auto F>
PyObject* fastcall_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) noexcept {
  return trampoline([&] { return F(self, args, nargs, kw); });
}
//   Ref f(PyObject* self)
template <auto F>
PyObject* noargs_entry(PyObject* self, PyObject*) noexcept {
  return trampoline([&] { return F(self); });
}
//   Ref f(PyObject* self)
template <auto F>
PyObject* getter_entry(PyObject* self, void*) noexcept {
  return trampoline([&] { return F(self); });
}

template <auto F>
PyMethodDef fastcall_def(const char* name, const char* doc) {
  return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&fastcall_entry<F>)),
          METH_FASTCALL | METH_KEYWORDS, doc};
}
template <auto F>
PyMethodDef static_fastcall_def(const char* name, const char* doc) {
  return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&fastcall_entry<F>)),
          METH_FASTCALL | METH_KEYWORDS | METH_STATIC, doc};
}
template <auto F>
PyMethodDef noargs_def(const char* name, const char* doc) {
  return {name, &noargs_entry<F>, METH_NOARGS, doc};
}

}  // namespace ostrel::py

// Entry-point adapters: turn a C++ function into the interpreter's calling forms.
//   Ref f(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames)
#define OSTREL_FASTCALL(fn)                                                                        \
  [](PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kw) -> PyObject* {       \
    return ::ostrel::py::trampoline([&] { return fn(self, args, nargs, kw); });                   \
  }
//   Ref f(PyObject* self)
#define OSTREL_NOARGS(fn) \
  [](PyObject* self, PyObject*) -> PyObject* { return ::ostrel::py::trampoline([&] { return fn(self); }); }
