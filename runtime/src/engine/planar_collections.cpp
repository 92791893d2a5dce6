// Operations over whole collections of geometries.
#include <algorithm>
#include <cmath>

#include "engine/curve_contacts.hpp"
#include "engine/engine_form.hpp"
#include "engine/geos_context.hpp"
#include "engine/geos_convert.hpp"
#include "engine/input_limits.hpp"
#include "engine/planar_ops.hpp"
#include "errors.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

std::vector<GeometryPtr> buffer_collection(const std::vector<GeometryPtr>& gs, const std::vector<double>& distances,
                                           bool union_result) {
  std::vector<GeometryPtr> out;
  if (gs.empty()) return out;
  if (distances.empty()) fail(kInvalidArgument, "At least one buffer distance is needed.");
  for (double d : distances)
    if (!std::isfinite(d)) fail(kInvalidArgument, "The buffer distances must be finite numbers.");
  for (std::size_t i = 0; i < gs.size(); ++i) limits::check_buffer_range(*gs[i], distances[std::min(i, distances.size() - 1)]);
  // The GEOS forms the geometries keep are made first, side by side: made
  // one by one between the buffers, they would stay behind as islands in
  // the room the buffers leave when they are released, and cut it into as
  // many pieces for every later call.  A form that fails is left for the
  // loops below, which meet the failures in their order.  The forms are
  // kept at hand for the buffers, without a second look-up.
  std::vector<const GEOSGeometry*> forms(gs.size(), nullptr);
  for (std::size_t i = 0; i < gs.size(); ++i) {
    if (!keeps_forms(*gs[i])) continue;
    try {
      forms[i] = geos_form(*gs[i]).get();
    } catch (...) {
      break;
    }
  }
  const auto buffer_of = [&](std::size_t i) {
    const double d = distances[std::min(i, distances.size() - 1)];
    return forms[i] ? engine_buffer_of_form(*gs[i], GeosForm(forms[i]), d) : engine_buffer_in_range(*gs[i], d);
  };
  if (!union_result) {
    // Every buffer is made before any is read back: the runtime geometries
    // read from them then do not take the room that GEOS's temporaries for
    // the next buffer would reuse, which otherwise leaves GEOS's allocations
    // searching a heap cut into small pieces.
    std::vector<GeomPtr> buffers;
    buffers.reserve(gs.size());
    for (std::size_t i = 0; i < gs.size(); ++i) buffers.push_back(buffer_of(i));
    out.reserve(gs.size());
    for (std::size_t i = 0; i < gs.size(); ++i)
      out.push_back(read_buffer(std::move(buffers[i]), gs[i]->spatial_reference));
    return out;
  }
  // The buffers stay in GEOS and are dissolved in one pass.
  std::vector<GeomPtr> buffers;
  for (std::size_t i = 0; i < gs.size(); ++i) buffers.push_back(buffer_of(i));
  GeomPtr set = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(buffers));
  GeomPtr merged = geos::take(GEOSUnaryUnion_r(ctx(), set.get()), "union");
  out.push_back(
      read_result(std::move(merged), ResultSpec{GeometryKind::Polygon, false, false, gs[0]->spatial_reference, nullptr}));
  return out;
}

GeometryPtr union_collection(const std::vector<GeometryPtr>& gs) {
  if (gs.empty()) fail(kInvalidArgument, "There are no geometries to unite.");
  int top = 0;
  for (const auto& g : gs) top = std::max(top, dimension(g->kind));
  // Only the geometries of the highest dimension shape the union (see
  // overlay()); the others would only node it.
  std::vector<GeomPtr> members;
  std::vector<const Geometry*> shaping;
  for (const auto& g : gs)
    if (dimension(g->kind) == top) shaping.push_back(g.get());
  mark_circle_contacts(shaping);
  SourceIndex index;
  bool has_z = false, has_m = false;
  for (const auto& g : gs) {
    if (dimension(g->kind) != top) continue;
    members.push_back(geos_form(*g).take());
    index.add(*g);
    has_z = has_z || g->has_z;
    has_m = has_m || g->has_m;
  }
  GeomPtr set = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(members));
  GeomPtr merged = geos::take(GEOSUnaryUnion_r(ctx(), set.get()), "union");
  const GeometryKind kind = top == 0 ? GeometryKind::Multipoint : (top == 1 ? GeometryKind::Polyline : GeometryKind::Polygon);
  return read_result(std::move(merged), ResultSpec{kind, has_z, has_m, gs[0]->spatial_reference, &index});
}

std::vector<GeometryPtr> convex_hull_collection(const std::vector<GeometryPtr>& gs, bool merge) {
  std::vector<GeometryPtr> out;
  if (gs.empty()) return out;
  if (!merge) {
    for (const auto& g : gs) out.push_back(convex_hull(*g));
    return out;
  }
  std::vector<GeomPtr> members;
  SourceIndex index;
  bool has_z = false, has_m = false;
  for (const auto& g : gs) {
    members.push_back(geos_form(*g, false).take());
    index.add(*g);
    has_z = has_z || g->has_z;
    has_m = has_m || g->has_m;
  }
  GeomPtr set = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(members));
  if (GEOSisEmpty_r(ctx(), set.get())) {
    out.push_back(empty_geometry(GeometryKind::Polygon, has_z, has_m, gs[0]->spatial_reference));
    return out;
  }
  GeomPtr hull = geos::take(GEOSConvexHull_r(ctx(), set.get()), "convex hull");
  GeometryKind kind;
  switch (GEOSGeomTypeId_r(ctx(), hull.get())) {
    case GEOS_POINT: kind = GeometryKind::Point; break;
    case GEOS_LINESTRING: kind = GeometryKind::Polyline; break;
    default: kind = GeometryKind::Polygon; break;
  }
  ResultSpec spec{kind, has_z, has_m, gs[0]->spatial_reference, &index};
  spec.merge_lines = false;
  out.push_back(from_geos(hull.get(), spec));
  return out;
}

}  // namespace vaskelith::planar
