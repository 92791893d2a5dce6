// Heap types and the module's registry of functions and classes.
#pragma once

#include <deque>
#include <new>
#include <string>
#include <vector>

#include "core/fatal.hpp"
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

// Frees an instance whose value is not there (never made, or destroyed).
void free_instance(PyObject* self) noexcept;

// Allocates an instance of `type` and makes its value in place.  The object
// is handed out (and its deallocator, which destroys the value, may run) only
// once the value exists: when making it fails, the bare instance is freed.
template <class T, class... A>
Ref make_boxed(PyTypeObject* type, A&&... a) {
  PyObject* obj = type->tp_alloc(type, 0);
  if (!obj) throw_py();
  try {
    new (&unbox<T>(obj)) T(std::forward<A>(a)...);
  } catch (...) {
    free_instance(obj);
    throw;
  }
  return Ref::steal(obj);
}

// Reports the exception in flight as unraisable (used where no caller can
// receive it, such as a deallocator).
void report_unraisable_from_current() noexcept;

template <class T>
void boxed_dealloc(PyObject* self) {
  PyTypeObject* tp = Py_TYPE(self);
  if (tp->tp_flags & Py_TPFLAGS_HAVE_GC) PyObject_GC_UnTrack(self);
  // A failed release has nowhere to go from a deallocator: it is reported
  // here, not at the end of a call that may be running.
  bool deferred_before = core::fatal_deferred();
  try {
    unbox<T>(self).~T();
    if (!deferred_before) core::raise_deferred_fatal();
  } catch (...) {
    report_unraisable_from_current();
  }
  free_instance(self);
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
