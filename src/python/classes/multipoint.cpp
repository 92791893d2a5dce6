#include "python/classes/multipoint.hpp"

#include "python/classes/geometry.hpp"
#include "python/classes/geometry_class.hpp"
#include "python/classes/part.hpp"

namespace ostrel::py {

namespace {

using model::ZorvGeometryMultipoint;
namespace gc = geometry_class;

PyObject* multipoint_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return gc::construct<ZorvGeometryMultipoint>(type, args, kwargs, "O:MultiPoint", "multipoint", MultiPoint::type(),
                                               &MultiPoint::from_dict,
                                               "MultiPoint from_py expects a MultiPoint or dict");
}

PyGetSetDef multipoint_getset[] = {
    {"points", gc::get_parts<ZorvGeometryMultipoint, &ZorvGeometryMultipoint::points, Part>,
     gc::set_parts<ZorvGeometryMultipoint, Part, &ZorvGeometryMultipoint::set_points>, nullptr, nullptr},
    gc::flag_field<ZorvGeometryMultipoint>("has_z", gc::kHasZ),
    gc::flag_field<ZorvGeometryMultipoint>("has_m", gc::kHasM),
    gc::flag_field<ZorvGeometryMultipoint>("is_empty", gc::kIsEmpty),
    gc::spatial_reference_field<ZorvGeometryMultipoint>(),
    gc::json_field<ZorvGeometryMultipoint>(),
    gc::none_field("ids"),
    gc::geometry_type_field("MultiPoint"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef multipoint_methods[] = {
    gc::qxc_geo_method<ZorvGeometryMultipoint>(),
    {nullptr, nullptr, 0, nullptr},
};

Registrar reg("ostrel_geometry", "MultiPoint", &MultiPoint::type);

}  // namespace

PyTypeObject* MultiPoint::type() {
  static PyTypeObject* t = gc::build_type_of<ZorvGeometryMultipoint>({"ostrel_geometry.MultiPoint",
                                                                     "MultiPoint(multipoint)\n--\n\n", multipoint_new,
                                                                     multipoint_getset, multipoint_methods});
  return t;
}

MultiPoint::CellT MultiPoint::from_dict(PyObject* dict) {
  PyObject* points = common::dict_get(dict, "points");
  if (!points) {
    throw model::ZorvGeoErr(model::ZorvGeoErr::Kind::ResolutionError, "Did not find points in multipoint dict");
  }
  Ref keep = Ref::borrow(common::expect_list(points));
  auto [has_z, has_m] = common::nested_geom_dict_dims(dict);
  model::Cell<model::ZorvPart> part = Part::from_list(keep.get(), has_z, has_m);
  std::optional<model::SpatialReference> sr = common::dict_sr(dict);
  return CellT(ZorvGeometryMultipoint(std::move(part), std::move(sr)));
}

template struct GeometryClassMembers<MultiPoint, model::ZorvGeometryMultipoint, rt::Multipoint>;

}  // namespace ostrel::py
