#include "python/pyapi/types.hpp"

#include <cstring>
#include <deque>
#include <string>

namespace ostrel::py {

namespace {

struct Registry {
  std::deque<FunctionEntry> functions;
  std::deque<ClassEntry> classes;
};

Registry& registry() {
  static Registry r;
  return r;
}

// The one entry of `entries` for `module` and `name`.
template <class Entry, class Name>
const Entry& registered(const std::deque<Entry>& entries, const char* module, const char* name, Name name_of) {
  const Entry* found = nullptr;
  for (const Entry& e : entries) {
    if (std::strcmp(e.module, module) != 0 || std::strcmp(name_of(e), name) != 0) continue;
    if (found) fatal(std::string(module) + "." + name + " is defined twice");
    found = &e;
  }
  if (!found) fatal(std::string(module) + "." + name + " is listed in the module but has no definition");
  return *found;
}

}  // namespace

Registrar::Registrar(const char* module, PyMethodDef def) { registry().functions.push_back({module, def}); }

Registrar::Registrar(const char* module, const char* name, TypeBuilder build) {
  registry().classes.push_back({module, name, build});
}

const FunctionEntry& registered_function(const char* module, const char* name) {
  return registered(registry().functions, module, name, [](const FunctionEntry& e) { return e.def.ml_name; });
}

const ClassEntry& registered_class(const char* module, const char* name) {
  return registered(registry().classes, module, name, [](const ClassEntry& e) { return e.name; });
}

const std::deque<FunctionEntry>& registered_functions() { return registry().functions; }
const std::deque<ClassEntry>& registered_classes() { return registry().classes; }

PyTypeObject* build_type(PyType_Spec* spec, PyTypeObject* base) {
  PyObject* type = base ? PyType_FromSpecWithBases(spec, (PyObject*)base) : PyType_FromSpec(spec);
  if (!type) throw_py();
  return (PyTypeObject*)type;
}

PyObject* no_constructor_new(PyTypeObject* type, PyObject*, PyObject*) {
  PyErr_Format(PyExc_TypeError, "No constructor defined for %s", type->tp_name);
  return nullptr;
}

void free_instance(PyObject* self) noexcept {
  PyTypeObject* tp = Py_TYPE(self);
  if (tp->tp_flags & Py_TPFLAGS_HAVE_GC) PyObject_GC_UnTrack(self);
  tp->tp_free(self);
  Py_DECREF(tp);
}

void report_unraisable_from_current() noexcept {
  PyObject *type, *value, *tb;
  PyErr_Fetch(&type, &value, &tb);  // keep an error already set by the caller
  set_python_error_from_current();
  PyErr_WriteUnraisable(nullptr);
  PyErr_Restore(type, value, tb);
}

void refuse_delete() { raise(PyExc_AttributeError, "can't delete attribute"); }

}  // namespace ostrel::py
