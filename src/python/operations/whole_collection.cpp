// Operations that hand a whole Python collection to the runtime in one call:
// the static methods buffer_collection, convex_hull_collection,
// union_collection, combine_extents_collection and auto_complete of Geometry,
// and the module function buffer_collection with its geodetic form.
//
// The collections are not copied first.  Each iterable feeds the runtime
// binding through a lazy item source while the binding fills the runtime's
// input vector; a failure of the iterator or of an item's conversion is kept
// in the source's slot and weighed after the runtime call: the runtime's own
// error first, then the later collection's failure, then the earlier one's.
#include <optional>
#include <vector>

#include "binding/geometry_engine.hpp"
#include "model/geoerr.hpp"
#include "python/classes/geometry.hpp"
#include "python/operations/support.hpp"
#include "python/pyapi/trampoline.hpp"
#include "python/pyapi/types.hpp"

namespace ostrel::py::ops {

namespace eng = rt::geometry_engine;

namespace {

using Args = PyObject* const*;

// One iterable and its source.  Asking for the iterator happens here, at
// once, so an object that cannot be iterated fails before the runtime call.
struct Feed {
  explicit Feed(PyObject* iterable) : items(iterable) {}
  Iter items;
  ErrorSlot slot;
  rt::GeometrySource geometries() { return GeometryItems(items, slot); }
  rt::F64Source floats() { return F64Items(items, slot); }
};

[[noreturn]] void not_singular() {
  throw model::ZorvGeoErr(
      model::ZorvGeoErr::Kind::VaskelithLibraryError,
      "Internal error: Did not get a singular geometry from engine with union_result set to true");
}

// Several runtime geometries as a list, or, with the flag, the only one as one
// object.  An empty result is an empty list whatever the flag says.
template <class G>
Ref shape_flagged(std::vector<G> results, bool single) {
  if (results.empty()) return check(PyList_New(0));
  if (!single) {
    std::vector<rt::GeometryOwned> owned;
    owned.reserve(results.size());
    for (auto& g : results) owned.emplace_back(std::move(g));
    results.clear();
    return geometries_to_py(std::move(owned));
  }
  if (results.size() != 1) {
    results.clear();
    not_singular();
  }
  return geometry_to_py(rt::GeometryOwned(std::move(results.front())));
}

// ---- static methods of Geometry ----

const Signature kBufferCollectionStatic{
    "Geometry.buffer_collection()", {"geometries", "distances", "union_result"}, 3};
Ref buffer_collection_static(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, ds, ur] = match<3>(kBufferCollectionStatic, args, nargs, kw);
  bool union_result = arg_bool(ur, "union_result");
  Feed geometries(gs);
  Feed distances(ds);
  std::vector<rt::Polygon> polygons =
      eng::buffer_collection(geometries.geometries(), distances.floats(), union_result);
  distances.slot.raise_if_filled();
  geometries.slot.raise_if_filled();
  return shape_flagged(std::move(polygons), union_result);
}

const Signature kConvexHullCollection{"Geometry.convex_hull_collection()", {"geometries", "merge"}, 2};
Ref convex_hull_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, mg] = match<2>(kConvexHullCollection, args, nargs, kw);
  bool merge = arg_bool(mg, "merge");
  Feed geometries(gs);
  std::vector<rt::GeometryOwned> hulls = eng::convex_hull_collection(geometries.geometries(), merge);
  geometries.slot.raise_if_filled();
  return shape_flagged(std::move(hulls), merge);
}

const Signature kUnionCollection{"Geometry.union_collection()", {"geometries"}, 1};
Ref union_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs] = match<1>(kUnionCollection, args, nargs, kw);
  Feed geometries(gs);
  rt::GeometryOwned u = eng::union_collection(geometries.geometries());
  geometries.slot.raise_if_filled();
  return geometry_to_py(std::move(u));
}

const Signature kCombineExtentsCollection{"Geometry.combine_extents_collection()", {"geometries"}, 1};
Ref combine_extents_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs] = match<1>(kCombineExtentsCollection, args, nargs, kw);
  Feed geometries(gs);
  rt::Envelope e = eng::combine_extents_collection(geometries.geometries());
  geometries.slot.raise_if_filled();
  return envelope_to_py(std::move(e));
}

const Signature kAutoComplete{"Geometry.auto_complete()", {"existing_boundaries", "new_boundaries"}, 2};
Ref auto_complete(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [eb, nb] = match<2>(kAutoComplete, args, nargs, kw);
  Feed existing(eb);
  Feed added(nb);
  std::vector<rt::Polygon> polygons = eng::auto_complete(existing.geometries(), added.geometries());
  added.slot.raise_if_filled();
  existing.slot.raise_if_filled();
  return shape_flagged(std::move(polygons), false);
}

// ---- module function ----

const Signature kBufferCollection{
    "buffer_collection()",
    {"geometries", "distances", "union_result", "distance_unit", "max_deviation", "curve_type"},
    2};
Ref buffer_collection(PyObject*, Args args, Py_ssize_t nargs, PyObject* kw) {
  auto [gs, ds, ur, du, md, ct] = match<6>(kBufferCollection, args, nargs, kw);
  bool union_result = ur ? arg_bool(ur, "union_result") : false;
  std::optional<int32_t> distance_unit = linear_unit_arg(du, "distance_unit");
  double max_deviation = md ? arg_f64(md, "max_deviation") : 0.0;
  // An omitted or None curve type is the great elliptic one.
  int32_t curve_type = (int32_t)curve_type_arg(ct, "curve_type").value_or(2);

  std::vector<rt::Polygon> polygons;
  if (distance_unit) {
    rt::LinearUnit unit = new_linear_unit(*distance_unit);
    Feed geometries(gs);
    Feed distances(ds);
    polygons = eng::buffer_geodetic_collection(geometries.geometries(), distances.floats(), &unit,
                                               max_deviation, curve_type, union_result);
    distances.slot.raise_if_filled();
    geometries.slot.raise_if_filled();
  } else {
    Feed geometries(gs);
    Feed distances(ds);
    polygons = eng::buffer_collection(geometries.geometries(), distances.floats(), union_result);
    distances.slot.raise_if_filled();
    geometries.slot.raise_if_filled();
  }
  // Always a list, whatever union_result says.
  Ref list = check(PyList_New(0));
  for (auto& p : polygons) {
    Ref obj = polygon_to_py(std::move(p));
    check_status(PyList_Append(list.get(), obj.get()));
  }
  return list;
}

#define DOC(sig, text) sig "\n--\n\n" text

const Geometry::Members kStaticMembers{{
    static_fastcall_def<&auto_complete>(
        "auto_complete",
        DOC("auto_complete(existing_boundaries, new_boundaries)",
            "New polygons closing the gaps that the polylines `new_boundaries` leave between the\n"
            "polygons `existing_boundaries`.  The existing boundaries must be polygons or envelopes\n"
            "and the new boundaries polylines; an empty collection on either side gives an empty\n"
            "list.")),
    static_fastcall_def<&buffer_collection_static>(
        "buffer_collection",
        DOC("buffer_collection(geometries, distances, union_result)",
            "Planar buffers of `geometries`, each at its own distance (when there are fewer\n"
            "distances than geometries, the last distance serves the rest).  A list of polygons,\n"
            "or one polygon when `union_result` is True.")),
    static_fastcall_def<&convex_hull_collection>(
        "convex_hull_collection",
        DOC("convex_hull_collection(geometries, merge)",
            "The convex hull of every geometry, or with `merge` one hull around all of them.")),
    static_fastcall_def<&union_collection>(
        "union_collection", DOC("union_collection(geometries)", "The union of all the geometries.")),
    static_fastcall_def<&combine_extents_collection>(
        "combine_extents_collection",
        DOC("combine_extents_collection(geometries)", "The envelope around all the geometries.")),
}};

PyMethodDef kBufferCollectionDef = fastcall_def<&buffer_collection>(
    "buffer_collection",
    DOC("buffer_collection(geometries, distances, union_result=False, distance_unit=None, max_deviation=0.0, "
        "curve_type=...)",
        "Buffers of `geometries`, each at its own distance (the last distance serves any\n"
        "geometries left over), always as a list of polygons: with `union_result` the list holds\n"
        "the merged buffer.  Geodetic when `distance_unit` is given, with `max_deviation` and\n"
        "`curve_type` (default GeodeticCurveType.GreatElliptic); planar otherwise."));

#undef DOC

const Registrar kRegisterBufferCollection("ostrel_geometry", kBufferCollectionDef);

}  // namespace

}  // namespace ostrel::py::ops
