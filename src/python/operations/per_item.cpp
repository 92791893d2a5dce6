// Module functions that walk a Python collection and make one runtime call
// per item: the reducing predicates, the distances, the two sums, and the
// map / skip / flatten / fold functions.
//
// Operands shared by every item are converted once, before the collection is
// asked for its iterator.  Each item is converted when it is taken, its Python
// reference dropped at once, and its runtime geometry released right after its
// call.  Results stay runtime objects until the walk has ended, so a failure
// part-way leaves no Python result behind.
#include <optional>
#include <span>
#include <vector>

#include "binding/geometry_engine.hpp"
#include "model/point.hpp"
#include "python/classes/geometry.hpp"
#include "python/operations/support.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py::ops {

namespace eng = rt::geometry_engine;

namespace {

using Args = PyObject* const*;

#define DOC(sig, text) sig "\n--\n\n" text

// ---- reducing predicates ----

enum class Reduce { All, Any };

// Every item is asked in turn (`op(primary, item)`, which is `relation` of
// the two, or of the item and the primary when `items_first`); the first
// deciding answer (False for all, True for any) ends the walk without taking
// another item.
template <class Op>
bool reduce(const rt::GeometryOwned& primary, Iter& items, Reduce how, eng::Relation relation,
            bool items_first, Op op) {
  const bool deciding = how == Reduce::Any;
  bool result = !deciding;
  for_each_geometry_run(
      items,
      [&](std::span<const QX_GeometryHandle> run) {
        if (eng::relation_each(primary, run, relation, items_first, deciding) == run.size()) return true;
        result = deciding;
        return false;
      },
      [&](const rt::GeometryOwned& item) {
        if (op(primary, item) == deciding) {
          result = deciding;
          return false;
        }
        return true;
      });
  return result;
}

#define OSTREL_PREDICATE(name, first, second, how, relation, call)                   \
  const Signature k_##name{#name "()", {#first, #second}, 2};                        \
  Ref name(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {                   \
    auto [p, c] = match<2>(k_##name, args, nargs, kw);                               \
    geometry_arg(p, #first);                                                         \
    rt::GeometryLease primary = Geometry::geom_from_pyobj(p);                        \
    Iter items(c);                                                                   \
    return to_py(reduce(primary, items, Reduce::how, eng::Relation::relation, false, \
                        [](auto& a, auto& b) { return call; }));                     \
  }

OSTREL_PREDICATE(within_collection, container, geometries, All, Within, eng::within(a, b))
OSTREL_PREDICATE(contains_collection, container, geometries, All, Contains, eng::contains(a, b))
OSTREL_PREDICATE(disjoint_from_collection, primary, collection, All, Disjoint, eng::disjoint(a, b))
OSTREL_PREDICATE(crosses_collection, primary, collection, Any, Crosses, eng::crosses(a, b))
OSTREL_PREDICATE(touches_collection, primary, collection, Any, Touches, eng::touches(a, b))
OSTREL_PREDICATE(overlaps_collection, primary, collection, Any, Overlaps, eng::overlaps(a, b))
#undef OSTREL_PREDICATE

// The one predicate that asks for the iterator before converting the primary,
// and that passes the item first.
const Signature kIntersectsCollection{"intersects_collection()", {"primary", "collection"}, 2};
Ref intersects_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [p, c] = match<2>(kIntersectsCollection, args, nargs, kw);
  geometry_arg(p, "primary");
  Iter items(c);
  rt::GeometryLease primary = Geometry::geom_from_pyobj(p);
  return to_py(reduce(primary, items, Reduce::Any, eng::Relation::Intersects, true,
                      [](auto& a, auto& b) { return eng::intersects(b, a); }));
}

const Signature kDistancesFromCollection{"distances_from_collection()", {"primary", "collection"}, 2};
Ref distances_from_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [p, c] = match<2>(kDistancesFromCollection, args, nargs, kw);
  geometry_arg(p, "primary");
  rt::GeometryLease primary = Geometry::geom_from_pyobj(p);
  Iter items(c);
  std::vector<double> distances;
  for_each_geometry_run(
      items,
      [&](std::span<const QX_GeometryHandle> run) {
        const std::size_t done = distances.size();
        distances.resize(done + run.size());
        eng::distance_each(primary, run, distances.data() + done);
        return true;
      },
      [&](const rt::GeometryOwned& item) {
        distances.push_back(eng::distance(primary, item));
        return true;
      });
  Ref list = check(PyList_New((Py_ssize_t)distances.size()));
  for (size_t i = 0; i < distances.size(); ++i)
    PyList_SET_ITEM(list.get(), (Py_ssize_t)i, to_py(distances[i]).release());
  return list;
}

// ---- sums ----

// The sum of a measure of every item, added in the collection's order
// whether the measures came one by one or a run at a time.
template <class Each, class One>
double planar_sum(Iter& items, Each each, One one) {
  double total = 0.0;
  std::vector<double> measures;
  for_each_geometry_run(
      items,
      [&](std::span<const QX_GeometryHandle> run) {
        measures.resize(run.size());
        each(run, measures.data());
        for (double m : measures) total += m;
        return true;
      },
      [&](const rt::GeometryOwned& item) {
        total += one(item);
        return true;
      });
  return total;
}

const Signature kAreaCollection{"area_collection()", {"geometries", "curve_type", "unit"}, 1};
Ref area_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, ct, u] = match<3>(kAreaCollection, args, nargs, kw);
  std::optional<uint32_t> curve_type = curve_type_arg(ct, "curve_type");
  PyObject* unit_obj = area_unit_object_arg(u, "unit");
  double total = 0.0;
  if (curve_type) {
    const rt::AreaUnit* unit = unit_obj ? &area_unit_of(unit_obj) : nullptr;
    Iter items(gs);
    for_each_geometry(items, [&](const rt::GeometryOwned& item) {
      total += eng::area_geodetic(item, unit, (int32_t)*curve_type);
      return true;
    });
  } else {
    // A failure ends the walk, discarding the sum.
    Iter items(gs);
    total = planar_sum(items, eng::area_each, eng::area);
  }
  return to_py(total);
}

const Signature kLengthCollection{"length_collection()", {"geometries"}, 1};
Ref length_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs] = match<1>(kLengthCollection, args, nargs, kw);
  Iter items(gs);
  return to_py(planar_sum(items, eng::length_each, eng::length));
}

// ---- map, skip, flatten, fold ----

// Applies `op` to every item and keeps the runtime results; they become Python
// objects only once the walk has ended.
template <class Op>
Ref map_geometries(PyObject* collection, Op op) {
  std::vector<rt::GeometryOwned> kept;
  {
    Iter items(collection);
    for_each_geometry(items, [&](const rt::GeometryOwned& item) {
      kept.push_back(op(item));
      return true;
    });
  }
  return geometries_to_py(std::move(kept));
}

#define OSTREL_MAP1(name, call)                                                  \
  const Signature k_##name{#name "()", {"geometries"}, 1};                       \
  Ref name(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {               \
    auto [gs] = match<1>(k_##name, args, nargs, kw);                             \
    return map_geometries(gs, [&](const rt::GeometryOwned& g) { return call; }); \
  }

OSTREL_MAP1(boundary_collection, eng::boundary(g))
OSTREL_MAP1(simplify_collection, eng::simplify(g))
OSTREL_MAP1(remove_m_collection, std::move(eng::remove_m(g)).downcast<rt::GeometryOwned>())
OSTREL_MAP1(remove_z_collection, std::move(eng::remove_z(g)).downcast<rt::GeometryOwned>())
OSTREL_MAP1(remove_z_and_m_collection, std::move(eng::remove_z_and_m(g)).downcast<rt::GeometryOwned>())
#undef OSTREL_MAP1

const Signature kIsSimpleCollection{"is_simple_collection()", {"geometries"}, 1};
Ref is_simple_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs] = match<1>(kIsSimpleCollection, args, nargs, kw);
  std::vector<bool> answers;
  {
    Iter items(gs);
    for_each_geometry(items, [&](const rt::GeometryOwned& g) {
      answers.push_back(eng::is_simple(g));
      return true;
    });
  }
  Ref list = check(PyList_New((Py_ssize_t)answers.size()));
  for (size_t i = 0; i < answers.size(); ++i)
    PyList_SET_ITEM(list.get(), (Py_ssize_t)i, to_py(static_cast<bool>(answers[i])).release());
  return list;
}

const Signature kNormalizeCollection{"normalize_central_meridian_collection()", {"geometries"}, 1};
Ref normalize_central_meridian_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs] = match<1>(kNormalizeCollection, args, nargs, kw);
  std::vector<rt::GeometryOwned> kept;
  {
    Iter items(gs);
    for_each_geometry(items, [&](const rt::GeometryOwned& g) {
      if (std::optional<rt::GeometryOwned> r = eng::normalize_central_meridian(g))
        kept.push_back(std::move(*r));
      return true;
    });
  }
  return geometries_to_py(std::move(kept));
}

// A polygon's label point is the runtime's; any other kind gets the center of
// its extent.
model::ZorvGeometryPoint label_point_of(const rt::GeometryOwned& g) {
  if (auto polygon = g.try_downcast_ref<rt::Polygon>()) {
    return model::ZorvGeometryPoint::from_runtime(eng::label_point(polygon->get()));
  }
  rt::Point center = [&] {
    rt::Envelope e = g.extent();
    return e.center();
  }();
  return model::ZorvGeometryPoint::from_runtime(std::move(center));
}

const Signature kLabelPointCollection{"label_point_collection()", {"geometries"}, 1};
Ref label_point_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs] = match<1>(kLabelPointCollection, args, nargs, kw);
  std::vector<model::ZorvGeometryPoint> points;
  {
    Iter items(gs);
    for_each_geometry(items, [&](const rt::GeometryOwned& g) {
      points.push_back(label_point_of(g));
      return true;
    });
  }
  Ref list = check(PyList_New(0));
  for (auto& p : points) {
    Ref obj = point_model_to_py(std::move(p));
    check_status(PyList_Append(list.get(), obj.get()));
  }
  return list;
}

const Signature kGeneralizeCollection{
    "generalize_collection()", {"geometries", "max_deviation", "remove_degenerate_parts"}, 3};
Ref generalize_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, md, rdp] = match<3>(kGeneralizeCollection, args, nargs, kw);
  double max_deviation = arg_f64(md, "max_deviation");
  bool remove_degenerate_parts = arg_bool(rdp, "remove_degenerate_parts");
  return map_geometries(gs, [&](const rt::GeometryOwned& g) {
    return eng::generalize(g, max_deviation, remove_degenerate_parts);
  });
}

const Signature kMoveRelativeCollection{
    "move_relative_collection()", {"geometries", "delta_x", "delta_y"}, 3};
Ref move_relative_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, dx, dy] = match<3>(kMoveRelativeCollection, args, nargs, kw);
  double delta_x = arg_f64(dx, "delta_x");
  double delta_y = arg_f64(dy, "delta_y");
  return map_geometries(gs,
                        [&](const rt::GeometryOwned& g) { return eng::move_relative(g, delta_x, delta_y); });
}

// The one runtime point of `origin` serves every item.
std::optional<rt::TypedLease<rt::Point>> origin_geom(PyObject* origin) {
  if (!origin) return std::nullopt;
  return point_geom(origin);
}

const Signature kRotateCollection{"rotate_collection()", {"geometries", "angle", "origin"}, 3};
Ref rotate_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, a, o] = match<3>(kRotateCollection, args, nargs, kw);
  double angle = arg_f64(a, "angle");
  std::optional<rt::TypedLease<rt::Point>> origin = origin_geom(origin_arg(o, "origin"));
  const rt::Point* op = origin ? &origin->get() : nullptr;
  return map_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::rotate(g, op, angle); });
}

const Signature kScaleCollection{"scale_collection()", {"geometries", "scale_x", "scale_y", "origin"}, 4};
Ref scale_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, sx, sy, o] = match<4>(kScaleCollection, args, nargs, kw);
  double scale_x = arg_f64(sx, "scale_x");
  double scale_y = arg_f64(sy, "scale_y");
  std::optional<rt::TypedLease<rt::Point>> origin = origin_geom(origin_arg(o, "origin"));
  const rt::Point* op = origin ? &origin->get() : nullptr;
  return map_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::scale(g, op, scale_x, scale_y); });
}

const Signature kSetMCollection{"set_m_collection()", {"m", "geometries"}, 2};
Ref set_m_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [mv, gs] = match<2>(kSetMCollection, args, nargs, kw);
  double m = arg_f64(mv, "m");
  return map_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::set_m(g, m); });
}

const Signature kSetZCollection{"set_z_collection()", {"z", "geometries"}, 2};
Ref set_z_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [zv, gs] = match<2>(kSetZCollection, args, nargs, kw);
  double z = arg_f64(zv, "z");
  return map_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::set_z(g, z); });
}

const Signature kSetZAndMCollection{"set_z_and_m_collection()", {"z", "m", "geometries"}, 3};
Ref set_z_and_m_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [zv, mv, gs] = match<3>(kSetZAndMCollection, args, nargs, kw);
  double z = arg_f64(zv, "z");
  double m = arg_f64(mv, "m");
  return map_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::set_z_and_m(g, z, m); });
}

const Signature kClipCollection{"clip_collection()", {"geometries", "envelope"}, 2};
Ref clip_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, ev] = match<2>(kClipCollection, args, nargs, kw);
  expect_instance(ev, envelope_type(), "Envelope", "envelope");
  auto envelope = envelope_geom(ev);
  return map_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::clip(g, envelope); });
}

const Signature kDensifyCollection{
    "densify_collection()", {"geometries", "max_segment_length", "unit", "curve_type"}, 4};
Ref densify_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, msl, u, ct] = match<4>(kDensifyCollection, args, nargs, kw);
  double max_segment_length = arg_f64(msl, "max_segment_length");
  std::optional<int32_t> unit = linear_unit_arg(u, "unit");
  std::optional<uint32_t> curve_type = curve_type_arg(ct, "curve_type");
  if (!unit && !curve_type) {
    return map_geometries(gs,
                          [&](const rt::GeometryOwned& g) { return eng::densify(g, max_segment_length); });
  }
  if (!unit) raise(PyExc_ValueError, "LinearUnitId must be provided for geodetic densify");
  if (!curve_type) raise(PyExc_ValueError, "GeodeticCurveType must be provided for geodetic densify");
  rt::LinearUnit lu = new_linear_unit(*unit);
  int32_t code = (int32_t)*curve_type;
  return map_geometries(gs, [&](const rt::GeometryOwned& g) {
    return eng::densify_geodetic(g, max_segment_length, &lu, code);
  });
}

const Signature kIntersectionCollection{"intersection_collection()", {"primary", "geometries"}, 2};
Ref intersection_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [p, gs] = match<2>(kIntersectionCollection, args, nargs, kw);
  geometry_arg(p, "primary");
  rt::GeometryLease primary = Geometry::geom_from_pyobj(p);
  return map_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::intersection(primary, g); });
}

const Signature kDifferenceCollectionMinusGeom{
    "difference_collection_minus_geom()", {"collection", "rhs"}, 2};
Ref difference_collection_minus_geom(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [c, r] = match<2>(kDifferenceCollectionMinusGeom, args, nargs, kw);
  geometry_arg(r, "rhs");
  rt::GeometryLease rhs = Geometry::geom_from_pyobj(r);
  return map_geometries(c, [&](const rt::GeometryOwned& g) { return eng::difference(g, rhs); });
}

// Every piece of every item, in order, in one list.
template <class Op>
Ref flatten_geometries(PyObject* collection, Op op) {
  std::vector<rt::GeometryOwned> kept;
  {
    Iter items(collection);
    for_each_geometry(items, [&](const rt::GeometryOwned& item) {
      std::vector<rt::GeometryOwned> pieces = op(item);
      for (auto& piece : pieces) kept.push_back(std::move(piece));
      return true;
    });
  }
  return geometries_to_py(std::move(kept));
}

const Signature kCutCollection{"cut_collection()", {"geometries", "cutter"}, 2};
Ref cut_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, cv] = match<2>(kCutCollection, args, nargs, kw);
  expect_instance(cv, polyline_type(), "Polyline", "cutter");
  auto cutter = polyline_geom(cv);
  return flatten_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::cut(g, cutter); });
}

const Signature kIntersectionsCollection{"intersections_collection()", {"primary", "geometries"}, 2};
Ref intersections_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [p, gs] = match<2>(kIntersectionsCollection, args, nargs, kw);
  geometry_arg(p, "primary");
  rt::GeometryLease primary = Geometry::geom_from_pyobj(p);
  return flatten_geometries(gs, [&](const rt::GeometryOwned& g) { return eng::intersections(primary, g); });
}

// The items are subtracted from `primary` one after the other; with no items
// the result is a new object made from primary's runtime geometry.
const Signature kDifferenceGeomMinusCollection{
    "difference_geom_minus_collection()", {"primary", "collection"}, 2};
Ref difference_geom_minus_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [p, c] = match<2>(kDifferenceGeomMinusCollection, args, nargs, kw);
  geometry_arg(p, "primary");
  rt::GeometryLease accumulator = Geometry::geom_from_pyobj(p);
  {
    Iter items(c);
    for_each_geometry(items, [&](const rt::GeometryOwned& item) {
      accumulator = eng::difference(accumulator, item);
      return true;
    });
  }
  return geometry_to_py(std::move(accumulator));
}

// ---- registration ----

#define OSTREL_REGISTER(name, sig, text)                               \
  PyMethodDef name##_def = fastcall_def<&name>(#name, DOC(sig, text)); \
  const Registrar name##_registrar("ostrel_geometry", name##_def);

OSTREL_REGISTER(within_collection, "within_collection(container, geometries)",
                "True when `container` lies within every geometry of `geometries` (True for none).")
OSTREL_REGISTER(contains_collection, "contains_collection(container, geometries)",
                "True when `container` contains every geometry of `geometries` (True for none).")
OSTREL_REGISTER(disjoint_from_collection, "disjoint_from_collection(primary, collection)",
                "True when `primary` is disjoint from every geometry of `collection` (True for none).")
OSTREL_REGISTER(crosses_collection, "crosses_collection(primary, collection)",
                "True when `primary` crosses any geometry of `collection`.")
OSTREL_REGISTER(touches_collection, "touches_collection(primary, collection)",
                "True when `primary` touches any geometry of `collection`.")
OSTREL_REGISTER(overlaps_collection, "overlaps_collection(primary, collection)",
                "True when `primary` overlaps any geometry of `collection`.")
OSTREL_REGISTER(intersects_collection, "intersects_collection(primary, collection)",
                "True when any geometry of `collection` intersects `primary`.")
OSTREL_REGISTER(distances_from_collection, "distances_from_collection(primary, collection)",
                "The planar distance from `primary` to each geometry, in order.")
OSTREL_REGISTER(area_collection, "area_collection(geometries, curve_type=None, unit=None)",
                "The sum of the areas: geodetic when `curve_type` is given (with `unit`, an AreaUnit,\n"
                "or None), else planar.")
OSTREL_REGISTER(length_collection, "length_collection(geometries)", "The sum of the planar lengths.")
OSTREL_REGISTER(boundary_collection, "boundary_collection(geometries)", "The boundary of each geometry.")
OSTREL_REGISTER(simplify_collection, "simplify_collection(geometries)",
                "A topologically simple copy of each geometry.")
OSTREL_REGISTER(is_simple_collection, "is_simple_collection(geometries)",
                "Whether each geometry is topologically simple.")
OSTREL_REGISTER(remove_m_collection, "remove_m_collection(geometries)", "Each geometry without M values.")
OSTREL_REGISTER(remove_z_collection, "remove_z_collection(geometries)", "Each geometry without Z values.")
OSTREL_REGISTER(remove_z_and_m_collection, "remove_z_and_m_collection(geometries)",
                "Each geometry without Z and M values.")
OSTREL_REGISTER(normalize_central_meridian_collection, "normalize_central_meridian_collection(geometries)",
                "Each geometry folded into the range of its spatial reference; geometries without a\n"
                "result leave no entry.")
OSTREL_REGISTER(label_point_collection, "label_point_collection(geometries)",
                "A label point for each geometry: inside a polygon, the center of the extent otherwise.")
OSTREL_REGISTER(generalize_collection,
                "generalize_collection(geometries, max_deviation, remove_degenerate_parts)",
                "Each geometry generalized by the Douglas-Peucker method.")
OSTREL_REGISTER(move_relative_collection, "move_relative_collection(geometries, delta_x, delta_y)",
                "Each geometry moved by `delta_x` and `delta_y`.")
OSTREL_REGISTER(rotate_collection, "rotate_collection(geometries, angle, origin)",
                "Each geometry rotated counterclockwise by `angle` degrees about `origin` (a Point),\n"
                "or about the center of its own extent when `origin` is None.")
OSTREL_REGISTER(scale_collection, "scale_collection(geometries, scale_x, scale_y, origin)",
                "Each geometry scaled about `origin` (a Point), or about the center of its own extent\n"
                "when `origin` is None.")
OSTREL_REGISTER(set_m_collection, "set_m_collection(m, geometries)", "Each geometry with the M value `m`.")
OSTREL_REGISTER(set_z_collection, "set_z_collection(z, geometries)", "Each geometry with the Z value `z`.")
OSTREL_REGISTER(set_z_and_m_collection, "set_z_and_m_collection(z, m, geometries)",
                "Each geometry with the Z value `z` and the M value `m`.")
OSTREL_REGISTER(clip_collection, "clip_collection(geometries, envelope)",
                "Each geometry clipped by `envelope`.")
OSTREL_REGISTER(densify_collection, "densify_collection(geometries, max_segment_length, unit, curve_type)",
                "Each geometry densified: planar when `unit` and `curve_type` are both None, geodetic\n"
                "when both are given.")
OSTREL_REGISTER(intersection_collection, "intersection_collection(primary, geometries)",
                "The intersection of `primary` with each geometry.")
OSTREL_REGISTER(difference_collection_minus_geom, "difference_collection_minus_geom(collection, rhs)",
                "Each geometry minus `rhs`.")
OSTREL_REGISTER(cut_collection, "cut_collection(geometries, cutter)",
                "The pieces of every geometry cut by `cutter`, in one list.")
OSTREL_REGISTER(intersections_collection, "intersections_collection(primary, geometries)",
                "The intersections of `primary` with every geometry, in one list.")
OSTREL_REGISTER(difference_geom_minus_collection, "difference_geom_minus_collection(primary, collection)",
                "`primary` minus every geometry of `collection`, in order.")

#undef OSTREL_REGISTER
#undef DOC

}  // namespace

}  // namespace ostrel::py::ops
