#include "python/projection/projection.hpp"

#include "binding/environment.hpp"
#include "binding/transformation_catalog.hpp"
#include "model/spatial_reference.hpp"
#include "python/classes/envelope.hpp"
#include "python/classes/geometry.hpp"
#include "python/classes/spatial_reference.hpp"
#include "python/pyapi/args.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py {

namespace {

constexpr const char* kModule = "ostrel_geometry.projection";

using Owned = rt::DatumTransformationOwned;

Ref spatial_reference_or_none(std::optional<rt::SpatialReference> sr) {
  if (!sr) return none();
  return SpatialReference::new_object(model::sr_convert(std::move(*sr)));
}

// ---- DatumTransformation members ----

Ref name_of(PyObject* self) { return to_py(DatumTransformation::inner(self).name()); }

PyObject* str_slot(PyObject* self) {
  return trampoline([&] { return name_of(self); });
}

Ref object_type_of(PyObject* self) {
  switch (DatumTransformation::inner(self).object_type()) {
    case rt::DatumTransformationType::Geographic:
      return to_py(std::string("Geographic"));
    case rt::DatumTransformationType::HorizontalVertical:
      return to_py(std::string("HorizontalVertical"));
  }
  fatal("Internal error: Unexpected failure to transform return value");
}

Ref input_sr_of(PyObject* self) {
  return spatial_reference_or_none(DatumTransformation::inner(self).input_spatial_reference());
}

Ref output_sr_of(PyObject* self) {
  return spatial_reference_or_none(DatumTransformation::inner(self).output_spatial_reference());
}

Ref get_inverse(PyObject* self) { return DatumTransformation::wrap(DatumTransformation::inner(self).get_inverse()); }

Ref is_missing_files(PyObject* self) {
  return to_py(DatumTransformation::inner(self).is_missing_projection_engine_files());
}

PyMethodDef transformation_methods[] = {
    noargs_def<get_inverse>("get_inverse",
                            "get_inverse($self)\n--\n\n"
                            "Return the transformation that runs the other way, from this transformation's "
                            "output spatial reference to its input."),
    noargs_def<is_missing_files>(
        "is_missing_projection_engine_files",
        "is_missing_projection_engine_files($self)\n--\n\n"
        "Return True when data files that the projection engine needs for this transformation are missing."),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef transformation_getset[] = {
    {"name", &getter_entry<name_of>, nullptr, "The name of the transformation.", nullptr},
    {"object_type", &getter_entry<object_type_of>, nullptr,
     "The kind of the transformation: either \"Geographic\" or \"HorizontalVertical\".", nullptr},
    {"input_spatial_reference", &getter_entry<input_sr_of>, nullptr,
     "The spatial reference the transformation starts from, as a new SpatialReference, or None.", nullptr},
    {"output_spatial_reference", &getter_entry<output_sr_of>, nullptr,
     "The spatial reference the transformation leads to, as a new SpatialReference, or None.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyTypeObject* build_datum_transformation_type() {
  static PyType_Slot slots[] = {
      {Py_tp_dealloc, (void*)&boxed_dealloc<Owned>},
      {Py_tp_new, (void*)&no_constructor_new},
      {Py_tp_str, (void*)&str_slot},
      {Py_tp_repr, (void*)&str_slot},
      {Py_tp_methods, transformation_methods},
      {Py_tp_getset, transformation_getset},
      {0, nullptr},
  };
  static PyType_Spec spec = {"ostrel_geometry.projection.DatumTransformation", sizeof(Boxed<Owned>), 0,
                             Py_TPFLAGS_DEFAULT, slots};
  return build_type(&spec);
}

// ---- module functions ----

Ref get_transformations(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [input, output, area, ignore] = match<4>(
      {"get_transformations()",
       {"input_spatial_reference", "output_spatial_reference", "area_of_interest", "ignore_vertical"},
       2},
      args, nargs, kwnames);
  bool ignore_vertical = ignore ? arg_bool(ignore, "ignore_vertical") : false;
  rt::SpatialReference in_sr = SpatialReference::geom_sr_from_py(input);
  rt::SpatialReference out_sr = SpatialReference::geom_sr_from_py(output);
  std::optional<rt::Envelope> aoi;
  if (area && area != Py_None) aoi = Envelope::get_geom(Envelope::from_py(area));
  std::vector<Owned> found =
      rt::transformation_catalog::get_transformations_by_suitability_with_area_of_interest_and_ignore_vertical(
          in_sr, out_sr, aoi ? &*aoi : nullptr, ignore_vertical);
  Ref list = check(PyList_New((Py_ssize_t)found.size()));
  for (size_t i = 0; i < found.size(); ++i) {
    PyList_SET_ITEM(list.get(), (Py_ssize_t)i, DatumTransformation::wrap(std::move(found[i])).release());
  }
  return list;
}

Ref project_collection(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [geometries, sr] =
      match<2>({"project_collection()", {"geometries", "spatial_reference"}, 2}, args, nargs, kwnames);
  rt::SpatialReference target = SpatialReference::geom_sr_from_py(sr);
  return Geometry::iterable_geos_to_py(Geometry::iterable_op_geom(geometries, target));
}

Ref project_collection_with_transformation(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [geometries, sr, transformation] =
      match<3>({"project_collection_with_transformation()",
                {"geometries", "spatial_reference", "datum_transformation"},
                3},
               args, nargs, kwnames);
  expect_instance(transformation, DatumTransformation::type(), "DatumTransformation", "datum_transformation");
  rt::SpatialReference target = SpatialReference::geom_sr_from_py(sr);
  return Geometry::iterable_geos_to_py(
      Geometry::iterable_op_geom(geometries, target, DatumTransformation::inner(transformation)));
}

Ref get_projection_engine_dir(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  match<0>({"get_projection_engine_dir()", {}, 0}, args, nargs, kwnames);
  std::optional<std::string> dir = rt::transformation_catalog::projection_engine_directory();
  if (!dir || dir->empty()) return none();
  return check(PyUnicode_DecodeUTF8(dir->data(), (Py_ssize_t)dir->size(), "replace"));
}

Ref set_projection_engine_dir(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  auto [value] = match<1>({"set_projection_engine_dir()", {"value"}, 1}, args, nargs, kwnames);
  std::optional<std::string> dir = arg_or_none(value, "value", arg_str);
  rt::environment::init();
  rt::transformation_catalog::set_projection_engine_directory(dir ? std::optional<std::string_view>(*dir)
                                                                  : std::nullopt);
  return none();
}

Registrar reg_class(kModule, "DatumTransformation", &DatumTransformation::type);
Registrar reg_get_transformations(
    kModule,
    fastcall_def<get_transformations>(
        "get_transformations",
        "get_transformations(input_spatial_reference, output_spatial_reference, area_of_interest=None, "
        "ignore_vertical=False)\n--\n\n"
        "Return the datum transformations between two spatial references, ordered by\n"
        "suitability, the most suitable first.\n\n"
        "The list is empty when no transformation is needed. Without an area of\n"
        "interest the whole world is considered; `ignore_vertical` leaves vertical\n"
        "steps out of the transformations."));
Registrar reg_project_collection(
    kModule, fastcall_def<project_collection>("project_collection",
                                              "project_collection(geometries, spatial_reference)\n--\n\n"
                                              "Project every geometry of the collection into the spatial "
                                              "reference and return the projected geometries as a list."));
Registrar reg_project_collection_with_transformation(
    kModule, fastcall_def<project_collection_with_transformation>(
                 "project_collection_with_transformation",
                 "project_collection_with_transformation(geometries, spatial_reference, datum_transformation)"
                 "\n--\n\n"
                 "Project every geometry of the collection into the spatial reference through the datum "
                 "transformation and return the projected geometries as a list."));
Registrar reg_get_dir(kModule,
                      fastcall_def<get_projection_engine_dir>(
                          "get_projection_engine_dir",
                          "get_projection_engine_dir()\n--\n\n"
                          "Return the folder in which the projection engine looks for its data files, or None. "
                          "Set it once, at process start-up."));
Registrar reg_set_dir(kModule, fastcall_def<set_projection_engine_dir>(
                                   "set_projection_engine_dir",
                                   "set_projection_engine_dir(value)\n--\n\n"
                                   "Set the folder in which the projection engine looks for its data files; "
                                   "None sets no folder."));

}  // namespace

PyTypeObject* DatumTransformation::type() {
  static PyTypeObject* type = build_datum_transformation_type();
  return type;
}

Ref DatumTransformation::wrap(rt::DatumTransformationOwned transformation) {
  return make_boxed<Owned>(type(), std::move(transformation));
}

const rt::DatumTransformationOwned& DatumTransformation::inner(PyObject* obj) { return unbox<Owned>(obj); }

}  // namespace ostrel::py
