#include "python/classes/collection_view.hpp"
#include "python/classes/curvepart.hpp"
#include "python/classes/multipart.hpp"

namespace ostrel::py {

namespace {

struct Traits {
  using Part = model::ZorvCurvePart;
  static constexpr const char* kTypeName = "ostrel_geometry.CurveMultipart";
  // No iterator of its own: Python walks it through the sequence item slot
  // until the first IndexError.
  static constexpr const char* kIteratorName = nullptr;
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

Registrar reg("ostrel_geometry", "CurveMultipart", &CurveMultipart::type);

}  // namespace

struct CurveMultipart::View : collection_view::View<Traits> {};

std::vector<CurveMultipart::PartCell> CurveMultipart::input_vec_from_list(PyObject* list, bool has_z, bool has_m) {
  return View::input_vec_from_list(list, has_z, has_m);
}

template struct ViewClassMembers<CurveMultipart, model::CurvePartCollection>;

}  // namespace ostrel::py
