#include "python/collection_view.hpp"
#include "python/curvepart.hpp"
#include "python/multipart.hpp"

namespace ostrel::py {

namespace {

struct Traits {
  using Part = model::ZorvCurvePart;
  static constexpr const char* kAppend = "CurveMultipart.append()";
  static constexpr const char* kInsert = "CurveMultipart.insert()";
  static constexpr const char* kRemove = "CurveMultipart.remove()";
  static PyTypeObject* view_type() { return CurveMultipart::type(); }
  static Ref wrap_part(CurveMultipart::PartCell cell) { return CurvePart::wrap(std::move(cell)); }
  static CurveMultipart::PartCell part_from_py(PyObject* v, bool z, bool m) { return CurvePart::from_py(v, z, m); }
  static CurveMultipart::PartCell part_from_list(PyObject* v, bool z, bool m) {
    return CurvePart::from_list(v, z, m);
  }
};

using View = collection_view::View<Traits>;
using CollCell = CurveMultipart::CollCell;

PyMethodDef methods[] = {
    {"append", OSTREL_METH_FASTCALL(View::append), METH_FASTCALL | METH_KEYWORDS, "append($self, value)\n--\n\n"},
    {"insert", OSTREL_METH_FASTCALL(View::insert), METH_FASTCALL | METH_KEYWORDS,
     "insert($self, index, value)\n--\n\n"},
    {"remove", OSTREL_METH_FASTCALL(View::remove), METH_FASTCALL | METH_KEYWORDS, "remove($self, index)\n--\n\n"},
    {"pop", OSTREL_NOARGS(View::pop), METH_NOARGS, "pop($self)\n--\n\n"},
    {"clear", OSTREL_NOARGS(View::clear), METH_NOARGS, "clear($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

// No iterator of its own: Python walks it through the sequence item slot
// until the first IndexError.
PyTypeObject* build() {
  static PyType_Slot slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(no_constructor_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(boxed_dealloc<CollCell>)},
      {Py_tp_methods, methods},
      {Py_tp_str, reinterpret_cast<void*>(View::str)},
      {Py_tp_repr, reinterpret_cast<void*>(View::str)},
      {Py_mp_subscript, reinterpret_cast<void*>(View::subscript)},
      {Py_mp_ass_subscript, reinterpret_cast<void*>(View::ass_subscript)},
      {Py_sq_item, reinterpret_cast<void*>(View::sq_item)},
      {Py_sq_ass_item, reinterpret_cast<void*>(View::sq_ass_item)},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.CurveMultipart", sizeof(Boxed<CollCell>), 0, Py_TPFLAGS_DEFAULT,
                             slots};
  return build_type(&spec);
}

Registrar reg("ostrel_geometry", "CurveMultipart", &CurveMultipart::type);

}  // namespace

PyTypeObject* CurveMultipart::type() {
  static PyTypeObject* t = build();
  return t;
}

Ref CurveMultipart::wrap(CollCell cell) { return make_boxed<CollCell>(type(), std::move(cell)); }

CurveMultipart::CollCell CurveMultipart::from_py(PyObject* value, bool has_z, bool has_m) {
  return View::from_py(value, has_z, has_m);
}

std::vector<CurveMultipart::PartCell> CurveMultipart::input_vec_from_list(PyObject* list, bool has_z, bool has_m) {
  return View::input_vec_from_list(list, has_z, has_m);
}

}  // namespace ostrel::py
