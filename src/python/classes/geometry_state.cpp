#include "python/classes/geometry_state.hpp"

#include <cmath>

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

Flags read_back_flags(const rt::GeometryOwned& g, rt::GeometryType kind) {
  // The read-back takes each flag from the same getters: a point's or an
  // envelope's z and m are present exactly when it has them, and a polyline
  // or polygon gets one model part per runtime part.
  switch (kind) {
    case rt::GeometryType::Point: {
      rt::Borrowed<rt::Point> p(g.raw());
      return {p->z().has_value(), p->m().has_value(), std::isnan(p->x())};
    }
    case rt::GeometryType::Envelope: {
      rt::Borrowed<rt::Envelope> e(g.raw());
      return {e->z_min().has_value(), e->m_min().has_value(), std::isnan(e->x_min())};
    }
    case rt::GeometryType::Multipoint: {
      rt::Borrowed<rt::Multipoint> mp(g.raw());
      return {g.has_z(), g.has_m(), mp->points().size() == 0};
    }
    case rt::GeometryType::Polyline: {
      rt::Borrowed<rt::Polyline> polyline(g.raw());
      return {g.has_z(), g.has_m(), polyline->parts().size() == 0};
    }
    default: {
      rt::Borrowed<rt::Polygon> polygon(g.raw());
      return {g.has_z(), g.has_m(), polygon->parts().size() == 0};
    }
  }
}

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
  if (kind == rt::GeometryType::Point || kind == rt::GeometryType::Envelope) return true;
  // A builder takes z and m from the vertices it is given, so a geometry
  // with z or m but no vertex is built again without them.
  const bool flagged = g.has_z() || g.has_m();
  if (kind == rt::GeometryType::Multipoint) {
    if (!flagged) return true;
    rt::Borrowed<rt::Multipoint> multipoint(g.raw());
    return multipoint->points().size() > 0;
  }
  if (g.has_curves()) return false;
  bool any_vertex = false;
  rt::ImmutablePartIntoIter parts = kind == rt::GeometryType::Polyline
                                        ? rt::Borrowed<rt::Polyline>(g.raw())->parts().into_iter()
                                        : rt::Borrowed<rt::Polygon>(g.raw())->parts().into_iter();
  while (std::optional<rt::ImmutablePart> part = parts.next()) {
    const int64_t n = part->point_count();
    any_vertex = any_vertex || n > 0;
    if (kind == rt::GeometryType::Polyline) {
      if (any_vertex) break;
      continue;
    }
    if (n < 3) return false;
    // Rings are kept open; one whose last vertex still repeats the first
    // loses that vertex too when its model is built again.
    rt::Point first = part->get_point(0);
    rt::Point last = part->get_point(n - 1);
    if (first.x() == last.x() && first.y() == last.y()) return false;
  }
  return any_vertex || !flagged;
}

}  // namespace ostrel::py::geometry_state
