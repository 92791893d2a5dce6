#include "python/classes/multipart.hpp"

#include "python/classes/collection_view.hpp"
#include "python/classes/part.hpp"

namespace ostrel::py {

namespace {

struct Traits {
  using Part = model::ZorvPart;
  static constexpr const char* kTypeName = "ostrel_geometry.Multipart";
  // Reads the live list by position at every step.
  static constexpr const char* kIteratorName = "ostrel_geometry.MultipartIterator";
  static constexpr const char* kAppend = "Multipart.append()";
  static constexpr const char* kInsert = "Multipart.insert()";
  static constexpr const char* kRemove = "Multipart.remove()";
  static PyTypeObject* view_type() { return Multipart::type(); }
  static Ref wrap_part(Multipart::PartCell cell) { return py::Part::wrap(std::move(cell)); }
  static Multipart::PartCell part_from_py(PyObject* v, bool z, bool m) { return py::Part::from_py(v, z, m); }
  static Multipart::PartCell part_from_list(PyObject* v, bool z, bool m) { return py::Part::from_list(v, z, m); }
};

Registrar reg("ostrel_geometry", "Multipart", &Multipart::type);

}  // namespace

struct Multipart::View : collection_view::View<Traits> {};

std::vector<Multipart::PartCell> Multipart::input_vec_from_list(PyObject* list, bool has_z, bool has_m) {
  return View::input_vec_from_list(list, has_z, has_m);
}

template struct ViewClassMembers<Multipart, model::PartCollection>;

}  // namespace ostrel::py
