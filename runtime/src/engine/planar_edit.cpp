// Cutting, extending and completing polygons from boundary lines.
#include <algorithm>
#include <cmath>

#include "engine/geos_context.hpp"
#include "engine/geos_convert.hpp"
#include "engine/planar_curves.hpp"
#include "engine/planar_ops.hpp"
#include "errors.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

namespace {

// An extension ray meets a segment only beyond this fraction of the
// geometry's scale from its start, and within the segment's ends widened by
// this fraction of its length: rounding of the crossing stays below both.
constexpr double kCastSlack = 1e-12;
// A segment whose cross product with the ray is below this fraction of its
// length runs parallel to it.
constexpr double kParallel = 1e-15;

std::vector<Part> linear_parts(const Geometry& g) {
  std::vector<Part> out;
  if (!g.is_multipart()) return out;
  for (const Part& p : g.parts) {
    Part q = p.has_curves() ? linearize_part(p, g.closed(), 0) : Part{p.vertices, {}};
    if (g.closed() && !q.empty()) q.vertices.push_back(q.vertices[0]);
    if (q.size() >= 2) out.push_back(std::move(q));
  }
  return out;
}

double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

// Which side of the cutter (x, y) lies on: 1 left, -1 right, 0 on it.  The
// nearest segment decides; at a vertex shared by two segments the turn of
// the cutter there decides which of the two wedges is its left.
int side_of(const std::vector<Part>& cutter, double x, double y) {
  double best = INFINITY;
  int side = 0;
  for (const Part& p : cutter) {
    const auto& vs = p.vertices;
    for (std::size_t i = 0; i + 1 < vs.size(); ++i) {
      const Vertex& a = vs[i];
      const Vertex& b = vs[i + 1];
      const double dx = b.x - a.x, dy = b.y - a.y;
      const double len2 = dx * dx + dy * dy;
      if (len2 == 0) continue;
      const double u = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / len2, 0.0, 1.0);
      const double d = std::hypot(a.x + u * dx - x, a.y + u * dy - y);
      if (d >= best) continue;
      best = d;
      const double c = cross(dx, dy, x - a.x, y - a.y);
      side = c > 0 ? 1 : (c < 0 ? -1 : 0);
      // At an inner vertex of the cutter, look at both segments.
      const Vertex* prev = nullptr;
      const Vertex* v = nullptr;
      const Vertex* next = nullptr;
      const Vertex before = i > 0 ? vs[i - 1] : a;
      const Vertex after = i + 2 < vs.size() ? vs[i + 2] : b;
      if (u == 0 && i > 0) prev = &before, v = &a, next = &b;
      if (u == 1 && i + 2 < vs.size()) prev = &a, v = &b, next = &after;
      if (v != nullptr) {
        const double c1 = cross(v->x - prev->x, v->y - prev->y, x - v->x, y - v->y);
        const double c2 = cross(next->x - v->x, next->y - v->y, x - v->x, y - v->y);
        const bool left_turn = cross(v->x - prev->x, v->y - prev->y, next->x - v->x, next->y - v->y) > 0;
        const bool left = left_turn ? (c1 > 0 && c2 > 0) : (c1 > 0 || c2 > 0);
        const bool right = left_turn ? (c1 < 0 || c2 < 0) : (c1 < 0 && c2 < 0);
        side = left ? 1 : (right ? -1 : 0);
      }
    }
  }
  return side;
}

void point_on_surface(const GEOSGeometry* g, double& x, double& y) {
  GeomPtr p = geos::take(GEOSPointOnSurface_r(ctx(), g), "an interior point");
  geos::check(GEOSGeomGetX_r(ctx(), p.get(), &x), "an interior point");
  geos::check(GEOSGeomGetY_r(ctx(), p.get(), &y), "an interior point");
}

double half_way_x_y(const GEOSGeometry* line, double& x, double& y) {
  double len = 0;
  geos::check(GEOSLength_r(ctx(), line, &len), "a length");
  GeomPtr p = geos::take(GEOSInterpolate_r(ctx(), line, len / 2), "a point along");
  geos::check(GEOSGeomGetX_r(ctx(), p.get(), &x), "a point along");
  geos::check(GEOSGeomGetY_r(ctx(), p.get(), &y), "a point along");
  return len;
}

}  // namespace

namespace {

// Pieces of a polyline cut by the blade, as two polylines: the pieces
// left of the cutter and those right of it.  Nothing when the cutter
// crosses no part.
std::vector<GeometryPtr> cut_polyline(const Geometry& g, const GEOSGeometry* gc, const std::vector<Part>& blade,
                                      const SourceIndex& index) {
  std::vector<GeometryPtr> out;
  GeomPtr gg = to_geos(g);
  GeomPtr pieces = geos::take(GEOSDifference_r(ctx(), gg.get(), gc), "cut");
  const auto comps = geos::components(pieces.get());
  if (comps.size() <= static_cast<std::size_t>(GEOSGetNumGeometries_r(ctx(), gg.get()))) return out;
  std::vector<GeomPtr> left, right;
  for (const GEOSGeometry* c : comps) {
    if (GEOSGeomTypeId_r(ctx(), c) != GEOS_LINESTRING || GEOSisEmpty_r(ctx(), c)) continue;
    double x, y;
    half_way_x_y(c, x, y);
    const int side = side_of(blade, x, y);
    if (side == 0) continue;
    (side > 0 ? left : right).push_back(geos::take(GEOSGeom_clone_r(ctx(), c), "cut"));
  }
  for (auto* group : {&left, &right}) {
    if (group->empty()) continue;
    GeomPtr lines = geos::collect(GEOS_MULTILINESTRING, std::move(*group));
    ResultSpec spec{GeometryKind::Polyline, g.has_z, g.has_m, g.spatial_reference, &index};
    spec.merge_lines = false;
    out.push_back(from_geos(lines.get(), spec));
  }
  return out;
}

// The faces made by an area's rings and the part of the cutter inside it:
// both noded together, then polygonised.
GeomPtr faces_of_cut(const GEOSGeometry* gg, const GEOSGeometry* gc) {
  GeomPtr rings = geos::take(GEOSBoundary_r(ctx(), gg), "cut");
  GeomPtr inside = geos::take(GEOSIntersection_r(ctx(), gc, gg), "cut");
  std::vector<GeomPtr> all;
  all.push_back(std::move(rings));
  all.push_back(std::move(inside));
  GeomPtr both = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(all));
  GeomPtr noded = geos::take(GEOSUnaryUnion_r(ctx(), both.get()), "cut");
  const GEOSGeometry* noded_raw = noded.get();
  return geos::take(GEOSPolygonize_r(ctx(), &noded_raw, 1), "cut");
}

// Sorts the faces that lie inside the area (polygonising also fills its
// holes) by their side of the cutter, faces on it going left.  Returns how
// many were kept.
std::size_t sort_faces(const GEOSGeometry* faces, const GEOSGeometry* gg, const std::vector<Part>& blade,
                       std::vector<GeomPtr>& left, std::vector<GeomPtr>& right) {
  const GEOSPreparedGeometry* prepared = GEOSPrepare_r(ctx(), gg);
  geos::PreparedPtr hold(prepared);
  std::size_t kept = 0;
  for (const GEOSGeometry* f : geos::components(faces)) {
    if (GEOSGeomTypeId_r(ctx(), f) != GEOS_POLYGON || GEOSisEmpty_r(ctx(), f)) continue;
    double x, y;
    point_on_surface(f, x, y);
    GeomPtr probe = geos::take(GEOSGeom_createPointFromXY_r(ctx(), x, y), "cut");
    if (!geos::truth(GEOSPreparedContains_r(ctx(), prepared, probe.get()), "cut")) continue;
    ++kept;
    const int side = side_of(blade, x, y);
    (side >= 0 ? left : right).push_back(geos::take(GEOSGeom_clone_r(ctx(), f), "cut"));
  }
  return kept;
}

// Whether a face lies inside the exterior ring of another (in one of its
// holes, as the faces of one side never overlap).
bool nested_in(const GEOSGeometry* face, const GEOSGeometry* other) {
  double x, y;
  point_on_surface(face, x, y);
  GeomPtr probe = geos::take(GEOSGeom_createPointFromXY_r(ctx(), x, y), "cut");
  GeomPtr ring = geos::take(GEOSGeom_clone_r(ctx(), GEOSGetExteriorRing_r(ctx(), other)), "cut");
  GeomPtr shell = geos::take(GEOSGeom_createPolygon_r(ctx(), ring.get(), nullptr, 0), "cut");
  (void)ring.release();  // owned by the shell now
  return geos::truth(GEOSContains_r(ctx(), shell.get(), probe.get()), "cut");
}

// The faces of one side as polygons.  They stay apart: two of them meet
// only along a cut (a cutter of several paths), which dissolving them
// would undo.  A face lying in a hole of another face of its side (where
// the cutter closes a loop inside the area) is a piece of its own: in one
// polygon with that face its ring would read as a second hole over the
// first.  So each level of nesting becomes one polygon, outermost first.
void append_side(std::vector<GeomPtr> rest, const Geometry& g, const SourceIndex& index,
                 std::vector<GeometryPtr>& out) {
  while (!rest.empty()) {
    std::vector<char> nested(rest.size(), 0);
    for (std::size_t i = 0; i < rest.size(); ++i)
      for (std::size_t j = 0; j < rest.size() && !nested[i]; ++j)
        nested[i] = i != j && nested_in(rest[i].get(), rest[j].get());
    std::vector<GeomPtr> level, deeper;
    for (std::size_t i = 0; i < rest.size(); ++i) (nested[i] ? deeper : level).push_back(std::move(rest[i]));
    if (level.empty()) {  // no outermost face: rounding; keep them together
      level = std::move(deeper);
      deeper.clear();
    }
    GeomPtr set = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(level));
    out.push_back(
        from_geos(set.get(), ResultSpec{GeometryKind::Polygon, g.has_z, g.has_m, g.spatial_reference, &index}));
    rest = std::move(deeper);
  }
}

// An area cut by the blade: the faces left of it, then those right of it.
// Nothing when the cutter makes no face beyond the area's own parts.
std::vector<GeometryPtr> cut_area(const Geometry& g, const GEOSGeometry* gc, const std::vector<Part>& blade,
                                  const SourceIndex& index) {
  GeomPtr gg = to_geos(g);
  GeomPtr faces = faces_of_cut(gg.get(), gc);
  std::vector<GeomPtr> left, right;
  const std::size_t kept = sort_faces(faces.get(), gg.get(), blade, left, right);
  const std::size_t parts_before = geos::components(gg.get()).size();
  if (kept <= parts_before) return {};
  std::vector<GeometryPtr> out;
  append_side(std::move(left), g, index, out);
  append_side(std::move(right), g, index, out);
  return out;
}

}  // namespace

std::vector<GeometryPtr> cut(const Geometry& g, const Geometry& cutter) {
  if (cutter.kind != GeometryKind::Polyline) fail(kInvalidArgument, "The cutter must be a polyline.");
  if (g.is_empty() || cutter.is_empty()) return {};
  if (g.kind == GeometryKind::Point || g.kind == GeometryKind::Multipoint) return {};
  const std::vector<Part> blade = linear_parts(cutter);
  GeomPtr gc = to_geos(cutter);
  SourceIndex index;
  index.add(g);
  index.add(cutter);
  if (g.kind == GeometryKind::Polyline) return cut_polyline(g, gc.get(), blade, index);
  return cut_area(g, gc.get(), blade, index);
}

// ---- extend ----

namespace {

struct Hit {
  double t = INFINITY;
  Vertex at;
};

// The first crossing of the ray from p along (dx, dy) with the extender,
// beyond p itself.
Hit cast(const std::vector<Part>& extender, const Vertex& p, double dx, double dy, double scale) {
  Hit hit;
  const double eps = kCastSlack * scale;
  for (const Part& part : extender) {
    const auto& vs = part.vertices;
    for (std::size_t i = 0; i + 1 < vs.size(); ++i) {
      const Vertex& a = vs[i];
      const Vertex& b = vs[i + 1];
      const double ex = b.x - a.x, ey = b.y - a.y;
      const double denom = cross(dx, dy, ex, ey);
      if (std::fabs(denom) <= kParallel * std::hypot(ex, ey)) continue;  // parallel
      const double t = cross(a.x - p.x, a.y - p.y, ex, ey) / denom;
      const double s = cross(a.x - p.x, a.y - p.y, dx, dy) / denom;
      if (t <= eps || s < -kCastSlack || s > 1 + kCastSlack) continue;
      if (t < hit.t) {
        hit.t = t;
        const double u = std::clamp(s, 0.0, 1.0);
        hit.at = lerp(a, b, u);
        hit.at.x = p.x + t * dx;
        hit.at.y = p.y + t * dy;
      }
    }
  }
  return hit;
}

}  // namespace

GeometryPtr extend(const Geometry& g, const Geometry& extender, uint32_t options) {
  if (g.kind != GeometryKind::Polyline) fail(kInvalidArgument, "Only a polyline can be extended.");
  if (extender.kind != GeometryKind::Polyline && extender.kind != GeometryKind::Polygon)
    fail(kInvalidArgument, "The extender must be a polyline.");
  if (g.is_empty() || extender.is_empty()) return nullptr;
  const std::vector<Part> target = linear_parts(extender);
  const EnvelopeBounds e = extent_of(g), f = extent_of(extender);
  const double scale = std::max({std::fabs(e.xmin), std::fabs(e.xmax), std::fabs(e.ymin), std::fabs(e.ymax),
                                 std::fabs(f.xmin), std::fabs(f.xmax), std::fabs(f.ymin), std::fabs(f.ymax), 1.0});
  Geometry out = g;
  bool changed = false;
  for (Part& p : out.parts) {
    if (p.size() < 2) continue;
    for (const bool at_start : {true, false}) {
      if (at_start && (options & kExtendNotFromStart)) continue;
      if (!at_start && (options & kExtendNotFromEnd)) continue;
      const std::size_t n = p.size();
      const SegmentView s = p.segment(at_start ? 0 : n - 2, false);
      double dx, dy;
      segment_tangent(s, !at_start, dx, dy);
      if (dx == 0 && dy == 0) continue;
      if (at_start) dx = -dx, dy = -dy;
      const Vertex& end = at_start ? p.vertices.front() : p.vertices.back();
      Hit hit = cast(target, end, dx, dy, scale);
      if (!std::isfinite(hit.t)) continue;
      Vertex v = hit.at;  // z and m as the extender has them at the hit
      if (options & kExtendNoEndAttributes) {
        v.z = v.m = kNaN;
      } else if (options & kExtendKeepEndAttributes) {
        v.z = end.z;
        v.m = end.m;
      } else {
        // Taken from the extender where it carries them, else kept.
        if (!extender.has_z || std::isnan(v.z)) v.z = end.z;
        if (!extender.has_m || std::isnan(v.m)) v.m = end.m;
      }
      if (!g.has_z) v.z = kNaN;
      if (!g.has_m) v.m = kNaN;
      const bool relocate = (options & kExtendRelocateEnds) && s.curve->is_line();
      if (relocate) {
        p.vertices.set(at_start ? 0 : n - 1, v);
      } else if (at_start) {
        Part q;
        q.push(v);
        q.push(p.vertices[0]);
        for (std::size_t i = 1; i < n; ++i) q.push(p.vertices[i], p.curve_at(i));
        p = std::move(q);
      } else {
        p.push(v);
      }
      changed = true;
    }
  }
  if (!changed) return nullptr;
  return std::make_shared<Geometry>(std::move(out));
}

// ---- auto-complete ----

std::vector<GeometryPtr> auto_complete(const std::vector<GeometryPtr>& existing,
                                       const std::vector<GeometryPtr>& new_boundaries) {
  for (const auto& g : existing)
    if (g->kind != GeometryKind::Polygon && g->kind != GeometryKind::Envelope)
      fail(kInvalidArgument, "The existing boundaries must be polygons or envelopes.");
  for (const auto& g : new_boundaries)
    if (g->kind != GeometryKind::Polyline) fail(kInvalidArgument, "The new boundaries must be polylines.");
  std::vector<GeometryPtr> out;
  if (existing.empty() || new_boundaries.empty()) return out;

  SourceIndex index;
  std::vector<GeomPtr> areas, lines, fresh;
  bool has_z = false, has_m = false;
  for (const auto& g : existing) {
    GeomPtr gg = to_geos(*g);
    lines.push_back(geos::take(GEOSBoundary_r(ctx(), gg.get()), "auto-complete"));
    areas.push_back(std::move(gg));
    index.add(*g);
    has_z = has_z || g->has_z;
    has_m = has_m || g->has_m;
  }
  for (const auto& g : new_boundaries) {
    GeomPtr gg = to_geos(*g);
    lines.push_back(geos::take(GEOSGeom_clone_r(ctx(), gg.get()), "auto-complete"));
    fresh.push_back(std::move(gg));
    index.add(*g);
  }
  GeomPtr area_set = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(areas));
  GeomPtr covered = geos::take(GEOSUnaryUnion_r(ctx(), area_set.get()), "auto-complete");
  GeomPtr fresh_set = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(fresh));
  GeomPtr fresh_lines = geos::take(GEOSUnaryUnion_r(ctx(), fresh_set.get()), "auto-complete");
  GeomPtr line_set = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(lines));
  GeomPtr noded = geos::take(GEOSUnaryUnion_r(ctx(), line_set.get()), "auto-complete");
  const GEOSGeometry* noded_raw = noded.get();
  GeomPtr faces = geos::take(GEOSPolygonize_r(ctx(), &noded_raw, 1), "auto-complete");
  geos::PreparedPtr prepared(GEOSPrepare_r(ctx(), covered.get()));
  for (const GEOSGeometry* f : geos::components(faces.get())) {
    if (GEOSGeomTypeId_r(ctx(), f) != GEOS_POLYGON || GEOSisEmpty_r(ctx(), f)) continue;
    // A gap: not inside an existing polygon, and closed at least partly by
    // a new line (a hole that the existing polygons enclose on their own is
    // theirs, not a gap to fill).
    double x, y;
    point_on_surface(f, x, y);
    GeomPtr probe = geos::take(GEOSGeom_createPointFromXY_r(ctx(), x, y), "auto-complete");
    if (geos::truth(GEOSPreparedCovers_r(ctx(), prepared.get(), probe.get()), "auto-complete")) continue;
    GeomPtr edge = geos::take(GEOSBoundary_r(ctx(), f), "auto-complete");
    if (!geos::truth(GEOSRelatePattern_r(ctx(), edge.get(), fresh_lines.get(), "1********"), "auto-complete"))
      continue;
    out.push_back(from_geos(f, ResultSpec{GeometryKind::Polygon, has_z, has_m, existing[0]->spatial_reference, &index}));
  }
  return out;
}

}  // namespace vaskelith::planar
