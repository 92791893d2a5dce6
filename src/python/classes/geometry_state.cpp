#include "python/classes/geometry_state.hpp"

#include "binding/parts.hpp"
#include "python/pyapi/ref.hpp"

namespace ostrel::py::geometry_state {

namespace {

Kept* g_built = nullptr;  // the list of kept geometries built from models

PyObject* on_collection(PyObject*, PyObject* args) {
  PyObject* phase = nullptr;
  PyObject* info = nullptr;
  if (!PyArg_ParseTuple(args, "OO", &phase, &info)) return nullptr;
  if (PyUnicode_Check(phase) && PyUnicode_CompareWithASCIIString(phase, "start") == 0 && PyDict_Check(info)) {
    PyObject* generation = PyDict_GetItemString(info, "generation");
    if (generation && PyLong_Check(generation) && PyLong_AsLong(generation) == 2) Kept::let_go_of_built();
  }
  PyErr_Clear();
  Py_RETURN_NONE;
}

}  // namespace

void watch_collections() {
  static PyMethodDef def = {"_release_kept_geometries", on_collection, METH_VARARGS, nullptr};
  Ref gc = Ref::steal(PyImport_ImportModule("gc"));
  Ref callbacks = gc ? Ref::steal(PyObject_GetAttrString(gc.get(), "callbacks")) : Ref();
  Ref fn = callbacks ? Ref::steal(PyCFunction_New(&def, nullptr)) : Ref();
  if (fn && PyList_Check(callbacks.get())) (void)PyList_Append(callbacks.get(), fn.get());
  PyErr_Clear();
}

void Kept::keep_built(rt::KeptGeometry built) {
  let_go();
  geometry_ = std::move(built);
  next_ = g_built;
  if (g_built) g_built->prev_ = this;
  g_built = this;
  linked_ = true;
}

void Kept::unlink() {
  if (!linked_) return;
  if (prev_)
    prev_->next_ = next_;
  else
    g_built = next_;
  if (next_) next_->prev_ = prev_;
  prev_ = next_ = nullptr;
  linked_ = false;
}

void Kept::let_go_of_built() {
  // Releasing runs no Python code, so the list cannot change meanwhile.
  while (g_built) g_built->let_go();
}

bool reads_back_exactly(const rt::GeometryOwned& g, rt::GeometryType kind) {
  if (kind != rt::GeometryType::Polyline && kind != rt::GeometryType::Polygon) return true;
  if (g.has_curves()) return false;
  if (kind == rt::GeometryType::Polyline) return true;
  rt::Borrowed<rt::Polygon> polygon(g.raw());
  rt::ImmutablePartIntoIter parts = polygon->parts().into_iter();
  while (std::optional<rt::ImmutablePart> part = parts.next())
    if (part->point_count() < 3) return false;
  return true;
}

}  // namespace ostrel::py::geometry_state
