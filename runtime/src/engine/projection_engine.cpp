// Projection of geometries between spatial references, with PROJ's default
// operation or through a chosen datum transformation.
//
// Vertices are transformed one for one; true curves are first replaced by
// chords (a projected arc is no arc), and an envelope by its densified
// outline, whose projected extent is the result.  Z and m values travel
// unchanged.
#include <cmath>
#include <functional>
#include <vector>

#include "engine/geos_convert.hpp"
#include "engine/projection_transform.hpp"
#include "errors.hpp"
#include "transformation_datum.hpp"

namespace vaskelith::projection {

namespace {

// Transforms every x/y of the vectors through a chain of steps.
using Step = std::function<void(std::vector<double>&, std::vector<double>&, std::vector<double>&)>;

void run(const std::vector<Step>& steps, std::vector<double>& x, std::vector<double>& y) {
  std::vector<double> z;  // no step carries heights
  for (const Step& s : steps) s(x, y, z);
}

void transform_vertices(const std::vector<Step>& steps, std::vector<Vertex>& v) {
  std::vector<double> x(v.size()), y(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    x[i] = v[i].x;
    y[i] = v[i].y;
  }
  run(steps, x, y);
  for (std::size_t i = 0; i < v.size(); ++i) {
    v[i].x = x[i];
    v[i].y = y[i];
  }
}

// The envelope's outline, 64 points a side.
std::vector<Vertex> outline(const EnvelopeBounds& e) {
  std::vector<Vertex> out;
  const int n = 64;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / n;
    out.push_back(Vertex{e.xmin, e.ymin + (e.ymax - e.ymin) * t, kNaN, kNaN});
    out.push_back(Vertex{e.xmin + (e.xmax - e.xmin) * t, e.ymax, kNaN, kNaN});
    out.push_back(Vertex{e.xmax, e.ymax - (e.ymax - e.ymin) * t, kNaN, kNaN});
    out.push_back(Vertex{e.xmax - (e.xmax - e.xmin) * t, e.ymin, kNaN, kNaN});
  }
  return out;
}

// Transforms the vertices of every part in one batch: a call to PROJ costs
// far more than the few points most parts hold.
void transform_parts(const std::vector<Step>& steps, std::vector<Part>& parts) {
  std::size_t total = 0;
  for (const Part& p : parts) total += p.vertices.size();
  std::vector<double> x, y;
  x.reserve(total);
  y.reserve(total);
  for (const Part& p : parts)
    for (const Vertex& v : p.vertices) {
      x.push_back(v.x);
      y.push_back(v.y);
    }
  run(steps, x, y);
  std::size_t k = 0;
  for (Part& p : parts)
    for (std::size_t i = 0; i < p.vertices.size(); ++i, ++k) p.vertices.set_xy(i, x[k], y[k]);
}

GeometryPtr project_with(const Geometry& g, const SpatialReferencePtr& target,
                         const std::vector<Step>& steps) {
  auto out = std::make_shared<Geometry>(g);
  out->spatial_reference = target;
  if (g.is_empty()) return out;
  switch (g.kind) {
    case GeometryKind::Point: {
      std::vector<Vertex> v{g.point};
      transform_vertices(steps, v);
      out->point = v.front();
      break;
    }
    case GeometryKind::Multipoint:
      transform_vertices(steps, out->points);
      break;
    case GeometryKind::Envelope: {
      std::vector<Vertex> v = outline(g.envelope);
      transform_vertices(steps, v);
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
      for (Part& p : out->parts) {
        if (!p.curves.empty()) p.vertices = VertexList(flatten_part(p, g.closed()));
        p.curves.clear();
      }
      transform_parts(steps, out->parts);
      // A target whose axes run west or south mirrors the rings; they are
      // turned back to the engine's orientation.
      if (g.kind == GeometryKind::Polygon) planar::orient_rings(out->parts);
      break;
  }
  return out;
}

Step operation_step(OperationPtr op, PJ_DIRECTION dir) {
  return [op, dir](std::vector<double>& x, std::vector<double>& y, std::vector<double>&) {
    op->apply(x, y, dir);
  };
}

// The horizontal part of a CRS (itself unless compound), as a new PJ.
PjPtr horizontal_of(const PJ* crs) {
  PJ_CONTEXT* ctx = proj_context();
  if (proj_get_type(crs) == PJ_TYPE_COMPOUND_CRS) return PjPtr(proj_crs_get_sub_crs(ctx, crs, 0));
  return PjPtr(proj_clone(ctx, crs));
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
  if (g.kind == GeometryKind::Point) {
    // What project_with does for a point, without the chain of steps and
    // its allocations, which a point projected alone mostly consists of.
    auto out = std::make_shared<Geometry>(g);
    out->spatial_reference = target;
    if (g.is_empty()) return out;
    std::vector<double> x{g.point.x}, y{g.point.y};
    op->apply(x, y, PJ_FWD);
    out->point.x = x[0];
    out->point.y = y[0];
    return out;
  }
  return project_with(g, target, {operation_step(op, PJ_FWD)});
}

GeometryPtr project(const Geometry& g, const SpatialReferencePtr& target, const DatumTransformation& t) {
  if (!target) fail(kInvalidArgument, "The target spatial reference is null.");
  if (!g.spatial_reference) {
    auto out = std::make_shared<Geometry>(g);
    out->spatial_reference = target;
    return out;
  }
  PJ_CONTEXT* ctx = proj_context();
  const PjPtr source(proj_get_source_crs(ctx, t.operation->get()));
  const PjPtr dest(proj_get_target_crs(ctx, t.operation->get()));
  if (!source || !dest) fail(kProjection, "The datum transformation names no coordinate systems.");
  const PjPtr source_h = horizontal_of(source.get());
  const PjPtr dest_h = horizontal_of(dest.get());
  const PjPtr from_base = geographic_base(*g.spatial_reference);
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
  std::vector<Step> steps;
  steps.push_back(operation_step(default_operation(g.spatial_reference->crs.get(), enter), PJ_FWD));
  steps.push_back(operation_step(t.operation, dir));
  steps.push_back(operation_step(default_operation(leave, target->crs.get()), PJ_FWD));
  try {
    return project_with(g, target, steps);
  } catch (const Failure& f) {
    // PROJ words a missing grid as the failure of the step that needs it.
    if (t.missing_files)
      fail(kProjection, "The datum transformation needs grid files that the projection engine cannot find.",
           f.message + " " + f.additional);
    throw;
  }
}

}  // namespace

GeometryPtr project_geometry(const Geometry& g, const SpatialReferencePtr& target) { return project(g, target); }

GeometryPtr project_geometry(const Geometry& g, const SpatialReferencePtr& target,
                             const DatumTransformation& t) {
  return project(g, target, t);
}

}  // namespace vaskelith::projection
