// Heap types and the module's registry of functions and classes.
#pragma once

#include <deque>
#include <new>
#include <string>
#include <vector>

#include "python/pyapi/errors.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py {

// A Python object holding one C++ value.  Classes derive their object layout
// from this; tp_dealloc runs the value's destructor.
template <class T>
struct Boxed {
  PyObject_HEAD
  T value;
};

template <class T>
T& unbox(PyObject* self) {
  return reinterpret_cast<Boxed<T>*>(self)->value;
}

// Allocates an instance of `type` and constructs its value in place.
template <class T, class... A>
Ref make_boxed(PyTypeObject* type, A&&... a) {
  Ref obj = check(type->tp_alloc(type, 0));
  new (&unbox<T>(obj.get())) T(std::forward<A>(a)...);
  return obj;
}

// Reports the exception in flight as unraisable (used where no caller can
// receive it, such as a deallocator).
void report_unraisable_from_current() noexcept;

template <class T>
void boxed_dealloc(PyObject* self) {
  PyTypeObject* tp = Py_TYPE(self);
  if (tp->tp_flags & Py_TPFLAGS_HAVE_GC) PyObject_GC_UnTrack(self);
  try {
    unbox<T>(self).~T();
  } catch (...) {
    // A failed release has nowhere to go from a deallocator.
    report_unraisable_from_current();
  }
  tp->tp_free(self);
  Py_DECREF(tp);
}

// Builds a heap type from a spec, with `base` as its base class (may be null).
// `__module__` is taken from the dotted spec name.
PyTypeObject* build_type(PyType_Spec* spec, PyTypeObject* base = nullptr);

// tp_new of a class that Python code may not instantiate.
PyObject* no_constructor_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);

// A property setter that refuses deletion with "can't delete attribute".
[[noreturn]] void refuse_delete();

// ---- registry ----
// Each source file that defines module-level functions or classes registers
// them at static-initialisation time; module start-up then adds them to the
// module in the order of its one list of names (module.cpp), and refuses to
// start when a listed name has no definition or a definition is not listed.
using TypeBuilder = PyTypeObject* (*)();

struct FunctionEntry {
  const char* module;  // "ostrel_geometry", "ostrel_geometry.utils", "ostrel_geometry.projection"
  PyMethodDef def;
};
struct ClassEntry {
  const char* module;
  const char* name;
  TypeBuilder build;  // builds (once) and returns the type; a new reference is not returned
};

struct Registrar {
  Registrar(const char* module, PyMethodDef def);
  Registrar(const char* module, const char* name, TypeBuilder build);
};

// The one definition registered for `name` in `module`.  None, or more than
// one, is a fatal error: the list and the definitions disagree.
const FunctionEntry& registered_function(const char* module, const char* name);
const ClassEntry& registered_class(const char* module, const char* name);

// Every registered definition, for start-up to check against its list.
const std::deque<FunctionEntry>& registered_functions();
const std::deque<ClassEntry>& registered_classes();

}  // namespace ostrel::py
