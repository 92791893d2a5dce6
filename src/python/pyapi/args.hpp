// Argument matching and extraction for fast-call entry points.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

#include "python/pyapi/errors.hpp"

namespace ostrel::py {

// The parameters of one callable.  Every parameter is positional-or-keyword;
// the first `required` have no default.
struct Signature {
  const char* full_name;  // "Geometry.union()" or "within_collection()"
  std::initializer_list<const char*> names;
  std::size_t required;
};

// Matches fast-call arguments to the parameters.  `out` receives one borrowed
// object per parameter, nullptr for an optional one not given.  Raises the
// interpreter's argument TypeErrors.
void match_args(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                PyObject** out);

template <std::size_t N>
std::array<PyObject*, N> match(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) {
  std::array<PyObject*, N> out{};
  match_args(sig, args, nargs, kwnames, out.data());
  return out;
}

// "'{type}' object cannot be cast as '{to}'" with the object's qualified type name.
std::string cast_text(PyObject* obj, const char* to);
// The qualified name of an object's type.
std::string type_qualname(PyObject* obj);

// Runs an argument conversion: an exception of type exactly TypeError raised by
// `f` becomes TypeError "argument '{name}': {text}" with the original as cause.
template <class F>
auto convert_arg(const char* name, F&& f) -> decltype(f());
[[noreturn]] void rethrow_arg_error(const char* name, PyErr err);

// Requires an instance of `type` (or a subclass), else the argument TypeError.
PyObject* expect_instance(PyObject* obj, PyTypeObject* type, const char* type_name, const char* arg);

// Scalar extraction (errors as the interpreter words them, wrapped per argument).
double arg_f64(PyObject* obj, const char* arg);
bool arg_bool(PyObject* obj, const char* arg);
int64_t arg_i64(PyObject* obj, const char* arg);
std::string arg_str(PyObject* obj, const char* arg);
// A value that None leaves absent: None gives nothing, anything else what the
// extraction makes of it (raising as it raises).
template <class T>
std::optional<T> arg_or_none(PyObject* obj, const char* arg, T (*extract)(PyObject*, const char*)) {
  if (obj == Py_None) return std::nullopt;
  return extract(obj, arg);
}

// Plain conversions that throw PyErr without the argument prefix.
double to_f64(PyObject* obj);
int64_t to_i64(PyObject* obj);
std::string to_str(PyObject* obj);  // str only: TypeError cast text otherwise
Ref to_py(double v);
Ref to_py(bool v);
Ref to_py(const std::string& s);
Ref none();

template <class F>
auto convert_arg(const char* name, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (PyErr& e) {
    rethrow_arg_error(name, std::move(e));
  }
}

}  // namespace ostrel::py
