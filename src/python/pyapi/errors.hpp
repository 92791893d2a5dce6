// Failures crossing the Python boundary.
//
// Inside the module every failure is a C++ exception of one of three kinds:
//  - PyErr: a Python exception, either fetched after a failing C-API call or
//    made by our code with a type and a message;
//  - model::ZorvGeoErr and rt::Error: model and runtime error values;
//  - Fatal (core/fatal.hpp): a broken invariant, raised to Python as
//    PanicException.
// Only the trampoline (trampoline.hpp) turns them into a set Python error.
#pragma once

#include <exception>
#include <string>

#include "core/fatal.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

class PyErr : public std::exception {
 public:
  // Takes the interpreter's current exception; there must be one.
  static PyErr fetch();
  // A new exception of the given type with a str message, created lazily.
  PyErr(PyObject* type, std::string message);
  // Wraps an exception instance.
  explicit PyErr(Ref value) : value_(std::move(value)) {}

  const char* what() const noexcept override { return "Python exception"; }
  // The exception instance (created now for a lazy error).
  PyObject* value();
  // Sets it as the interpreter's current exception; the PyErr is emptied.
  void restore();
  // Whether the exception is an instance of `type`.
  bool matches(PyObject* type);

 private:
  Ref type_;           // set while lazy
  std::string message_;
  Ref value_;
};

// Throws the interpreter's current exception.  Call after a failing C-API call.
[[noreturn]] void throw_py();
// Steals `p`; throws the current exception when it is null.
Ref check(PyObject* p);
// Throws the current exception when `status` is negative.
inline void check_status(int status) {
  if (status < 0) throw_py();
}
[[noreturn]] void raise(PyObject* type, std::string message);

using core::Fatal;
using core::fatal;

// The PanicException type, created on first use (a direct subclass of BaseException).
PyObject* panic_exception_type();

// Converts the exception in flight (inside a catch block) into a set Python
// error.  Fatal errors, and a deferred one first of all, are written to
// stderr and raised as PanicException.
void set_python_error_from_current() noexcept;

}  // namespace ostrel::py
