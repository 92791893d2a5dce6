#include "python/pyapi/types.hpp"

#include <cstring>
#include <deque>

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

}  // namespace

Registrar::Registrar(const char* module, PyMethodDef def) { registry().functions.push_back({module, def}); }

Registrar::Registrar(const char* module, const char* name, TypeBuilder build) {
  registry().classes.push_back({module, name, build});
}

const FunctionEntry* find_function(const char* module, const char* name) {
  for (const auto& f : registry().functions) {
    if (std::strcmp(f.module, module) == 0 && std::strcmp(f.def.ml_name, name) == 0) return &f;
  }
  return nullptr;
}

const ClassEntry* find_class(const char* module, const char* name) {
  for (const auto& c : registry().classes) {
    if (std::strcmp(c.module, module) == 0 && std::strcmp(c.name, name) == 0) return &c;
  }
  return nullptr;
}

PyTypeObject* build_type(PyType_Spec* spec, PyTypeObject* base) {
  PyObject* type = base ? PyType_FromSpecWithBases(spec, (PyObject*)base) : PyType_FromSpec(spec);
  if (!type) throw_py();
  return (PyTypeObject*)type;
}

PyObject* no_constructor_new(PyTypeObject* type, PyObject*, PyObject*) {
  PyErr_Format(PyExc_TypeError, "No constructor defined for %s", type->tp_name);
  return nullptr;
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
