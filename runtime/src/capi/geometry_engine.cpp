// The exported planar geometry-engine functions: argument checks, then the
// operation of planar_ops.hpp, then a new handle for the caller.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/input_limits.hpp"
#include "engine/planar_curves.hpp"
#include "engine/planar_ops.hpp"
#include "errors.hpp"
#include "handles.hpp"
#include "vaskelith/api.h"

using namespace vaskelith;

namespace {

// Every engine call runs in its own linearisation scope, so that a curve
// shared by its operands becomes the same chords in each.
template <class R, class F>
R engine_call(const QX_ErrorHandler* handler, const char* function, R fallback, F&& body) {
  return guarded(handler, function, fallback, [&]() -> R {
    planar::LinearizationScope scope;
    return body();
  });
}

// Runs `body` in a linearisation scope only when an operand has true curves:
// without curves nothing is cut into chords, and measures and predicates on
// small geometries would otherwise spend a good part of their time setting
// up and tearing down the scope's thread-local state.
template <class F>
auto scoped_if_curved(std::initializer_list<const Geometry*> operands, F&& body) {
  for (const Geometry* g : operands) {
    if (g->has_curves()) {
      planar::LinearizationScope scope;
      return body();
    }
  }
  return body();
}

const Geometry& typed(QX_GeometryHandle h, GeometryKind kind, const char* argument, const char* what) {
  const Geometry& g = geometry_of(h, argument);
  if (g.kind != kind) fail(kWrongType, std::string("The ") + argument + " must be " + what + ".");
  return g;
}

// A polygon or an envelope, where an area is asked for.
const Geometry& areal(QX_GeometryHandle h, const char* argument) {
  const Geometry& g = geometry_of(h, argument);
  if (g.kind != GeometryKind::Polygon && g.kind != GeometryKind::Envelope)
    fail(kWrongType, std::string("The ") + argument + " must be a polygon.");
  return g;
}

std::vector<GeometryPtr> geometries_of(QX_VectorHandle v, const char* argument) {
  const auto& vec = deref(v, argument);
  std::vector<GeometryPtr> out;
  out.reserve(vec.items.size());
  for (const Value& item : vec.items) {
    const GeometryPtr* g = std::get_if<GeometryPtr>(&item);
    if (g == nullptr || !*g) fail(kWrongType, std::string("Every element of the ") + argument + " must be a geometry.");
    out.push_back(*g);
  }
  return out;
}

std::vector<double> numbers_of(QX_VectorHandle v, const char* argument) {
  const auto& vec = deref(v, argument);
  std::vector<double> out;
  out.reserve(vec.items.size());
  for (const Value& item : vec.items) {
    const double* d = std::get_if<double>(&item);
    if (d == nullptr) fail(kWrongType, std::string("Every element of the ") + argument + " must be a number.");
    out.push_back(*d);
  }
  return out;
}

QX_ArrayHandle array_of(const std::vector<GeometryPtr>& gs) {
  std::vector<Value> items(gs.begin(), gs.end());
  return make_array(QX_ELEMENT_TYPE_GEOMETRY, std::move(items));
}

QX_GeometryHandle overlay_call(QX_GeometryHandle a, QX_GeometryHandle b, planar::Overlay op, const char* name,
                               const QX_ErrorHandler* handler) {
  return engine_call(handler, name, QX_GeometryHandle{}, [&] {
    return make_handle(planar::overlay(geometry_of(a, "geometry"), geometry_of(b, "other"), op));
  });
}

struct Bounds {
  double xmin, ymin, xmax, ymax;
};

// The x and y bounds of the vertices of a multipart geometry that keeps no
// extent for being small (kKeptExtentFrom): measuring only x and y is
// cheaper than the full extent, and they are kept with the geometry at
// first need (see Geometry::flat_bounds).  False when it has more vertices,
// or a NaN coordinate.
bool few_vertex_bounds(const Geometry& g, Bounds& b) {
  switch (g.flat_bounds_mark.get()) {
    case FlatBoundsMark::Known:
      b = {g.flat_bounds.xmin, g.flat_bounds.ymin, g.flat_bounds.xmax, g.flat_bounds.ymax};
      return true;
    case FlatBoundsMark::Unbounded:
      return false;
    case FlatBoundsMark::Unknown:
      break;
  }
  std::size_t n = 0;
  for (const Part& p : g.parts) n += p.size();
  if (n >= kKeptExtentFrom) {
    g.flat_bounds_mark.set(FlatBoundsMark::Unbounded);
    return false;
  }
  // x and y side by side, as the vertices hold them: one comparison a
  // vertex for both minima and one for both maxima.  The bounds only decide
  // comparisons, so which zero a tie of 0 and -0 keeps does not matter.
  using Pair = double __attribute__((vector_size(16)));
  Pair lo = {INFINITY, INFINITY}, hi = {-INFINITY, -INFINITY}, sums = {0, 0};
  for (const Part& p : g.parts) {
    const double* xy = p.vertices.xy_data();
    const double* end = xy + 2 * p.size();
    for (; xy != end; xy += 2) {
      Pair v;
      std::memcpy(&v, xy, sizeof v);
      lo = v < lo ? v : lo;
      hi = v > hi ? v : hi;
      sums += v;
    }
  }
  // NaN in any coordinate (or infinities of both signs) leaves a sum NaN:
  // such geometries take the full path.  So may huge finite coordinates
  // whose sums overflow both ways, which the full path measures alike.
  if (std::isnan(sums[0] + sums[1])) {
    g.flat_bounds_mark.set(FlatBoundsMark::Unbounded);
    return false;
  }
  b = {lo[0], lo[1], hi[0], hi[1]};
  g.flat_bounds = {b.xmin, b.ymin, b.xmax, b.ymax};
  g.flat_bounds_mark.set(FlatBoundsMark::Known);
  return true;
}

// The x and y bounds of a geometry without true curves, counting every
// vertex (a point's are its coordinates), when they are what GEOS will see:
// not empty, no NaN coordinate (which the extent leaves out), nothing past
// what the engine accepts (whose refusal must come as before).
bool engine_bounds(const Geometry& g, Bounds& b) {
  if (g.kind == GeometryKind::Point) {
    b = {g.point.x, g.point.y, g.point.x, g.point.y};
  } else if (!g.is_multipart() || !few_vertex_bounds(g, b)) {
    bool whole = true;
    const EnvelopeBounds e = extent_of(g, whole);
    if (!whole) return false;
    b = {e.xmin, e.ymin, e.xmax, e.ymax};
  }
  // NaN (a point or an envelope that is empty) and the infinite bounds of
  // geometries without vertices fail here too.
  auto accepted = [](double v) { return std::fabs(v) <= limits::kLargestCoordinate; };
  return accepted(b.xmin) && accepted(b.ymin) && accepted(b.xmax) && accepted(b.ymax);
}

// One operand of a relation, with what the answers before the engine's ask
// of it, worked out once however many geometries it is related to.  Only
// containment asks whether it is a rectangle.
struct Operand {
  Operand(const Geometry& geometry, planar::Relation r)
      : g(geometry),
        curved(g.has_curves()),
        bounded(!curved && engine_bounds(g, b)),
        rectangle(bounded && (r == planar::Relation::Contains || r == planar::Relation::Within) &&
                  is_rectangle(g)) {}

  const Geometry& g;
  bool curved;
  bool bounded;    // `b` holds the bounds GEOS will see
  bool rectangle;  // a polygon that is exactly its bounds, of some width and height
  Bounds b;

 private:
  // One ring of four vertices (stored open) along the sides of its bounds,
  // each side of nonzero length: a rectangle with its sides on the axes.
  static bool is_rectangle(const Geometry& g) {
    if (g.kind != GeometryKind::Polygon || g.parts.size() != 1 || g.parts[0].size() != 4) return false;
    const double* v = g.parts[0].vertices.xy_data();
    const bool across = v[0] == v[2] && v[3] == v[5] && v[4] == v[6] && v[7] == v[1];  // x, y, x, y sides
    const bool along = v[1] == v[3] && v[2] == v[4] && v[5] == v[7] && v[6] == v[0];   // y, x, y, x sides
    return (across || along) && v[0] != v[4] && v[1] != v[5];
  }
};

// Whether a rectangle holds a point in its interior.  Exact: the interior is
// the open box, whatever the orientation of the ring.
bool rectangle_holds(const Operand& rectangle, const Operand& point) {
  const double x = point.g.point.x, y = point.g.point.y;
  return rectangle.b.xmin < x && x < rectangle.b.xmax && rectangle.b.ymin < y && y < rectangle.b.ymax;
}

// Without true curves, the answers that need neither operand's GEOS form:
// operands with bounds that lie apart have GEOS forms whose envelopes lie
// apart too (a form that lost degenerate rings only shrinks), and GEOS
// answers every relation from the envelopes alone: no point in common.
// Equality is left to the full path, since two forms that both lost every
// ring are equal.  A rectangle contains a point exactly when the point is
// inside its open box, which is also what GEOS finds.
bool relation_of(const Operand& a, const Operand& b, planar::Relation r) {
  if (a.curved || b.curved) {
    planar::LinearizationScope scope;
    return planar::relation(a.g, b.g, r);
  }
  if (a.bounded && b.bounded) {
    if (r != planar::Relation::Equals &&
        (a.b.xmax < b.b.xmin || b.b.xmax < a.b.xmin || a.b.ymax < b.b.ymin || b.b.ymax < a.b.ymin))
      return r == planar::Relation::Disjoint;
    if (r == planar::Relation::Contains && a.rectangle && b.g.kind == GeometryKind::Point)
      return rectangle_holds(a, b);
    if (r == planar::Relation::Within && b.rectangle && a.g.kind == GeometryKind::Point)
      return rectangle_holds(b, a);
  }
  return planar::relation(a.g, b.g, r);
}

bool relation_call(QX_GeometryHandle a, QX_GeometryHandle b, planar::Relation r, const char* name,
                   const QX_ErrorHandler* handler) {
  return guarded(handler, name, false, [&] {
    const Geometry& ga = geometry_of(a, "geometry");
    const Geometry& gb = geometry_of(b, "other");
    // Most pairs a collection is asked about lie apart; telling so from the
    // kept extents spares building and consulting the GEOS forms.
    return relation_of(Operand(ga, r), Operand(gb, r), r);
  });
}

double area_of(QX_GeometryHandle geometry) {
  const Geometry& g = geometry_of(geometry);
  return scoped_if_curved({&g}, [&] { return planar::area(g); });
}

double length_of(QX_GeometryHandle geometry) {
  const Geometry& g = geometry_of(geometry);
  return scoped_if_curved({&g}, [&] { return planar::length(g); });
}

double distance_of(const Geometry& a, QX_GeometryHandle other) {
  const Geometry& b = geometry_of(other, "other");
  return scoped_if_curved({&a, &b}, [&] { return planar::distance(a, b); });
}

// A walk over many small geometries waits on memory more than it computes:
// each is reached through its handle, then its record, its parts and its
// vertices, one load after the other.  Fetching these for the geometries
// ahead, one step further each time the walk moves on, lets the loads of
// several geometries overlap.  A walk that reads records only (relations,
// which small geometries mostly answer from the bounds kept in the record)
// fetches no further than the record, both of its first lines.  Inlined by
// force: the compiler takes an out-of-line function that only reads memory
// and prefetches for one without effects, and drops its calls.
enum class Reach { Records, Vertices };

// The stages for the geometries `ahead` = geometries + i: handle 4 steps
// ahead, record 3, parts 2 and vertices 1.  With `left`, the number of
// geometries from `ahead` on, a stage past the end fetches nothing; without
// it, every stage has its geometry (the stretch before the last four steps,
// where the walk spends nearly all its time).
constexpr std::size_t kStep = 8;

template <Reach reach, bool near_end>
[[gnu::always_inline]] inline void fetch_stages(const QX_GeometryHandle* ahead, std::size_t left) {
  const auto has = [&](std::size_t k) { return !near_end || k < left; };
  if (has(4 * kStep)) __builtin_prefetch(ahead[4 * kStep]);
  if (has(3 * kStep) && ahead[3 * kStep]) {
    const char* record = reinterpret_cast<const char*>(ahead[3 * kStep]->geometry.get());
    __builtin_prefetch(record);
    if constexpr (reach == Reach::Records) __builtin_prefetch(record + 64);
  }
  if constexpr (reach == Reach::Vertices) {
    // A prefetch of the null pointer of no parts faults no more than any
    // other prefetch: no check for it.
    if (has(2 * kStep) && ahead[2 * kStep]) __builtin_prefetch(ahead[2 * kStep]->geometry->parts.data());
    if (has(kStep) && ahead[kStep]) {
      const Geometry& g = *ahead[kStep]->geometry;
      if (!g.parts.empty()) __builtin_prefetch(g.parts[0].vertices.xy_data());
    }
  }
}

template <Reach reach>
[[gnu::always_inline]] inline void fetch_ahead(const QX_GeometryHandle* geometries, std::size_t count,
                                               std::size_t i) {
  if (i + 4 * kStep < count) [[likely]]
    fetch_stages<reach, false>(geometries + i, count - i);
  else
    fetch_stages<reach, true>(geometries + i, count - i);
}

// Answers for geometries[0..count) in order with `one(i)`, which returns
// false to stop there, each failure reported under the name of the function
// that answers for one geometry.  The index where the walk stopped: that of
// the geometry that stopped it or failed, or count.
template <Reach reach = Reach::Vertices, class One>
std::size_t each(const QX_GeometryHandle* geometries, std::size_t count, const char* name,
                 const QX_ErrorHandler* handler, One&& one) {
  std::size_t i = 0;
  guarded(handler, name, false, [&] {
    for (; i < count; ++i) {
      fetch_ahead<reach>(geometries, count, i);
      if (!one(i)) break;
    }
    return true;
  });
  return i;
}

const planar::Relation* relation_named(int32_t code) {
  static const planar::Relation relations[] = {planar::Relation::Contains, planar::Relation::Crosses,
                                               planar::Relation::Disjoint, planar::Relation::Intersects,
                                               planar::Relation::Overlaps, planar::Relation::Touches,
                                               planar::Relation::Within};
  static_assert(VASKELITH_WITHIN == sizeof(relations) / sizeof(relations[0]));
  return code >= 1 && code <= VASKELITH_WITHIN ? &relations[code - 1] : nullptr;
}

const char* relation_function(planar::Relation r) {
  switch (r) {
    case planar::Relation::Contains:
      return "QX_GeometryEngine_contains";
    case planar::Relation::Crosses:
      return "QX_GeometryEngine_crosses";
    case planar::Relation::Disjoint:
      return "QX_GeometryEngine_disjoint";
    case planar::Relation::Intersects:
      return "QX_GeometryEngine_intersects";
    case planar::Relation::Overlaps:
      return "QX_GeometryEngine_overlaps";
    case planar::Relation::Touches:
      return "QX_GeometryEngine_touches";
    case planar::Relation::Within:
      return "QX_GeometryEngine_within";
    case planar::Relation::Equals:
      break;
  }
  return "QX_GeometryEngine_equals";
}

QX_GeometryHandle zm_call(QX_GeometryHandle geometry, bool change_z, bool keep_z, double z, bool change_m,
                          bool keep_m, double m, const char* name, const QX_ErrorHandler* handler) {
  return engine_call(handler, name, QX_GeometryHandle{}, [&] {
    return make_handle(planar::set_z_m(geometry_of(geometry), change_z, keep_z, z, change_m, keep_m, m));
  });
}

}  // namespace

extern "C" {

// ---- overlays and topology ----

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_union(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                    const QX_ErrorHandler* handler) {
  return overlay_call(geometry, other, planar::Overlay::Union, "QX_GeometryEngine_union", handler);
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_intersection(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                           const QX_ErrorHandler* handler) {
  return overlay_call(geometry, other, planar::Overlay::Intersection, "QX_GeometryEngine_intersection", handler);
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_difference(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                         const QX_ErrorHandler* handler) {
  return overlay_call(geometry, other, planar::Overlay::Difference, "QX_GeometryEngine_difference", handler);
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_symmetricDifference(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                                  const QX_ErrorHandler* handler) {
  return overlay_call(geometry, other, planar::Overlay::SymmetricDifference, "QX_GeometryEngine_symmetricDifference",
                      handler);
}

QX_EXPORT QX_ArrayHandle QX_GeometryEngine_intersections(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                         const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_intersections", QX_ArrayHandle{}, [&] {
    return array_of(planar::intersections(geometry_of(geometry), geometry_of(other, "other")));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_clip(QX_GeometryHandle geometry, QX_GeometryHandle envelope,
                                                   const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_clip", QX_GeometryHandle{}, [&] {
    return make_handle(
        planar::clip(geometry_of(geometry), typed(envelope, GeometryKind::Envelope, "envelope", "an envelope")));
  });
}

QX_EXPORT QX_ArrayHandle QX_GeometryEngine_cut(QX_GeometryHandle geometry, QX_GeometryHandle cutter,
                                               const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_cut", QX_ArrayHandle{}, [&] {
    return array_of(planar::cut(geometry_of(geometry), typed(cutter, GeometryKind::Polyline, "cutter", "a polyline")));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_combineExtents(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                                             const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_combineExtents", QX_GeometryHandle{}, [&] {
    return make_handle(planar::combine_extents({&geometry_of(geometry), &geometry_of(other, "other")}));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_boundary(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_boundary", QX_GeometryHandle{},
                 [&] { return make_handle(planar::boundary(geometry_of(geometry))); });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_convexHull(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_convexHull", QX_GeometryHandle{},
                 [&] { return make_handle(planar::convex_hull(geometry_of(geometry))); });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_simplify(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_simplify", QX_GeometryHandle{},
                 [&] { return make_handle(planar::simplify(geometry_ptr_of(geometry))); });
}

QX_EXPORT bool QX_GeometryEngine_isSimple(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_isSimple", false, [&] { return planar::is_simple(geometry_of(geometry)); });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_buffer(QX_GeometryHandle geometry, double distance,
                                                     const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_buffer", QX_GeometryHandle{},
                 [&] { return make_handle(planar::buffer(geometry_of(geometry), distance)); });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_densify(QX_GeometryHandle geometry, double max_segment_length,
                                                      const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_densify", QX_GeometryHandle{},
                 [&] { return make_handle(planar::densify(geometry_of(geometry), max_segment_length)); });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_generalize(QX_GeometryHandle geometry, bool remove_degenerate_parts,
                                                         double max_deviation, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_generalize", QX_GeometryHandle{}, [&] {
    return make_handle(planar::generalize(geometry_of(geometry), max_deviation, remove_degenerate_parts));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_normalizeCentralMeridian(QX_GeometryHandle geometry,
                                                                       const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_normalizeCentralMeridian", QX_GeometryHandle{}, [&]() -> QX_GeometryHandle {
    GeometryPtr g = planar::normalize_central_meridian(geometry_of(geometry));
    return g ? make_handle(std::move(g)) : nullptr;
  });
}

// ---- relations and distance ----

QX_EXPORT bool QX_GeometryEngine_contains(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                          const QX_ErrorHandler* handler) {
  return relation_call(geometry, other, planar::Relation::Contains, "QX_GeometryEngine_contains", handler);
}
QX_EXPORT bool QX_GeometryEngine_crosses(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                         const QX_ErrorHandler* handler) {
  return relation_call(geometry, other, planar::Relation::Crosses, "QX_GeometryEngine_crosses", handler);
}
QX_EXPORT bool QX_GeometryEngine_disjoint(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                          const QX_ErrorHandler* handler) {
  return relation_call(geometry, other, planar::Relation::Disjoint, "QX_GeometryEngine_disjoint", handler);
}
QX_EXPORT bool QX_GeometryEngine_equals(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                        const QX_ErrorHandler* handler) {
  return relation_call(geometry, other, planar::Relation::Equals, "QX_GeometryEngine_equals", handler);
}
QX_EXPORT bool QX_GeometryEngine_intersects(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                            const QX_ErrorHandler* handler) {
  return relation_call(geometry, other, planar::Relation::Intersects, "QX_GeometryEngine_intersects", handler);
}
QX_EXPORT bool QX_GeometryEngine_overlaps(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                          const QX_ErrorHandler* handler) {
  return relation_call(geometry, other, planar::Relation::Overlaps, "QX_GeometryEngine_overlaps", handler);
}
QX_EXPORT bool QX_GeometryEngine_touches(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                         const QX_ErrorHandler* handler) {
  return relation_call(geometry, other, planar::Relation::Touches, "QX_GeometryEngine_touches", handler);
}
QX_EXPORT bool QX_GeometryEngine_within(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                        const QX_ErrorHandler* handler) {
  return relation_call(geometry, other, planar::Relation::Within, "QX_GeometryEngine_within", handler);
}

QX_EXPORT bool QX_GeometryEngine_relate(QX_GeometryHandle geometry, QX_GeometryHandle other, const char* relation,
                                        const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_relate", false, [&] {
    if (relation == nullptr) fail(kNullHandle, "The relation is null.");
    return planar::relate(geometry_of(geometry), geometry_of(other, "other"), relation);
  });
}

QX_EXPORT double QX_GeometryEngine_distance(QX_GeometryHandle geometry, QX_GeometryHandle other,
                                            const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_distance", kNaN,
                 [&] { return distance_of(geometry_of(geometry), other); });
}

// ---- measurement ----

QX_EXPORT double QX_GeometryEngine_area(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_area", kNaN, [&] { return area_of(geometry); });
}

QX_EXPORT double QX_GeometryEngine_length(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return guarded(handler, "QX_GeometryEngine_length", kNaN, [&] { return length_of(geometry); });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_labelPoint(QX_GeometryHandle polygon, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_labelPoint", QX_GeometryHandle{},
                 [&] { return make_handle(planar::label_point(areal(polygon, "polygon"))); });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_createPointAlong(QX_GeometryHandle polyline, double distance,
                                                               const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_createPointAlong", QX_GeometryHandle{}, [&] {
    return make_handle(planar::point_along(typed(polyline, GeometryKind::Polyline, "polyline", "a polyline"), distance));
  });
}

QX_EXPORT double QX_GeometryEngine_fractionAlong(QX_GeometryHandle polyline, QX_GeometryHandle point,
                                                 double tolerance, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_fractionAlong", kNaN, [&] {
    return planar::fraction_along(typed(polyline, GeometryKind::Polyline, "polyline", "a polyline"),
                                  typed(point, GeometryKind::Point, "point", "a point"), tolerance);
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_extend(QX_GeometryHandle polyline, QX_GeometryHandle extender,
                                                     uint32_t extend_options, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_extend", QX_GeometryHandle{}, [&]() -> QX_GeometryHandle {
    GeometryPtr g = planar::extend(typed(polyline, GeometryKind::Polyline, "polyline", "a polyline"),
                                   typed(extender, GeometryKind::Polyline, "extender", "a polyline"), extend_options);
    return g ? make_handle(std::move(g)) : nullptr;
  });
}

// ---- transformations and z/m ----

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_move(QX_GeometryHandle geometry, double delta_x, double delta_y,
                                                   const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_move", QX_GeometryHandle{},
                 [&] { return make_handle(planar::move(geometry_of(geometry), delta_x, delta_y)); });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_rotate(QX_GeometryHandle geometry, QX_GeometryHandle origin,
                                                     double angle, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_rotate", QX_GeometryHandle{}, [&] {
    const Geometry* o = origin ? &typed(origin, GeometryKind::Point, "origin", "a point") : nullptr;
    return make_handle(planar::rotate(geometry_of(geometry), o, angle));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_scale(QX_GeometryHandle geometry, QX_GeometryHandle origin,
                                                    double scale_x, double scale_y, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_scale", QX_GeometryHandle{}, [&] {
    const Geometry* o = origin ? &typed(origin, GeometryKind::Point, "origin", "a point") : nullptr;
    return make_handle(planar::scale(geometry_of(geometry), o, scale_x, scale_y));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_setZ(QX_GeometryHandle geometry, double z,
                                                   const QX_ErrorHandler* handler) {
  return zm_call(geometry, true, true, z, false, false, 0, "QX_GeometryEngine_setZ", handler);
}
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_setM(QX_GeometryHandle geometry, double m,
                                                   const QX_ErrorHandler* handler) {
  return zm_call(geometry, false, false, 0, true, true, m, "QX_GeometryEngine_setM", handler);
}
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_setZAndM(QX_GeometryHandle geometry, double z, double m,
                                                       const QX_ErrorHandler* handler) {
  return zm_call(geometry, true, true, z, true, true, m, "QX_GeometryEngine_setZAndM", handler);
}
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_removeZ(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return zm_call(geometry, true, false, 0, false, false, 0, "QX_GeometryEngine_removeZ", handler);
}
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_removeM(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return zm_call(geometry, false, false, 0, true, false, 0, "QX_GeometryEngine_removeM", handler);
}
QX_EXPORT QX_GeometryHandle QX_GeometryEngine_removeZAndM(QX_GeometryHandle geometry, const QX_ErrorHandler* handler) {
  return zm_call(geometry, true, false, 0, true, false, 0, "QX_GeometryEngine_removeZAndM", handler);
}

// ---- collections ----

QX_EXPORT QX_ArrayHandle QX_GeometryEngine_bufferCollection(QX_VectorHandle geometries, QX_VectorHandle distances,
                                                            bool union_result, const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_bufferCollection", QX_ArrayHandle{}, [&] {
    return array_of(planar::buffer_collection(geometries_of(geometries, "geometries"),
                                              numbers_of(distances, "distances"), union_result));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_unionCollection(QX_VectorHandle geometries,
                                                              const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_unionCollection", QX_GeometryHandle{},
                 [&] { return make_handle(planar::union_collection(geometries_of(geometries, "geometries"))); });
}

QX_EXPORT QX_ArrayHandle QX_GeometryEngine_convexHullCollection(QX_VectorHandle geometries, bool merge,
                                                                const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_convexHullCollection", QX_ArrayHandle{}, [&] {
    return array_of(planar::convex_hull_collection(geometries_of(geometries, "geometries"), merge));
  });
}

QX_EXPORT QX_GeometryHandle QX_GeometryEngine_combineExtentsCollection(QX_VectorHandle geometries,
                                                                       const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_combineExtentsCollection", QX_GeometryHandle{}, [&] {
    const std::vector<GeometryPtr> gs = geometries_of(geometries, "geometries");
    std::vector<const Geometry*> raw;
    for (const auto& g : gs) raw.push_back(g.get());
    return make_handle(planar::combine_extents(raw));
  });
}

QX_EXPORT QX_ArrayHandle QX_GeometryEngine_autoComplete(QX_VectorHandle existing_boundaries,
                                                        QX_VectorHandle new_boundaries,
                                                        const QX_ErrorHandler* handler) {
  return engine_call(handler, "QX_GeometryEngine_autoComplete", QX_ArrayHandle{}, [&] {
    return array_of(planar::auto_complete(geometries_of(existing_boundaries, "existing boundaries"),
                                          geometries_of(new_boundaries, "new boundaries")));
  });
}

// ---- one question of many geometries (internal: the module's collection functions) ----

QX_EXPORT size_t vaskelith_each_area(const QX_GeometryHandle* geometries, size_t count, double* results,
                                     const QX_ErrorHandler* handler) {
  return each(geometries, count, "QX_GeometryEngine_area", handler, [&](std::size_t i) {
    // A polygon of one straight ring, measured as planar::area measures it,
    // without the calls.
    const QX_GeometryHandle h = geometries[i];
    const Geometry* g = h ? h->geometry.get() : nullptr;
    if (g && g->kind == GeometryKind::Polygon && g->parts.size() == 1 && g->parts[0].curves.empty())
      results[i] = std::fabs(planar::straight_ring_signed_area(g->parts[0]));
    else
      results[i] = area_of(h);
    return true;
  });
}

QX_EXPORT size_t vaskelith_each_length(const QX_GeometryHandle* geometries, size_t count, double* results,
                                       const QX_ErrorHandler* handler) {
  return each(geometries, count, "QX_GeometryEngine_length", handler, [&](std::size_t i) {
    // Straight parts measured as planar::length measures them,
    // without the calls.
    const QX_GeometryHandle h = geometries[i];
    const Geometry* g = h ? h->geometry.get() : nullptr;
    if (g && g->is_multipart()) {
      const bool closed = g->closed();
      const Part* p = g->parts.data();
      const Part* const end = p + g->parts.size();
      // One part, the common case of a walk over small shapes, on its own:
      // the loop over parts would keep the walk's own values in memory.
      if (end - p == 1 && p->curves.empty()) {
        results[i] = planar::straight_part_length(*p, closed);
        return true;
      }
      double total = 0;
      for (; p != end && p->curves.empty(); ++p) total += planar::straight_part_length(*p, closed);
      if (p == end) {
        results[i] = total;
        return true;
      }
    }
    results[i] = length_of(h);
    return true;
  });
}

QX_EXPORT size_t vaskelith_each_distance(QX_GeometryHandle geometry, const QX_GeometryHandle* others,
                                         size_t count, double* results, const QX_ErrorHandler* handler) {
  return each(others, count, "QX_GeometryEngine_distance", handler,
              [&, a = (const Geometry*)nullptr](std::size_t i) mutable {
                if (a == nullptr) a = &geometry_of(geometry);
                results[i] = distance_of(*a, others[i]);
                return true;
              });
}

QX_EXPORT size_t vaskelith_each_relation(QX_GeometryHandle geometry, const QX_GeometryHandle* others,
                                         size_t count, int32_t relation, bool others_first, bool stop_at,
                                         const QX_ErrorHandler* handler) {
  const planar::Relation* r = relation_named(relation);
  if (r == nullptr) {
    report(handler, kInvalidArgument, "Unknown relation code.", std::to_string(relation));
    return 0;
  }
  std::optional<Operand> fixed;
  return each<Reach::Records>(others, count, relation_function(*r), handler, [&](std::size_t i) {
    if (!fixed) fixed.emplace(geometry_of(geometry, others_first ? "other" : "geometry"), *r);
    const Operand item(geometry_of(others[i], others_first ? "geometry" : "other"), *r);
    const bool answer = others_first ? relation_of(item, *fixed, *r) : relation_of(*fixed, item, *r);
    return answer != stop_at;
  });
}

}  // extern "C"
