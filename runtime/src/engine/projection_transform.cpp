#include "engine/projection_transform.hpp"

#include <cfloat>
#include <cmath>
#include <limits>
#include <cstddef>
#include <string_view>
#include <tuple>
#include <utility>

#include "bounded_store.hpp"
#include "engine/planar_curves.hpp"
#include "errors.hpp"

namespace vaskelith::projection {

namespace {

// Operations are costly to create (a database search each time) and cheap to
// reuse; a geometry call transforms its vertices in one batch through one.
// Keyed by the text of both CRSs, where nothing shorter names them.
BoundedStore<std::pair<std::string, std::string>, OperationPtr>& operation_store() {
  static BoundedStore<std::pair<std::string, std::string>, OperationPtr> kept;
  return kept;
}

std::string key_of(const PJ* crs) {
  const char* wkt = proj_as_wkt(proj_context(), crs, PJ_WKT2_2019, nullptr);
  return wkt ? std::string(wkt) : std::string();
}

// Spatial references carry their id or text already: they key the
// operations between them without writing a CRS out (which costs a good
// part of a projection), and are looked up without copying the text.
using PairKey = std::tuple<int32_t, std::string, int32_t, std::string>;
using PairView = std::tuple<int32_t, std::string_view, int32_t, std::string_view>;

BoundedStore<PairKey, OperationPtr>& pair_store() {
  static BoundedStore<PairKey, OperationPtr> kept;
  return kept;
}

// The way from a reference's plane to its geographic base, keyed by the
// reference alone.
using OneKey = std::tuple<int32_t, std::string>;
using OneView = std::tuple<int32_t, std::string_view>;

BoundedStore<OneKey, OperationPtr>& base_store() {
  static BoundedStore<OneKey, OperationPtr> kept;
  return kept;
}

// PROJ's default operation between two CRSs, or the runtime's own where PROJ
// needs help; made afresh.
OperationPtr make_operation(const PJ* from, const PJ* to) {
  if (OperationPtr op = spherical_equal_area_operation(from, to)) return op;
  return std::make_shared<const Operation>(create_default_operation(from, to));
}

}  // namespace

std::string last_proj_error() {
  const int err = proj_context_errno(proj_context());
  const char* text = err ? proj_context_errno_string(proj_context(), err) : nullptr;
  return text ? std::string(text) : std::string("unknown projection error");
}

void Operation::apply(std::span<const Coords> runs, PJ_DIRECTION direction) const {
  if (direction == PJ_INV) {
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it)
      apply_step(it->first.get(), runs, it->second == PJ_FWD ? PJ_INV : PJ_FWD);
  } else {
    for (const auto& [op, dir] : steps_) apply_step(op.get(), runs, direction == PJ_IDENT ? PJ_IDENT : dir);
  }
}

void Operation::apply(std::vector<double>& x, std::vector<double>& y, PJ_DIRECTION direction) const {
  const Coords run{x.data(), y.data(), sizeof(double), x.size()};
  apply(std::span<const Coords>(&run, 1), direction);
}

namespace {

// Whether every x and y of the run is a finite number, in one pass.  The
// test folds into a flag rather than leaving the loop at the first miss, so
// that the compiler can run it over several numbers at a time; a miss is
// the rare case.
bool all_finite(const Coords& c) {
  bool ok = true;
  if (c.stride == 2 * sizeof(double) && c.y == c.x + 1) {
    const double* v = c.x;
    for (std::size_t i = 0; i < 2 * c.n; ++i) ok &= std::fabs(v[i]) <= DBL_MAX;
    return ok;
  }
  const auto* x = reinterpret_cast<const std::byte*>(c.x);
  const auto* y = reinterpret_cast<const std::byte*>(c.y);
  for (std::size_t i = 0; i < c.n; ++i, x += c.stride, y += c.stride)
    ok &= std::fabs(*reinterpret_cast<const double*>(x)) <= DBL_MAX &&
          std::fabs(*reinterpret_cast<const double*>(y)) <= DBL_MAX;
  return ok;
}

}  // namespace

void Operation::apply_step(PJ* op, std::span<const Coords> runs, PJ_DIRECTION direction) {
  // One error state for the whole batch, as if its runs were one array.
  proj_errno_reset(op);
  for (const Coords& c : runs)
    if (c.n)
      proj_trans_generic(op, direction, c.x, c.stride, c.n, c.y, c.stride, c.n, nullptr, 0, 0, nullptr, 0, 0);
  for (const Coords& c : runs) {
    if (all_finite(c)) continue;
    const int err = proj_errno(op);
    const char* why = err ? proj_context_errno_string(proj_context(), err) : nullptr;
    fail(kProjection, "The coordinates cannot be projected.",
         why ? why : "point outside the projection's domain");
  }
}

PjPtr create_default_operation(const PJ* from, const PJ* to) {
  PJ_CONTEXT* ctx = proj_context();
  PjPtr raw(
      proj_or_out_of_memory([&] { return proj_create_crs_to_crs_from_pj(ctx, from, to, nullptr, nullptr); }));
  if (!raw)
    fail(kProjection, "No transformation between the spatial references is known.", last_proj_error());
  PjPtr norm(proj_or_out_of_memory([&] { return proj_normalize_for_visualization(ctx, raw.get()); }));
  if (!norm)
    fail(kProjection, "No transformation between the spatial references is known.", last_proj_error());
  return norm;
}

OperationPtr default_operation(const PJ* from, const PJ* to) {
  return operation_store().get(std::make_pair(key_of(from), key_of(to)),
                               [&] { return make_operation(from, to); });
}

OperationPtr default_operation(const SpatialReference& from, const SpatialReference& to) {
  return pair_store().get(PairView{from.wkid, from.own_text(), to.wkid, to.own_text()},
                          [&] { return make_operation(from.crs.get(), to.crs.get()); });
}

namespace {

// The last pair asked for by object.  It holds the two references, so that
// their addresses cannot come back as other references while it stands; it
// answers what the pair cache answered for them, and goes with it.
struct LastPair {
  SpatialReferencePtr from, to;
  OperationPtr op;
};

LastPair& last_pair() {
  static LastPair last;
  return last;
}

}  // namespace

OperationPtr default_operation(const SpatialReferencePtr& from, const SpatialReferencePtr& to) {
  LastPair& last = last_pair();
  if (last.op && last.from == from && last.to == to) return last.op;
  OperationPtr op = default_operation(*from, *to);
  last = LastPair{from, to, op};
  return op;
}

PjPtr geographic_base(const SpatialReference& sr) {
  PjPtr base(proj_crs_get_geodetic_crs(proj_context(), sr.crs.get()));
  if (!base)
    fail(kProjection, "The spatial reference has no geographic coordinate system.", last_proj_error());
  return base;
}

OperationPtr plane_to_lonlat(const SpatialReference& sr) {
  if (sr.geographic) return nullptr;
  return base_store().get(OneView{sr.wkid, sr.own_text()}, [&] {
    PjPtr base = geographic_base(sr);
    return make_operation(sr.crs.get(), base.get());
  });
}

void clear_operation_cache() {
  operation_store().clear();
  pair_store().clear();
  base_store().clear();
  last_pair() = LastPair{};
  clear_projection_routes();
}

namespace {

// Points strictly inside one curved segment.
void flatten_segment(const SegmentView& s, std::vector<Vertex>& out, double arc_step) {
  const Curve& c = *s.curve;
  int n = 0;
  if (c.kind == SegmentKind::EllipticArc) {
    // A chord per degree of sweep stays within 4e-5 of the radius from the
    // arc, and falls short of its length by 1.3e-5.
    n = clamped_cast(std::ceil(std::fabs(c.arc.sweep) / arc_step), 4, std::numeric_limits<int>::max());
  } else if (c.kind == SegmentKind::CubicBezier) {
    n = clamped_cast(std::ceil(kPi / arc_step), 64, std::numeric_limits<int>::max());
  }
  for (int k = 1; k < n; ++k) out.push_back(planar::segment_point(s, static_cast<double>(k) / n));
}

}  // namespace

std::vector<Vertex> flatten_part(const Part& part, bool closed, double arc_step) {
  if (!part.has_curves()) return part.vertices.to_vector();
  std::vector<Vertex> out;
  const std::size_t n = part.size();
  if (n == 0) return out;
  out.push_back(part.vertices[0]);
  const std::size_t segs = part.segment_count(closed);
  for (std::size_t i = 0; i < segs; ++i) {
    const SegmentView s = part.segment(i, closed);
    flatten_segment(s, out, arc_step);
    if (i + 1 < n) out.push_back(part.vertices[i + 1]);
  }
  return out;
}

}  // namespace vaskelith::projection
