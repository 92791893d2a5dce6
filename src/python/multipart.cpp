#include "python/multipart.hpp"

#include "python/collection_view.hpp"
#include "python/part.hpp"

namespace ostrel::py {

namespace {

struct Traits {
  using Part = model::ZorvPart;
  static constexpr const char* kAppend = "Multipart.append()";
  static constexpr const char* kInsert = "Multipart.insert()";
  static constexpr const char* kRemove = "Multipart.remove()";
  static PyTypeObject* view_type() { return Multipart::type(); }
  static Ref wrap_part(Multipart::PartCell cell) { return py::Part::wrap(std::move(cell)); }
  static Multipart::PartCell part_from_py(PyObject* v, bool z, bool m) { return py::Part::from_py(v, z, m); }
  static Multipart::PartCell part_from_list(PyObject* v, bool z, bool m) { return py::Part::from_list(v, z, m); }
};

using View = collection_view::View<Traits>;
using CollCell = Multipart::CollCell;

PyMethodDef methods[] = {
    {"append", OSTREL_METH_FASTCALL(View::append), METH_FASTCALL | METH_KEYWORDS, "append($self, value)\n--\n\n"},
    {"insert", OSTREL_METH_FASTCALL(View::insert), METH_FASTCALL | METH_KEYWORDS,
     "insert($self, index, value)\n--\n\n"},
    {"remove", OSTREL_METH_FASTCALL(View::remove), METH_FASTCALL | METH_KEYWORDS, "remove($self, index)\n--\n\n"},
    {"pop", OSTREL_NOARGS(View::pop), METH_NOARGS, "pop($self)\n--\n\n"},
    {"clear", OSTREL_NOARGS(View::clear), METH_NOARGS, "clear($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

// ---- iterator: reads the live list by position at every step ----

struct IterState {
  CollCell cell;
  uint64_t position = 0;
};

PyObject* iter_self(PyObject* self) { return Py_NewRef(self); }

PyObject* iter_next(PyObject* self) {
  return trampoline([&]() -> Ref {
    IterState& it = unbox<IterState>(self);
    std::optional<Multipart::PartCell> part;
    {
      auto g = it.cell.lock_or_fatal("Lock poisoned");
      if (it.position < g->lines.size()) part = g->lines[it.position];
    }
    if (!part) return Ref();  // the end, without an exception
    ++it.position;
    return py::Part::wrap(std::move(*part));
  });
}

PyTypeObject* iterator_type() {
  static PyTypeObject* t = [] {
    static PyType_Slot slots[] = {
        {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
        {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<IterState>)},
        {Py_tp_iter, reinterpret_cast<void*>(iter_self)},
        {Py_tp_iternext, reinterpret_cast<void*>(iter_next)},
        {0, nullptr},
    };
    static PyType_Spec spec = {"ostrel_geometry.MultipartIterator", sizeof(Boxed<IterState>), 0,
                               Py_TPFLAGS_DEFAULT, slots};
    return build_type(&spec);
  }();
  return t;
}

PyObject* view_iter(PyObject* self) {
  return trampoline([&] { return make_boxed<IterState>(iterator_type(), IterState{View::cell_of(self), 0}); });
}

PyTypeObject* build() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<CollCell>)},
      {Py_tp_methods, methods},
      {Py_tp_str, reinterpret_cast<void*>(View::str)},
      {Py_tp_repr, reinterpret_cast<void*>(View::str)},
      {Py_tp_iter, reinterpret_cast<void*>(view_iter)},
      {Py_mp_subscript, reinterpret_cast<void*>(View::subscript)},
      {Py_mp_ass_subscript, reinterpret_cast<void*>(View::ass_subscript)},
      {Py_sq_item, reinterpret_cast<void*>(View::sq_item)},
      {Py_sq_ass_item, reinterpret_cast<void*>(View::sq_ass_item)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.Multipart", sizeof(Boxed<CollCell>), 0, Py_TPFLAGS_DEFAULT, slots};
  return build_type(&spec);
}

Registrar reg("ostrel_geometry", "Multipart", &Multipart::type);

}  // namespace

PyTypeObject* Multipart::type() {
  static PyTypeObject* t = build();
  return t;
}

Ref Multipart::wrap(CollCell cell) { return make_boxed<CollCell>(type(), std::move(cell)); }

Multipart::CollCell Multipart::from_py(PyObject* value, bool has_z, bool has_m) {
  return View::from_py(value, has_z, has_m);
}

std::vector<Multipart::PartCell> Multipart::input_vec_from_list(PyObject* list, bool has_z, bool has_m) {
  return View::input_vec_from_list(list, has_z, has_m);
}

}  // namespace ostrel::py
