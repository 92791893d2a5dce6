// Owning and borrowed references to Python objects.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace ostrel::py {

// A strong reference, released once when the Ref goes away.  Move-only.
class Ref {
 public:
  Ref() = default;
  ~Ref() { Py_XDECREF(p_); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      // Stored before the old object is let go: its finaliser may run Python
      // code that reaches this reference.
      PyObject* old = std::exchange(p_, std::exchange(o.p_, nullptr));
      Py_XDECREF(old);
    }
    return *this;
  }

  // Takes over a new reference (may be null).
  static Ref steal(PyObject* p) { return Ref(p); }
  // Adds a reference to a borrowed object (may be null).
  static Ref borrow(PyObject* p) {
    Py_XINCREF(p);
    return Ref(p);
  }

  PyObject* get() const { return p_; }
  // Hands the reference to the caller.
  PyObject* release() { return std::exchange(p_, nullptr); }
  Ref clone() const { return borrow(p_); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  explicit Ref(PyObject* p) : p_(p) {}
  PyObject* p_ = nullptr;
};

}  // namespace ostrel::py
