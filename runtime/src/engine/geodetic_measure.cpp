// Geodetic length, area and densification of whole geometries.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "engine/geodetic_frame.hpp"
#include "engine/geodetic_shapes.hpp"
#include "engine/geos_convert.hpp"
#include "engine/input_limits.hpp"
#include "errors.hpp"

namespace vaskelith::geodetic {

namespace {

std::vector<std::pair<double, double>> xy_of(const std::vector<Vertex>& v) {
  std::vector<std::pair<double, double>> out;
  out.reserve(v.size());
  for (const Vertex& p : v) out.emplace_back(p.x, p.y);
  return out;
}

}  // namespace

double length_of(const Geometry& g, CurveType type) {
  if (g.is_empty()) return 0;
  const Frame frame(g.spatial_reference);
  limits::check_geodetic_range(g, frame.geographic());
  double total = 0;
  for (const FlatPart& part : flat_parts(g)) {
    const auto xy = xy_of(part.vertices);
    const auto ll = frame.to_lonlat(xy);
    total += path_length(frame.ellipsoid(), type, ll, part.closed, &frame.plane(), &xy);
  }
  return total;
}

// Twice the signed area of a ring in the picture its own coordinates draw,
// clockwise positive.  Longitudes are taken the short way round, as the
// edges take them, so that a ring across the antimeridian given in wrapped
// longitudes draws what it bounds; a ring of longitudes that winds round a
// pole draws no inside at all (zero).
double picture_turn(const Frame& frame, const std::vector<std::pair<double, double>>& xy,
                    const std::vector<LonLat>& ll) {
  double sum = 0, winding = 0;
  for (std::size_t i = 0, n = xy.size(); i < n; ++i) {
    const std::size_t j = (i + 1) % n;
    if (frame.geographic()) {
      // Nearly always within half a turn already: the remainder would be
      // the difference itself, without the library call.
      const double d = ll[j].lon - ll[i].lon;
      const double dx = std::fabs(d) <= 180 ? d : std::remainder(d, 360.0);
      winding += dx;
      sum += dx * (ll[j].lat + ll[i].lat);
    } else {
      sum += (xy[j].first - xy[i].first) * (xy[j].second + xy[i].second);
    }
  }
  return std::fabs(winding) > 180 ? 0 : sum;
}

namespace {

// The area of the region a ring bounds, from its signed area on the
// ellipsoid (clockwise positive).  Every ring parts the ellipsoid in two;
// the measures give the smaller side with a sign that tells on which hand
// it lies.  A ring bounds the larger side when it runs round it the model's
// way, exterior rings clockwise and holes counter-clockwise, both on the
// ellipsoid and in the picture of its own coordinates; otherwise the
// smaller side, so that a ring smaller than a hemisphere measures what it
// encloses whichever way round it runs, and so does a ring round a pole.
// A ring that measures no more than its computation's `rounding` (drawn
// out and back, or a sliver) encloses nothing measurable: the sign of its
// area and its picture's turn are rounding and may disagree, so it stays
// the smaller side, about zero.  A shape-preserving ring's signed area is
// that of the region its plane draws, which is its picture, with the sign
// of the way round: the same rule gives that region when the ring runs the
// model's way and otherwise the smaller of it and the rest.
double ring_region(const Ellipsoid& e, CurveType type, double signed_area, double rounding, double turn,
                   bool exterior) {
  const double whole = e.geodesic().EllipsoidArea(), size = std::fabs(signed_area);
  if (type == CurveType::ShapePreserving) {
    const bool model_way = exterior ? signed_area > 0 : signed_area < 0;
    return model_way ? size : std::min(size, std::max(0.0, whole - size));
  }
  if (size <= rounding) return size;
  const bool larger = exterior ? signed_area < 0 && turn > 0 : signed_area > 0 && turn < 0;
  return larger ? whole - size : size;
}

}  // namespace

double area_of(const Geometry& g, CurveType type) {
  if (g.kind != GeometryKind::Polygon && g.kind != GeometryKind::Envelope) return 0;
  if (g.is_empty()) return 0;
  const Frame frame(g.spatial_reference);
  limits::check_geodetic_range(g, frame.geographic());
  const std::vector<FlatPart> flat = flat_parts(g);
  // Rings are told apart by nesting, as the planar engine does: exterior
  // rings add their area and holes take theirs away; which side of a ring
  // that area lies on is ring_region's question.
  // A single ring is its own group: nesting would only copy its vertices.
  planar::RingGroups groups({0}, {0, 1});
  if (flat.size() != 1) {
    std::vector<Part> rings;
    for (const FlatPart& part : flat) {
      Part p;
      p.vertices = VertexList(part.vertices);
      rings.push_back(std::move(p));
    }
    groups = planar::nest_rings(rings);
  }
  double total = 0;
  for (const auto& group : groups) {
    for (std::size_t k = 0; k < group.size(); ++k) {
      const auto xy = xy_of(flat[group[k]].vertices);
      const auto ll = frame.to_lonlat(xy);
      double rounding = 0;
      const double signed_area = ring_area(frame.ellipsoid(), type, ll, &frame.plane(), &xy, &rounding);
      const double a =
          ring_region(frame.ellipsoid(), type, signed_area, rounding, picture_turn(frame, xy, ll), k == 0);
      total += k == 0 ? a : -a;
    }
  }
  return total;
}

// One edge of a flattened part, as densification follows it.
Segment edge(const Frame& frame, CurveType type, const std::vector<LonLat>& ll,
             const std::vector<std::pair<double, double>>& xy, std::size_t i, std::size_t j) {
  return type == CurveType::ShapePreserving
             ? Segment(frame.ellipsoid(), type, ll[i], ll[j], &frame.plane(), xy[i].first, xy[i].second,
                       xy[j].first, xy[j].second)
             : Segment(frame.ellipsoid(), type, ll[i], ll[j]);
}

// A flattened part ready for densification: its vertices in both forms and
// the number of pieces each edge is cut into.
namespace {

struct DensifyPlan {
  std::vector<std::pair<double, double>> xy;
  std::vector<LonLat> ll;
  std::vector<std::size_t> pieces;
};

DensifyPlan plan_part(const Frame& frame, CurveType type, const std::vector<Vertex>& verts, bool closed,
                      double max_len, double& count) {
  DensifyPlan plan;
  const std::size_t n = verts.size();
  count += static_cast<double>(n);
  if (n < 2) return plan;
  plan.xy = xy_of(verts);
  plan.ll = frame.to_lonlat(plan.xy);
  const std::size_t segs = closed ? n : n - 1;
  for (std::size_t i = 0; i < segs; ++i) {
    const double len = edge(frame, type, plan.ll, plan.xy, i, (i + 1) % n).length();
    // Nothing can be placed along an edge without a finite length.
    const double pieces = std::isfinite(len) ? std::max(std::ceil(len / max_len), 1.0) : 1.0;
    // The pieces of every edge are counted before any vertex is made, as
    // the planar densification does: a length too small for the whole
    // geometry is refused, however its edges share the count.
    count += pieces - 1;
    if (!(count <= limits::kMaxDensifiedVertices))
      fail(kInvalidArgument, "The maximum segment length is too small for the geometry.");
    plan.pieces.push_back(static_cast<std::size_t>(pieces));
  }
  return plan;
}

// The vertices of one flattened part with points inserted so that no piece
// is longer than max_len meters along the curve (the plan counts the pieces
// of every edge, a ring's closing edge included).
VertexList densify_part(const Frame& frame, CurveType type, const std::vector<Vertex>& verts,
                        const DensifyPlan& plan) {
  const std::size_t n = verts.size();
  if (n < 2) return VertexList(verts);
  const auto& xy = plan.xy;
  const auto& ll = plan.ll;
  VertexList out;
  std::size_t total = n;
  for (const std::size_t k : plan.pieces) total += k - 1;
  out.reserve(total);
  out.push_back(verts[0]);
  for (std::size_t i = 0; i < plan.pieces.size(); ++i) {
    const std::size_t j = (i + 1) % n;
    const std::size_t k = plan.pieces[i];
    if (k > 1) {
      const Segment seg = edge(frame, type, ll, xy, i, j);
      std::vector<std::pair<double, double>> plane_pts;
      if (type == CurveType::ShapePreserving) {
        plane_pts = seg.divide_plane(k);
      } else {
        std::vector<LonLat> pts = seg.divide(k);
        // The curve's points come unrolled from the start's longitude; in a
        // geographic reference whose edge ends lie within [-180, 180] they
        // are kept there too, as the input's own vertices are.
        if (frame.geographic() && std::fabs(ll[i].lon) <= 180 && std::fabs(ll[j].lon) <= 180)
          for (LonLat& p : pts) p.lon = std::remainder(p.lon, 360.0);
        plane_pts = frame.from_lonlat(pts);
      }
      for (std::size_t q = 1; q < k; ++q) {
        const double t = static_cast<double>(q) / static_cast<double>(k);
        Vertex v;
        v.x = plane_pts[q].first;
        v.y = plane_pts[q].second;
        v.z = verts[i].z + (verts[j].z - verts[i].z) * t;
        v.m = verts[i].m + (verts[j].m - verts[i].m) * t;
        out.push_back(v);
      }
    }
    if (j != 0) out.push_back(verts[j]);
  }
  return out;
}

}  // namespace

GeometryPtr densify(const Geometry& g, CurveType type, double max_len) {
  if (!(max_len > 0) || !std::isfinite(max_len))
    fail(kInvalidArgument, "The maximum segment length must be a positive number.");
  if (g.kind == GeometryKind::Point || g.kind == GeometryKind::Multipoint || g.is_empty())
    return std::make_shared<const Geometry>(g);
  const Frame frame(g.spatial_reference);
  limits::check_geodetic_range(g, frame.geographic());
  auto out = std::make_shared<Geometry>();
  out->kind = g.kind == GeometryKind::Envelope ? GeometryKind::Polygon : g.kind;
  out->has_z = g.has_z;
  out->has_m = g.has_m;
  out->spatial_reference = g.spatial_reference;
  const std::vector<FlatPart> flat = flat_parts(g);
  std::vector<DensifyPlan> plans;
  double count = 0;
  for (const FlatPart& part : flat) plans.push_back(plan_part(frame, type, part.vertices, part.closed, max_len, count));
  for (std::size_t i = 0; i < flat.size(); ++i) {
    Part p;
    p.vertices = densify_part(frame, type, flat[i].vertices, plans[i]);
    out->parts.push_back(std::move(p));
  }
  return out;
}

}  // namespace vaskelith::geodetic
