// Projection of geometries between spatial references, with PROJ's default
// operation or through a chosen datum transformation.
//
// Vertices are transformed one for one; true curves are first replaced by
// chords (a projected arc is no arc), and an envelope by its densified
// outline, whose projected extent is the result.  Z and m values travel
// unchanged.
#include <cmath>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/geos_convert.hpp"
#include "engine/projection_transform.hpp"
#include "bounded_store.hpp"
#include "errors.hpp"
#include "transformation_datum.hpp"

namespace vaskelith::projection {

namespace {

// One operation of a projection, run in its direction.  A projection is a
// short chain of them (three at most), held by the caller.
struct Step {
  const Operation* op;
  PJ_DIRECTION dir;
};

void run(std::span<const Step> steps, std::span<const Coords> runs) {
  for (const Step& s : steps) s.op->apply(runs, s.dir);
}

// The x and y of an array of vertices, in place.
Coords coords_of(std::vector<Vertex>& v) { return {&v.data()->x, &v.data()->y, sizeof(Vertex), v.size()}; }

// The envelope's outline, 64 points a side.
std::vector<Vertex> outline(const EnvelopeBounds& e) {
  std::vector<Vertex> out;
  const int n = 64;
  out.reserve(4 * n);
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / n;
    out.push_back(Vertex{e.xmin, e.ymin + (e.ymax - e.ymin) * t, kNaN, kNaN});
    out.push_back(Vertex{e.xmin + (e.xmax - e.xmin) * t, e.ymax, kNaN, kNaN});
    out.push_back(Vertex{e.xmax, e.ymax - (e.ymax - e.ymin) * t, kNaN, kNaN});
    out.push_back(Vertex{e.xmax - (e.xmax - e.xmin) * t, e.ymin, kNaN, kNaN});
  }
  return out;
}

// The result's parts, made once: each a copy of the source's vertices (its
// curves replaced by chords) that PROJ then transforms where they lie, every
// part in the one batch.
void project_parts(const Geometry& g, std::span<const Step> steps, std::vector<Part>& parts) {
  parts.reserve(g.parts.size());
  for (const Part& p : g.parts) {
    Part& q = parts.emplace_back();
    q.vertices = p.curves.empty() ? p.vertices : VertexList(flatten_part(p, g.closed()));
  }
  std::vector<Coords> runs;
  runs.reserve(parts.size());
  for (Part& q : parts) {
    double* xy = q.vertices.xy_data();
    runs.push_back({xy, xy + 1, 2 * sizeof(double), q.vertices.size()});
  }
  run(steps, runs);
}

GeometryPtr project_with(const Geometry& g, const SpatialReferencePtr& target, std::span<const Step> steps) {
  if (g.is_empty()) {
    auto out = std::make_shared<Geometry>(g);
    out->spatial_reference = target;
    return out;
  }
  auto out = std::make_shared<Geometry>(header_of(g, g.kind));
  out->spatial_reference = target;
  switch (g.kind) {
    case GeometryKind::Point: {
      out->point = g.point;
      const Coords c{&out->point.x, &out->point.y, sizeof(Vertex), 1};
      run(steps, {&c, 1});
      break;
    }
    case GeometryKind::Multipoint: {
      out->points = g.points;
      const Coords c = coords_of(out->points);
      run(steps, {&c, 1});
      break;
    }
    case GeometryKind::Envelope: {
      std::vector<Vertex> v = outline(g.envelope);
      const Coords c = coords_of(v);
      run(steps, {&c, 1});
      EnvelopeBounds b = g.envelope;
      b.xmin = b.ymin = HUGE_VAL;
      b.xmax = b.ymax = -HUGE_VAL;
      for (const Vertex& p : v) {
        b.xmin = std::min(b.xmin, p.x);
        b.xmax = std::max(b.xmax, p.x);
        b.ymin = std::min(b.ymin, p.y);
        b.ymax = std::max(b.ymax, p.y);
      }
      out->envelope = b;
      break;
    }
    case GeometryKind::Polyline:
    case GeometryKind::Polygon:
      project_parts(g, steps, out->parts);
      // A target whose axes run west or south mirrors the rings; they are
      // turned back to the engine's orientation.
      if (g.kind == GeometryKind::Polygon) planar::orient_rings(out->parts);
      break;
  }
  return out;
}

// The horizontal part of a CRS (itself unless compound), as a new PJ.
PjPtr horizontal_of(const PJ* crs) {
  PJ_CONTEXT* ctx = proj_context();
  if (proj_get_type(crs) == PJ_TYPE_COMPOUND_CRS) return PjPtr(proj_crs_get_sub_crs(ctx, crs, 0));
  return PjPtr(proj_clone(ctx, crs));
}

// Whether w was made from p: the same object, told by its control block,
// which w keeps from being reused.
template <class T>
bool same_owner(const std::weak_ptr<T>& w, const std::shared_ptr<T>& p) {
  return !w.owner_before(p) && !p.owner_before(w);
}

// How a datum transformation carries a geometry's reference to a target:
// into the transformation's start (or end), through it, and on to the
// target.  Finding the way asks PROJ for a handful of CRSs and operations
// and writes four of them out as text, which costs far more than
// transforming a few points, so each way found is kept.
struct Route {
  std::weak_ptr<const Operation> through;  // the transformation's operation
  OperationPtr enter;
  PJ_DIRECTION dir;
  OperationPtr leave;
};
// Keyed like the operations between references (id and text of each) and
// by the transformation's operation, whose kept weak pointer tells a reused
// address apart.
using RouteKey = std::tuple<int32_t, std::string, int32_t, std::string, const Operation*>;
using RouteView = std::tuple<int32_t, std::string_view, int32_t, std::string_view, const Operation*>;

BoundedStore<RouteKey, std::shared_ptr<const Route>>& routes() {
  static BoundedStore<RouteKey, std::shared_ptr<const Route>> kept;
  return kept;
}

Route find_route(const SpatialReference& from, const SpatialReference& target, const DatumTransformation& t) {
  PJ_CONTEXT* ctx = proj_context();
  const PjPtr source(proj_get_source_crs(ctx, t.operation->get()));
  const PjPtr dest(proj_get_target_crs(ctx, t.operation->get()));
  if (!source || !dest) fail(kProjection, "The datum transformation names no coordinate systems.");
  const PjPtr source_h = horizontal_of(source.get());
  const PjPtr dest_h = horizontal_of(dest.get());
  const PjPtr from_base = geographic_base(from);
  // The transformation runs forward when it starts in the geometry's datum,
  // and backward when it ends there.
  PJ_DIRECTION dir;
  const PJ* enter;
  const PJ* leave;
  if (same_crs(from_base.get(), source_h.get())) {
    dir = PJ_FWD;
    enter = source_h.get();
    leave = dest_h.get();
  } else if (same_crs(from_base.get(), dest_h.get())) {
    dir = PJ_INV;
    enter = dest_h.get();
    leave = source_h.get();
  } else {
    fail(kInvalidArgument,
         "The datum transformation neither starts nor ends in the geographic coordinate system of the "
         "geometry.");
  }
  OperationPtr in = default_operation(from.crs.get(), enter);
  return {t.operation, std::move(in), dir, default_operation(leave, target.crs.get())};
}

std::shared_ptr<const Route> route_of(const SpatialReference& from, const SpatialReference& target,
                                      const DatumTransformation& t) {
  auto& kept = routes();
  const RouteView view{from.wkid, from.own_text(), target.wkid, target.own_text(), t.operation.get()};
  std::shared_ptr<const Route> route = kept.find(view);
  if (route && same_owner(route->through, t.operation)) return route;
  route = std::make_shared<const Route>(find_route(from, target, t));
  kept.put(RouteKey(view), route);
  return route;
}

GeometryPtr project(const Geometry& g, const SpatialReferencePtr& target) {
  if (!target) fail(kInvalidArgument, "The target spatial reference is null.");
  // Without a spatial reference the coordinates are taken to be in the
  // target's already.
  if (!g.spatial_reference || g.spatial_reference->same_as(*target)) {
    auto out = std::make_shared<Geometry>(g);
    out->spatial_reference = target;
    return out;
  }
  const OperationPtr op = default_operation(g.spatial_reference, target);
  const Step step{op.get(), PJ_FWD};
  return project_with(g, target, {&step, 1});
}

GeometryPtr project(const Geometry& g, const SpatialReferencePtr& target, const DatumTransformation& t) {
  if (!target) fail(kInvalidArgument, "The target spatial reference is null.");
  if (!g.spatial_reference) {
    auto out = std::make_shared<Geometry>(g);
    out->spatial_reference = target;
    return out;
  }
  const std::shared_ptr<const Route> route = route_of(*g.spatial_reference, *target, t);
  // PROJ runs an operation whose grids it cannot find as far as it can:
  // some fail on every point, others leave every point where it was.  Both
  // are the same answer to the caller, given before anything is moved.
  if (t.missing_files && !g.is_empty())
    fail(kProjection, "The datum transformation needs grid files that the projection engine cannot find.",
         missing_grids(t));
  const Step steps[] = {
      {route->enter.get(), PJ_FWD}, {t.operation.get(), route->dir}, {route->leave.get(), PJ_FWD}};
  return project_with(g, target, steps);
}

}  // namespace

GeometryPtr project_geometry(const Geometry& g, const SpatialReferencePtr& target) {
  return project(g, target);
}

std::vector<GeometryPtr> project_geometries(std::span<const Geometry* const> geometries,
                                            const SpatialReferencePtr& target) {
  std::vector<GeometryPtr> out;
  out.reserve(geometries.size());
  // A point whose coordinates PROJ moves, in a run of such points.
  const auto batched = [&](const Geometry& g, const SpatialReferencePtr& sr) {
    return g.kind == GeometryKind::Point && !g.is_empty() && g.spatial_reference == sr;
  };
  // The points of a run, copied in one pass over the geometries and moved
  // by PROJ where they lie; the results are made from them, each a copy of
  // one header (copying it writes only its members, where making a
  // geometry afresh would clear all of it first).
  std::vector<Vertex> run;
  Geometry header;
  header.spatial_reference = target;
  for (std::size_t i = 0; i < geometries.size();) {
    const Geometry& g = *geometries[i];
    const SpatialReferencePtr& sr = g.spatial_reference;
    if (!target || !batched(g, sr) || !sr || sr->same_as(*target)) {
      out.push_back(project(g, target));
      ++i;
      continue;
    }
    run.clear();
    run.reserve(geometries.size() - i);
    std::size_t end = i;
    for (; end < geometries.size() && batched(*geometries[end], sr); ++end) run.push_back(geometries[end]->point);
    // As project() runs it for each point: the same operation, a failure at
    // the first point outside its domain.
    const Coords c = coords_of(run);
    default_operation(sr, target)->apply({&c, 1});
    for (std::size_t k = i; k < end; ++k) {
      auto p = std::make_shared<Geometry>(header);
      p->has_z = geometries[k]->has_z;
      p->has_m = geometries[k]->has_m;
      p->point = run[k - i];
      out.push_back(std::move(p));
    }
    i = end;
  }
  return out;
}

void clear_projection_routes() { routes().clear(); }

GeometryPtr project_geometry(const Geometry& g, const SpatialReferencePtr& target,
                             const DatumTransformation& t) {
  return project(g, target, t);
}

}  // namespace vaskelith::projection
