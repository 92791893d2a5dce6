// Members that the classes Polyline and Polygon share over their model
// (a MultipartGeometry): the live views of their parts and the reading of
// their dicts, whose keys come from the model's kind.
#pragma once

#include <optional>
#include <vector>

#include "python/classes/geometry_class.hpp"
#include "python/classes/multipart.hpp"

namespace ostrel::py::multipart_class {

// The property `name` for the linear parts (a Multipart view).
template <class M>
PyGetSetDef linear_parts_field(const char* name) {
  return {name, geometry_class::get_parts<M, &M::linear_parts, Multipart>,
          geometry_class::set_parts<M, Multipart, &M::set_linear_parts>, nullptr, nullptr};
}

// A view of the curve parts.  A geometry that has none makes its empty
// collection only now, under its write lock: the collection is watched from
// then on by what is built from the geometry.
template <class M>
PyObject* get_curve_parts(PyObject* self, void*) {
  return trampoline([&] {
    auto parts = [&] {
      {
        auto g = geometry_class::cell_of<M>(self).read();
        if (const auto* curves = g->curve_parts()) return *curves;
      }
      auto g = geometry_class::cell_of<M>(self).lock();
      return g->made_curve_parts();
    }();
    return CurveMultipart::wrap(std::move(parts));
  });
}

// The property `name` for the curve parts (a CurveMultipart view).
template <class M>
PyGetSetDef curve_parts_field(const char* name) {
  return {name, get_curve_parts<M>,
          geometry_class::set_parts<M, CurveMultipart, &M::set_curve_parts>, nullptr, nullptr};
}

// The flags, the linear parts, the curve parts and the spatial reference are
// read in that order; then the parts enter the new geometry by its kind's
// rules.
template <class M>
model::Cell<M> from_dict(PyObject* dict) {
  auto [has_z, has_m] = common::nested_geom_dict_dims(dict);
  std::vector<Multipart::PartCell> linear;
  if (PyObject* v = common::dict_get(dict, M::kTexts.linear_key)) {
    Ref keep = Ref::borrow(common::expect_list(v));
    linear = Multipart::input_vec_from_list(keep.get(), has_z, has_m);
  }
  std::vector<CurveMultipart::PartCell> curves;
  if (PyObject* v = common::dict_get(dict, M::kTexts.curve_key)) {
    Ref keep = Ref::borrow(common::expect_list(v));
    curves = CurveMultipart::input_vec_from_list(keep.get(), has_z, has_m);
  }
  std::optional<model::SpatialReference> sr = common::dict_sr(dict);
  return model::Cell<M>(M::try_new_with_curves(has_z, has_m, std::move(linear), std::move(curves), std::move(sr)));
}

}  // namespace ostrel::py::multipart_class
