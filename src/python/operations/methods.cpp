// The operation methods and properties of Geometry: overlay, relations,
// measurement, transformations, Z/M editing and projection of one geometry.
//
// Each one leases the runtime geometries its receiver and operands keep (built
// from their models at first need), makes one engine call and gives the
// leases back before the result is turned into Python objects.
#include <optional>
#include <string>

#include "binding/geometry_engine.hpp"
#include "python/classes/geometry.hpp"
#include "python/operations/support.hpp"
#include "python/pyapi/trampoline.hpp"

namespace ostrel::py::ops {

namespace eng = rt::geometry_engine;

namespace {

using Args = PyObject* const*;

// ---- shapes shared by many methods ----

// Receiver and one geometry operand: the operand is released first, then the
// receiver, before the caller shapes the result.
template <class Op>
auto with_pair(PyObject* self, PyObject* other, Op op) {
  auto a = Geometry::geom_from_pyobj(self);
  auto b = Geometry::geom_from_pyobj(other);
  return op(a, b);
}

template <class Op>
auto with_self(PyObject* self, Op op) {
  auto g = Geometry::geom_from_pyobj(self);
  return op(g);
}

template <class Op>
Ref pair_to_geometry(PyObject* self, PyObject* other, Op op) {
  rt::GeometryOwned r = with_pair(self, other, op);
  return geometry_to_py(std::move(r));
}

template <class Op>
Ref pair_to_bool(PyObject* self, PyObject* other, Op op) {
  return to_py(static_cast<bool>(with_pair(self, other, op)));
}

template <class Op>
Ref self_to_geometry(PyObject* self, Op op) {
  rt::GeometryOwned r = with_self(self, op);
  return geometry_to_py(std::move(r));
}

// A required enumeration argument (None refused).
int32_t required_curve_type(PyObject* obj, const char* arg) {
  return (int32_t)convert_arg(arg, [&] { return curve_type_value(obj); });
}
int32_t required_linear_unit(PyObject* obj, const char* arg) {
  return convert_arg(arg, [&] { return linear_unit_id_value(obj); });
}

// ---- overlay and topology ----

const Signature kUnion{"Geometry.union()", {"rhs"}, 1};
Ref union_(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [rhs] = match<1>(kUnion, args, nargs, kw);
  geometry_arg(rhs, "rhs");
  return pair_to_geometry(self, rhs, [](auto& a, auto& b) { return eng::union_(a, b); });
}

const Signature kIntersect{"Geometry.intersect()", {"other"}, 1};
Ref intersect(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [other] = match<1>(kIntersect, args, nargs, kw);
  geometry_arg(other, "other");
  return pair_to_geometry(self, other, [](auto& a, auto& b) { return eng::intersection(a, b); });
}

const Signature kIntersections{"Geometry.intersections()", {"other"}, 1};
Ref intersections(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [other] = match<1>(kIntersections, args, nargs, kw);
  geometry_arg(other, "other");
  auto pieces = with_pair(self, other, [](auto& a, auto& b) { return eng::intersections(a, b); });
  return geometries_to_py(std::move(pieces));
}

const Signature kDifference{"Geometry.difference()", {"other"}, 1};
Ref difference(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [other] = match<1>(kDifference, args, nargs, kw);
  geometry_arg(other, "other");
  return pair_to_geometry(self, other, [](auto& a, auto& b) { return eng::difference(a, b); });
}

const Signature kSymDifference{"Geometry.symmetric_difference()", {"rhs"}, 1};
Ref symmetric_difference(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [rhs] = match<1>(kSymDifference, args, nargs, kw);
  geometry_arg(rhs, "rhs");
  return pair_to_geometry(self, rhs, [](auto& a, auto& b) { return eng::symmetric_difference(a, b); });
}

const Signature kClip{"Geometry.clip()", {"env"}, 1};
Ref clip(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [env] = match<1>(kClip, args, nargs, kw);
  expect_instance(env, envelope_type(), "Envelope", "env");
  rt::GeometryOwned r = [&] {
    auto g = Geometry::geom_from_pyobj(self);
    auto e = envelope_geom(env);
    return eng::clip(g, e);
  }();
  return geometry_to_py(std::move(r));
}

const Signature kCut{"Geometry.cut()", {"cutter"}, 1};
Ref cut(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [cutter] = match<1>(kCut, args, nargs, kw);
  expect_instance(cutter, polyline_type(), "Polyline", "cutter");
  auto pieces = [&] {
    auto g = Geometry::geom_from_pyobj(self);
    auto c = polyline_geom(cutter);
    return eng::cut(g, c);
  }();
  return geometries_to_py(std::move(pieces));
}

const Signature kCombineExtents{"Geometry.combine_extents()", {"other"}, 1};
Ref combine_extents(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [other] = match<1>(kCombineExtents, args, nargs, kw);
  geometry_arg(other, "other");
  rt::Envelope e = with_pair(self, other, [](auto& a, auto& b) { return eng::combine_extents(a, b); });
  return envelope_to_py(std::move(e));
}

Ref boundary(PyObject* self) {
  return self_to_geometry(self, [](auto& g) { return eng::boundary(g); });
}
Ref convex_hull(PyObject* self) {
  return self_to_geometry(self, [](auto& g) { return eng::convex_hull(g); });
}
Ref simplify(PyObject* self) {
  return self_to_geometry(self, [](auto& g) { return eng::simplify(g); });
}
Ref is_simple(PyObject* self) {
  return to_py(with_self(self, [](auto& g) { return eng::is_simple(g); }));
}
Ref normalize_central_meridian(PyObject* self) {
  std::optional<rt::GeometryOwned> r =
      with_self(self, [](auto& g) { return eng::normalize_central_meridian(g); });
  if (!r) return none();
  return geometry_to_py(std::move(*r));
}
Ref has_curves(PyObject* self) {
  return to_py(with_self(self, [](auto& g) { return g->has_curves(); }));
}

// ---- relations and distance ----

#define OSTREL_RELATION(fn, param)                                                      \
  const Signature k_##fn{"Geometry." #fn "()", {#param}, 1};                            \
  Ref fn(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {                   \
    auto [operand] = match<1>(k_##fn, args, nargs, kw);                                 \
    geometry_arg(operand, #param);                                                      \
    return pair_to_bool(self, operand, [](auto& a, auto& b) { return eng::fn(a, b); }); \
  }

OSTREL_RELATION(equals, other)
OSTREL_RELATION(contains, other)
OSTREL_RELATION(within, rhs)
OSTREL_RELATION(crosses, rhs)
OSTREL_RELATION(touches, rhs)
OSTREL_RELATION(overlaps, other)
OSTREL_RELATION(intersects, other)
OSTREL_RELATION(disjoint, other)
#undef OSTREL_RELATION

const Signature kRelate{"Geometry.relate()", {"other", "relation"}, 2};
Ref relate(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [other, relation] = match<2>(kRelate, args, nargs, kw);
  geometry_arg(other, "other");
  std::string text = arg_str(relation, "relation");
  // The pattern crosses to the runtime as a C string; a NUL inside it is the
  // caller's mistake, not a broken invariant.
  if (text.find('\0') != std::string::npos) raise(PyExc_ValueError, "relation contains an embedded null character");
  return pair_to_bool(self, other, [&](auto& a, auto& b) { return eng::relate(a, b, text); });
}

const Signature kDistanceTo{"Geometry.distance_to()", {"other"}, 1};
Ref distance_to(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [other] = match<1>(kDistanceTo, args, nargs, kw);
  geometry_arg(other, "other");
  return to_py(with_pair(self, other, [](auto& a, auto& b) { return eng::distance(a, b); }));
}

// ---- buffer and densify, planar and geodetic ----

Ref buffer_planar(PyObject* self, double distance) {
  rt::Polygon p = with_self(self, [&](auto& g) { return eng::buffer(g, distance); });
  return polygon_to_py(std::move(p));
}

Ref buffer_geodetic(PyObject* self, double distance, std::optional<int32_t> unit, double max_deviation,
                    int32_t curve_type) {
  std::optional<rt::LinearUnit> lu;
  if (unit) lu.emplace(new_linear_unit(*unit));
  rt::Polygon p = with_self(self, [&](auto& g) {
    return eng::buffer_geodetic(g, distance, lu ? &*lu : nullptr, max_deviation, curve_type);
  });
  return polygon_to_py(std::move(p));
}

const Signature kBuffer{"Geometry.buffer()", {"distance", "unit", "max_deviation", "curve_type"}, 1};
Ref buffer(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [d, u, md, ct] = match<4>(kBuffer, args, nargs, kw);
  double distance = arg_f64(d, "distance");
  std::optional<int32_t> unit = linear_unit_arg(u, "unit");
  std::optional<double> max_deviation;
  if (given(md)) max_deviation = arg_f64(md, "max_deviation");
  std::optional<uint32_t> curve_type = curve_type_arg(ct, "curve_type");

  if (!unit) {
    if (!max_deviation && !curve_type) return buffer_planar(self, distance);
    raise(PyExc_ValueError, "LinearUnitId must be provided for geodetic buffer");
  }
  if (!max_deviation) raise(PyExc_ValueError, "max_deviation must be provided for geodetic buffer");
  if (!curve_type) raise(PyExc_ValueError, "GeodeticCurveType must be provided for geodetic buffer");
  return buffer_geodetic(self, distance, unit, *max_deviation, (int32_t)*curve_type);
}

const Signature kBufferPlanar{"Geometry._buffer()", {"distance"}, 1};
Ref buffer_planar_method(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [d] = match<1>(kBufferPlanar, args, nargs, kw);
  return buffer_planar(self, arg_f64(d, "distance"));
}

const Signature kBufferGeodetic{
    "Geometry._buffer_geodetic()", {"distance", "unit", "max_deviation", "curve_type"}, 4};
Ref buffer_geodetic_method(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [d, u, md, ct] = match<4>(kBufferGeodetic, args, nargs, kw);
  double distance = arg_f64(d, "distance");
  std::optional<int32_t> unit = linear_unit_arg(u, "unit");
  double max_deviation = arg_f64(md, "max_deviation");
  int32_t curve_type = required_curve_type(ct, "curve_type");
  return buffer_geodetic(self, distance, unit, max_deviation, curve_type);
}

Ref densify_planar(PyObject* self, double max_segment_length) {
  return self_to_geometry(self, [&](auto& g) { return eng::densify(g, max_segment_length); });
}

Ref densify_geodetic(PyObject* self, double max_segment_length, int32_t unit, int32_t curve_type) {
  rt::LinearUnit lu = new_linear_unit(unit);
  return self_to_geometry(
      self, [&](auto& g) { return eng::densify_geodetic(g, max_segment_length, &lu, curve_type); });
}

const Signature kDensify{"Geometry.densify()", {"max_segment_length", "unit", "curve_type"}, 1};
Ref densify(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [msl, u, ct] = match<3>(kDensify, args, nargs, kw);
  double max_segment_length = arg_f64(msl, "max_segment_length");
  std::optional<int32_t> unit = linear_unit_arg(u, "unit");
  std::optional<uint32_t> curve_type = curve_type_arg(ct, "curve_type");
  if (!unit && !curve_type) return densify_planar(self, max_segment_length);
  if (!curve_type) raise(PyExc_ValueError, "GeodeticCurveType must be provided for geodetic densify");
  if (!unit) raise(PyExc_ValueError, "LinearUnitId must be provided for geodetic densify");
  return densify_geodetic(self, max_segment_length, *unit, (int32_t)*curve_type);
}

const Signature kDensifyPlanar{"Geometry._densify()", {"max_segment_length"}, 1};
Ref densify_planar_method(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [msl] = match<1>(kDensifyPlanar, args, nargs, kw);
  return densify_planar(self, arg_f64(msl, "max_segment_length"));
}

const Signature kDensifyGeodetic{
    "Geometry._densify_geodetic()", {"max_segment_length", "unit", "curve_type"}, 3};
Ref densify_geodetic_method(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [msl, u, ct] = match<3>(kDensifyGeodetic, args, nargs, kw);
  double max_segment_length = arg_f64(msl, "max_segment_length");
  int32_t unit = required_linear_unit(u, "unit");
  int32_t curve_type = required_curve_type(ct, "curve_type");
  return densify_geodetic(self, max_segment_length, unit, curve_type);
}

// ---- area and length ----

double planar_area(PyObject* self) {
  return with_self(self, [](auto& g) { return eng::area(g); });
}

double geodetic_area(PyObject* self, const rt::AreaUnit* unit, int32_t curve_type) {
  return with_self(self, [&](auto& g) { return eng::area_geodetic(g, unit, curve_type); });
}

const Signature kCalculateArea{"Geometry.calculate_area()", {"curve_type", "unit"}, 0};
Ref calculate_area(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [ct, u] = match<2>(kCalculateArea, args, nargs, kw);
  std::optional<uint32_t> curve_type = curve_type_arg(ct, "curve_type");
  // The unit belongs to this call: a new one for an identifier, a copy of an
  // AreaUnit object's own.
  std::optional<rt::AreaUnit> unit;
  if (given(u)) {
    if (is_area_unit_id(u)) {
      unit.emplace(new_area_unit(area_unit_id_value(u)));
    } else if (is_area_unit(u)) {
      unit.emplace(clone_area_unit(u));
    } else {
      raise(PyExc_TypeError, "Expected an AreaUnit or AreaUnitId argument");
    }
  }
  // A planar area is the engine's number whatever unit was asked for.
  double area =
      curve_type ? geodetic_area(self, unit ? &*unit : nullptr, (int32_t)*curve_type) : planar_area(self);
  return to_py(area);
}

Ref area_planar_method(PyObject* self) { return to_py(planar_area(self)); }

const Signature kAreaGeodetic{"Geometry._area_geodetic()", {"curve_type", "unit"}, 2};
Ref area_geodetic_method(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [ct, u] = match<2>(kAreaGeodetic, args, nargs, kw);
  int32_t curve_type = required_curve_type(ct, "curve_type");
  PyObject* unit = area_unit_object_arg(u, "unit");
  return to_py(geodetic_area(self, unit ? &area_unit_of(unit) : nullptr, curve_type));
}

Ref area_property(PyObject* self) {
  if (!PyObject_TypeCheck(self, polygon_type())) return none();
  return to_py(planar_area(self));
}

const Signature kCalculateLength{"Geometry.calculate_length()", {"curve_type", "unit"}, 0};
Ref calculate_length(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [ct, u] = match<2>(kCalculateLength, args, nargs, kw);
  std::optional<uint32_t> curve_type = curve_type_arg(ct, "curve_type");
  std::optional<int32_t> unit = linear_unit_arg(u, "unit");
  // Unlike the other geodetic forms, the receiver is converted before the
  // unit; the unit still outlives the receiver's runtime geometry, like every
  // unit made for a call.
  std::optional<rt::LinearUnit> lu;
  double length = with_self(self, [&](auto& g) {
    if (!curve_type) return eng::length(g);
    if (unit) lu.emplace(new_linear_unit(*unit));
    return eng::length_geodetic(g, lu ? &*lu : nullptr, (int32_t)*curve_type);
  });
  return to_py(length);
}

Ref length_property(PyObject* self) {
  return to_py(with_self(self, [](auto& g) { return eng::length(g); }));
}

// ---- the extent family ----

rt::Envelope runtime_extent(PyObject* self) {
  return with_self(self, [](auto& g) { return g->extent(); });
}

Ref extent(PyObject* self) {
  rt::Envelope e = runtime_extent(self);
  double xmin = e.x_min(), ymin = e.y_min(), xmax = e.x_max(), ymax = e.y_max();
  {
    rt::Envelope released = std::move(e);
  }
  Ref t = check(PyTuple_New(4));
  PyTuple_SET_ITEM(t.get(), 0, to_py(xmin).release());
  PyTuple_SET_ITEM(t.get(), 1, to_py(ymin).release());
  PyTuple_SET_ITEM(t.get(), 2, to_py(xmax).release());
  PyTuple_SET_ITEM(t.get(), 3, to_py(ymax).release());
  return t;
}

Ref centroid(PyObject* self) {
  auto [x, y] = [&] {
    rt::Envelope e = runtime_extent(self);
    rt::Point c = e.center();
    return std::pair{c.x(), c.y()};
  }();
  Ref t = check(PyTuple_New(2));
  PyTuple_SET_ITEM(t.get(), 0, to_py(x).release());
  PyTuple_SET_ITEM(t.get(), 1, to_py(y).release());
  return t;
}

Ref label_point_property(PyObject* self) {
  rt::Point c = [&] {
    rt::Envelope e = runtime_extent(self);
    return e.center();
  }();
  return point_to_py(std::move(c));
}

Ref envelope_property(PyObject* self) { return envelope_to_py(runtime_extent(self)); }

// ---- transformations and Z/M ----

const Signature kMoveRelative{"Geometry.move_relative()", {"delta_x", "delta_y"}, 2};
Ref move_relative(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [dx, dy] = match<2>(kMoveRelative, args, nargs, kw);
  double delta_x = arg_f64(dx, "delta_x");
  double delta_y = arg_f64(dy, "delta_y");
  return self_to_geometry(self, [&](auto& g) { return eng::move_relative(g, delta_x, delta_y); });
}

const Signature kRotate{"Geometry.rotate()", {"angle", "origin"}, 2};
Ref rotate(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [a, o] = match<2>(kRotate, args, nargs, kw);
  double angle = arg_f64(a, "angle");
  PyObject* origin = origin_arg(o, "origin");
  return self_to_geometry(self, [&](auto& g) {
    if (!origin) return eng::rotate(g, nullptr, angle);
    auto p = point_geom(origin);
    return eng::rotate(g, &p.get(), angle);
  });
}

const Signature kScale{"Geometry.scale()", {"scale_x", "scale_y", "origin"}, 3};
Ref scale(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [sx, sy, o] = match<3>(kScale, args, nargs, kw);
  double scale_x = arg_f64(sx, "scale_x");
  double scale_y = arg_f64(sy, "scale_y");
  PyObject* origin = origin_arg(o, "origin");
  return self_to_geometry(self, [&](auto& g) {
    if (!origin) return eng::scale(g, nullptr, scale_x, scale_y);
    auto p = point_geom(origin);
    return eng::scale(g, &p.get(), scale_x, scale_y);
  });
}

const Signature kGeneralize{"Geometry.generalize()", {"max_offset", "remove_degenerate_parts"}, 1};
Ref generalize(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [mo, rdp] = match<2>(kGeneralize, args, nargs, kw);
  double max_offset = arg_f64(mo, "max_offset");
  bool remove_degenerate_parts = rdp ? arg_bool(rdp, "remove_degenerate_parts") : false;
  return self_to_geometry(self,
                          [&](auto& g) { return eng::generalize(g, max_offset, remove_degenerate_parts); });
}

const Signature kSetM{"Geometry.set_m()", {"m"}, 1};
Ref set_m(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [mv] = match<1>(kSetM, args, nargs, kw);
  double m = arg_f64(mv, "m");
  return self_to_geometry(self, [&](auto& g) { return eng::set_m(g, m); });
}

const Signature kSetZ{"Geometry.set_z()", {"z"}, 1};
Ref set_z(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [zv] = match<1>(kSetZ, args, nargs, kw);
  double z = arg_f64(zv, "z");
  return self_to_geometry(self, [&](auto& g) { return eng::set_z(g, z); });
}

const Signature kSetZAndM{"Geometry.set_z_and_m()", {"z", "m"}, 2};
Ref set_z_and_m(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [zv, mv] = match<2>(kSetZAndM, args, nargs, kw);
  double z = arg_f64(zv, "z");
  double m = arg_f64(mv, "m");
  return self_to_geometry(self, [&](auto& g) { return eng::set_z_and_m(g, z, m); });
}

// The removals' results are asked for their kind before they are handed on.
Ref remove_m(PyObject* self) {
  return self_to_geometry(
      self, [](auto& g) { return std::move(eng::remove_m(g)).template downcast<rt::GeometryOwned>(); });
}
Ref remove_z(PyObject* self) {
  return self_to_geometry(
      self, [](auto& g) { return std::move(eng::remove_z(g)).template downcast<rt::GeometryOwned>(); });
}
Ref remove_z_and_m(PyObject* self) {
  return self_to_geometry(
      self, [](auto& g) { return std::move(eng::remove_z_and_m(g)).template downcast<rt::GeometryOwned>(); });
}

const Signature kProject{"Geometry.project()", {"spatial_reference"}, 1};
Ref project(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [srv] = match<1>(kProject, args, nargs, kw);
  rt::SpatialReference sr = spatial_reference_geom(srv);
  return self_to_geometry(self, [&](auto& g) { return eng::project(g, sr); });
}

const Signature kProjectWithTransformation{
    "Geometry.project_with_transformation()", {"spatial_reference", "transformation"}, 2};
Ref project_with_transformation(PyObject* self, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [srv, tr] = match<2>(kProjectWithTransformation, args, nargs, kw);
  expect_instance(tr, datum_transformation_type(), "DatumTransformation", "transformation");
  rt::SpatialReference sr = spatial_reference_geom(srv);
  const rt::DatumTransformationOwned& transformation = datum_transformation_of(tr);
  return self_to_geometry(self,
                          [&](auto& g) { return eng::project_with_transformation(g, sr, transformation); });
}

// ---- the table ----

#define DOC(sig, text) sig "\n--\n\n" text

const Geometry::Members kMembers{
    {
        fastcall_def<&union_>("union", DOC("union($self, rhs)", "The union of this geometry and `rhs`.")),
        fastcall_def<&intersect>(
            "intersect", DOC("intersect($self, other)", "The intersection of this geometry and `other`.")),
        fastcall_def<&intersections>(
            "intersections",
            DOC("intersections($self, other)", "The intersections of this geometry and `other`, as a list.")),
        fastcall_def<&difference>(
            "difference", DOC("difference($self, other)", "What of this geometry does not lie in `other`.")),
        fastcall_def<&symmetric_difference>(
            "symmetric_difference",
            DOC("symmetric_difference($self, rhs)", "What lies in exactly one of this geometry and `rhs`.")),
        fastcall_def<&clip>("clip", DOC("clip($self, env)", "This geometry clipped by the envelope `env`.")),
        fastcall_def<&cut>(
            "cut", DOC("cut($self, cutter)", "The pieces of this geometry cut by the polyline `cutter`.")),
        fastcall_def<&combine_extents>(
            "combine_extents",
            DOC("combine_extents($self, other)", "The envelope around this geometry and `other`.")),
        noargs_def<&boundary>("boundary", DOC("boundary($self)", "The boundary of this geometry.")),
        noargs_def<&convex_hull>("convex_hull",
                                 DOC("convex_hull($self)", "The convex hull of this geometry.")),
        noargs_def<&simplify>("simplify",
                              DOC("simplify($self)", "A topologically simple copy of this geometry.")),
        noargs_def<&is_simple>("is_simple",
                               DOC("is_simple($self)", "Whether this geometry is topologically simple.")),
        noargs_def<&normalize_central_meridian>(
            "normalize_central_meridian",
            DOC("normalize_central_meridian($self)",
                "This geometry folded into the range of its spatial reference, or None.")),
        fastcall_def<&equals>("equals", DOC("equals($self, other)", "Whether the two geometries are equal.")),
        fastcall_def<&contains>("contains",
                                DOC("contains($self, other)", "Whether this geometry contains `other`.")),
        fastcall_def<&within>("within",
                              DOC("within($self, rhs)", "Whether this geometry lies within `rhs`.")),
        fastcall_def<&crosses>("crosses", DOC("crosses($self, rhs)", "Whether this geometry crosses `rhs`.")),
        fastcall_def<&touches>("touches", DOC("touches($self, rhs)", "Whether this geometry touches `rhs`.")),
        fastcall_def<&overlaps>("overlaps",
                                DOC("overlaps($self, other)", "Whether this geometry overlaps `other`.")),
        fastcall_def<&intersects>(
            "intersects", DOC("intersects($self, other)", "Whether this geometry intersects `other`.")),
        fastcall_def<&disjoint>(
            "disjoint", DOC("disjoint($self, other)", "Whether this geometry and `other` share no point.")),
        fastcall_def<&relate>("relate",
                              DOC("relate($self, other, relation)",
                                  "Whether the two geometries satisfy `relation`, a nine-character DE-9IM\n"
                                  "matrix pattern over the characters T, F, *, 0, 1 and 2.")),
        fastcall_def<&distance_to>("distance_to",
                                   DOC("distance_to($self, other)", "The planar distance to `other`.")),
        fastcall_def<&buffer>(
            "buffer", DOC("buffer($self, distance, unit=None, max_deviation=None, curve_type=None)",
                          "The buffer polygon at `distance`.  Planar with `distance` alone, in the\n"
                          "units of the spatial reference; geodetic when `unit`, `max_deviation` and\n"
                          "`curve_type` are all given, with `distance` and `max_deviation` in `unit`.")),
        fastcall_def<&buffer_planar_method>("_buffer",
                                            DOC("_buffer($self, distance)", "The planar buffer polygon.")),
        fastcall_def<&buffer_geodetic_method>(
            "_buffer_geodetic", DOC("_buffer_geodetic($self, distance, unit, max_deviation, curve_type)",
                                    "The geodetic buffer polygon.")),
        fastcall_def<&densify>(
            "densify", DOC("densify($self, max_segment_length, unit=None, curve_type=None)",
                           "A copy whose segments are at most `max_segment_length` long.  Geodetic when\n"
                           "`unit` and `curve_type` are both given.")),
        fastcall_def<&densify_planar_method>(
            "_densify", DOC("_densify($self, max_segment_length)", "The planar densify.")),
        fastcall_def<&densify_geodetic_method>(
            "_densify_geodetic",
            DOC("_densify_geodetic($self, max_segment_length, unit, curve_type)", "The geodetic densify.")),
        fastcall_def<&calculate_area>(
            "calculate_area",
            DOC("calculate_area($self, curve_type=None, unit=None)",
                "The area: geodetic when `curve_type` is given (in square meters when no\n"
                "unit is given), else planar (`unit` is then not used).")),
        noargs_def<&area_planar_method>("_area_planear", DOC("_area_planear($self)", "The planar area.")),
        fastcall_def<&area_geodetic_method>(
            "_area_geodetic", DOC("_area_geodetic($self, curve_type, unit)", "The geodetic area.")),
        fastcall_def<&calculate_length>(
            "calculate_length",
            DOC("calculate_length($self, curve_type=None, unit=None)",
                "The length: geodetic when `curve_type` is given (in meters when no unit is\n"
                "given), else planar (`unit` is then not used).")),
        fastcall_def<&move_relative>("move_relative", DOC("move_relative($self, delta_x, delta_y)",
                                                          "A copy moved by `delta_x` and `delta_y`.")),
        fastcall_def<&rotate>("rotate",
                              DOC("rotate($self, angle, origin)",
                                  "A copy rotated counterclockwise by `angle` degrees about `origin`\n"
                                  "(a Point), or about the center of its extent when `origin` is None.")),
        fastcall_def<&scale>("scale",
                             DOC("scale($self, scale_x, scale_y, origin)",
                                 "A copy scaled about `origin` (a Point), or about the center of its\n"
                                 "extent when `origin` is None.")),
        fastcall_def<&generalize>(
            "generalize", DOC("generalize($self, max_offset, remove_degenerate_parts=False)",
                              "A copy with vertices removed by the Douglas-Peucker method; points and\n"
                              "multipoints are returned unchanged.")),
        fastcall_def<&set_m>("set_m",
                             DOC("set_m($self, m)", "A copy whose vertices all have the M value `m`.")),
        fastcall_def<&set_z>("set_z",
                             DOC("set_z($self, z)", "A copy whose vertices all have the Z value `z`.")),
        fastcall_def<&set_z_and_m>("set_z_and_m", DOC("set_z_and_m($self, z, m)",
                                                      "A copy with the Z value `z` and the M value `m`.")),
        noargs_def<&remove_m>("remove_m", DOC("remove_m($self)", "A copy without M values.")),
        noargs_def<&remove_z>("remove_z", DOC("remove_z($self)", "A copy without Z values.")),
        noargs_def<&remove_z_and_m>("remove_z_and_m",
                                    DOC("remove_z_and_m($self)", "A copy without Z and M values.")),
        fastcall_def<&project>("project",
                               DOC("project($self, spatial_reference)",
                                   "This geometry projected into `spatial_reference` with the default datum\n"
                                   "transformation.  A geometry without a spatial reference is given the\n"
                                   "target one without any change of coordinates.")),
        fastcall_def<&project_with_transformation>(
            "project_with_transformation",
            DOC("project_with_transformation($self, spatial_reference, transformation)",
                "This geometry projected into `spatial_reference` with the given datum transformation.")),
    },
    {
        {"has_curves", &getter_entry<&has_curves>, nullptr, "Whether the geometry has true curves.", nullptr},
        {"area", &getter_entry<&area_property>, nullptr,
         "The planar area of a Polygon; None for other geometries.", nullptr},
        {"length", &getter_entry<&length_property>, nullptr, "The planar length.", nullptr},
        {"extent", &getter_entry<&extent>, nullptr, "(xmin, ymin, xmax, ymax) of the geometry.", nullptr},
        {"geoextent", &getter_entry<&extent>, nullptr, "(xmin, ymin, xmax, ymax) of the geometry.", nullptr},
        {"envelope", &getter_entry<&envelope_property>, nullptr, "The extent as an Envelope.", nullptr},
        {"centroid", &getter_entry<&centroid>, nullptr, "(x, y) of the center of the extent.", nullptr},
        {"label_point", &getter_entry<&label_point_property>, nullptr, "The center of the extent as a Point.",
         nullptr},
    }};

#undef DOC

}  // namespace

}  // namespace ostrel::py::ops
