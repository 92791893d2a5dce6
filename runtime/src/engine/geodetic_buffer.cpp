// Geodetic buffers: the set of points within a distance of a geometry,
// measured on the ellipsoid.
//
// The boundary is built from exact offsets: for every vertex, the geodesic
// circle of the buffer distance (GeographicLib Geodesic Direct), and for
// every edge the two offset curves reached by geodesics leaving the edge at
// right angles.  These pieces are united in an azimuthal equidistant plane
// centred on the geometry, where the pieces are sampled densely enough that
// straight chords stay within the maximum deviation of the true curves.  The
// union goes back to longitude and latitude, where rings that wind around a
// pole are closed over it and everything is cut at the antimeridian, so the
// result is a valid polygon in [-180, 180] x [-90, 90] (for a geographic
// reference) or is transformed into the reference's own plane.
//
// Edges of another curve type than the geodesic are first followed by short
// geodesic pieces.  The distance is the geodesic distance, except for
// loxodromes: a loxodrome buffer holds the points within the distance of
// the geometry along a loxodrome, taken the short way round in longitude as
// its length is measured.  Its circles are reached by loxodromes, and the
// offsets of an edge are the points where those circles touch their
// envelope (near a pole that is far from square to the edge).  Where the
// distance passes a pole, the loxodromes that would wind more than half a
// turn round it reach nothing: points beyond are nearer the other way
// round, and the pole and the cap round it lie inside the buffer.
//
// The rooms of this work are listed in geodetic_buffer_parts.hpp.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "engine/dissolve.hpp"
#include "engine/geodetic_buffer_parts.hpp"
#include "engine/geodetic_frame.hpp"
#include "engine/geodetic_shapes.hpp"
#include "engine/geos_convert.hpp"
#include "engine/input_limits.hpp"
#include "errors.hpp"

namespace vaskelith::geodetic {

using namespace buffering;

namespace {

// Offset points one buffer may compute before it gives up: a deviation far
// too fine for the geometry's size would otherwise run for hours.
constexpr long kOffsetBudget = 250'000;

// Meters of ground in a degree of latitude, near enough to turn the two
// above into degrees.
constexpr double kMetersPerDegree = 111320.0;

// Fractions of half a meridian (the farthest two points can be apart).  The
// shapes and the distance must reach no farther from the azimuthal plane's
// center than kPlaneReach of it: the plane holds everything short of the
// center's antipode, where its scale runs away.  A buffer of lines may
// reach no farther than kLineReach of it: offset curves fold over
// themselves beyond a quarter of the globe.
constexpr double kPlaneReach = 0.97;
constexpr double kLineReach = 0.45;

// Meters of path in one stretch of shapes too wide for one plane: well
// within a quarter of the globe, whatever the distance added to it.
constexpr double kStretchLength = 5.0e6;

// The longest piece geodesic edges are followed in, whatever the distance:
// drawn straight in the azimuthal plane, one sags from its geodesic by
// about 20 km, inside the bodies of a buffer whose distance asks for it.
constexpr double kLongestFollowStep = 1000000.0;

}  // namespace

namespace {

GeometryPtr empty_polygon(const SpatialReferencePtr& sr) {
  return planar::empty_geometry(GeometryKind::Polygon, false, false, sr);
}

double half_meridian(const Ellipsoid& e) { return kPi * e.semi_major() * (1 - e.flattening() / 2); }

double reach_from(const Shapes& shapes, const Ellipsoid& e, const LonLat& center) {
  double reach = 0;
  auto farther = [&](const LonLat& p) { reach = std::max(reach, e.distance(center, p)); };
  for (const auto& p : shapes.points) farther(p);
  for (const auto& path : shapes.paths)
    for (const auto& p : path) farther(p);
  for (const auto& ring : shapes.rings)
    for (const auto& p : ring) farther(p);
  return reach;
}

// Whether the shapes fit one azimuthal plane: it holds everything short of
// the center's antipode, and offset curves fold beyond a quarter of the globe.
bool fits_one_plane(const Shapes& shapes, const Ellipsoid& e, const Plan& plan, const LonLat& center) {
  return reach_from(shapes, e, center) + plan.distance <= kPlaneReach * half_meridian(e);
}

// The buffer of shapes that fit one azimuthal plane, in the reference's
// coordinates.
GeometryPtr buffer_in_one_plane(const Shapes& shapes, const Frame& frame, const Plan& plan,
                                PointBudget& budget) {
  const Ellipsoid& e = frame.ellipsoid();
  const SpatialReferencePtr& sr = frame.spatial_reference();
  const Azimuthal az(e, center_of(shapes));
  GeomPtr result = unite_pieces(pieces(shapes, e, az, plan, budget), plan.deviation);
  if (shapes.area) result = with_interior(areas(shapes, az), std::move(result), plan.negative);
  result = without_slivers(std::move(result), sliver_area(plan.deviation), kSliverWidth);
  if (GEOSisEmpty_r(C(), result.get())) return empty_polygon(sr);
  // The pieces are sampled more densely than the deviation needs along
  // gently bent stretches, and the union can leave hairline notches where
  // pieces meet at a slant; simplifying within a quarter of the deviation
  // drops both.  Not for loxodromes: near a pole their distance changes
  // many times faster than the ground, so a quarter of the deviation on the
  // ground can be many deviations of distance, and their pieces are
  // sampled by that distance already.
  if (!plan.rhumb)
    result = geos::take(GEOSTopologyPreserveSimplify_r(C(), result.get(), plan.deviation / 4),
                        "smoothing a buffer");
  // Where a straight edge of the output's plane would stray from the chord
  // it stands for, points are added as the rings are carried over (refine).
  if (!sr->geographic) return to_plane(result, az, frame, plan.deviation / 4);

  const double dev_deg = plan.deviation / kMetersPerDegree;
  const GeomPtr world = without_slivers(to_lonlat_world(result, az, e, plan.deviation / 4),
                                        kSliverArea * dev_deg * dev_deg, kSliverWidth / kMetersPerDegree);
  planar::ResultSpec spec;
  spec.kind = GeometryKind::Polygon;
  spec.spatial_reference = sr;
  GeometryPtr deg = planar::from_geos(world.get(), spec);
  if (frame.degrees()) return deg;
  auto scaled = std::make_shared<Geometry>(*deg);
  for (Part& p : scaled->parts) {
    std::vector<LonLat> ll;
    for (const Vertex& v : p.vertices) ll.push_back({v.x, v.y});
    const auto xy = frame.from_lonlat(ll);
    for (std::size_t i = 0; i < xy.size(); ++i) p.vertices.set_xy(i, xy[i].first, xy[i].second);
  }
  return scaled;
}

// Units of the reference's plane in a meter of ground at `at` (along the
// meridian).
double units_per_meter(const Frame& frame, const LonLat& at) {
  const LonLat near{at.lon, at.lat > 0 ? at.lat - 1e-3 : at.lat + 1e-3};
  const auto xy = frame.from_lonlat({at, near});
  return std::hypot(xy[1].first - xy[0].first, xy[1].second - xy[0].second) /
         frame.ellipsoid().distance(at, near);
}

// Shapes too wide for one plane: lone points one by one, and paths and ring
// boundaries in stretches of at most 5000 km, each buffered in its own plane
// and united in the reference's plane (where geographic results are already
// cut at the antimeridian).  Areas join as the input polygon itself, taken
// as it stands in the reference's plane.
GeometryPtr buffer_in_pieces(const Shapes& shapes, const Frame& frame, const Plan& plan,
                             PointBudget& budget) {
  const Ellipsoid& e = frame.ellipsoid();
  const SpatialReferencePtr& sr = frame.spatial_reference();
  if (!shapes.paths.empty() || !shapes.rings.empty())
    if (plan.distance > kLineReach * half_meridian(e))
      fail(kGeometryEngine, "The geodetic buffer reaches too far around the globe.",
           "Offsets of lines beyond a quarter of the globe fold over themselves.");
  std::vector<Shapes> parts;
  for (const LonLat& p : shapes.points) {
    Shapes one;
    one.points.push_back(p);
    parts.push_back(std::move(one));
  }
  auto stretches = [&](const std::vector<LonLat>& pts, bool closed) {
    std::vector<LonLat> run{pts.front()};
    double run_length = 0;
    const std::size_t n = pts.size();
    const std::size_t edges = closed ? n : n - 1;
    for (std::size_t i = 0; i < edges; ++i) {
      const LonLat& next = pts[(i + 1) % n];
      const double len = e.distance(run.back(), next);
      if (run.size() > 1 && run_length + len > kStretchLength) {
        Shapes one;
        one.paths.push_back(run);
        parts.push_back(std::move(one));
        run = {run.back()};
        run_length = 0;
      }
      run.push_back(next);
      run_length += len;
    }
    if (run.size() > 1) {
      Shapes one;
      one.paths.push_back(std::move(run));
      parts.push_back(std::move(one));
    }
  };
  for (const auto& path : shapes.paths) stretches(path, false);
  for (const auto& ring : shapes.outlines) stretches(ring, true);

  std::vector<GeomPtr> buffers;
  for (const Shapes& part : parts) {
    if (!fits_one_plane(part, e, plan, center_of(part)))
      fail(kGeometryEngine, "The geodetic buffer reaches too far around the globe.",
           "The buffer distance spans more than the geodetic buffer supports.");
    buffers.push_back(planar::to_geos(*buffer_in_one_plane(part, frame, plan, budget)));
  }
  GeomPtr result = unite(std::move(buffers));
  if (shapes.area) {
    // The input's rings, their edges followed as the curve type has them.
    Geometry area;
    area.kind = GeometryKind::Polygon;
    area.spatial_reference = sr;
    for (const auto& ring : shapes.rings) {
      Part p;
      for (const auto& [x, y] : frame.from_lonlat(ring)) p.vertices.push_back(Vertex{x, y, kNaN, kNaN});
      area.parts.push_back(std::move(p));
    }
    result = with_interior(planar::to_geos(area), std::move(result), plan.negative);
  }
  // Buffers of neighbouring stretches meet along chords computed apart.
  const double scale = units_per_meter(frame, center_of(shapes));
  if (scale > 0 && std::isfinite(scale))
    result = without_slivers(std::move(result), kSliverArea * plan.deviation * plan.deviation * scale * scale,
                             kSliverWidth * scale);
  planar::ResultSpec spec;
  spec.kind = GeometryKind::Polygon;
  spec.spatial_reference = sr;
  return planar::from_geos(result.get(), spec);
}

}  // namespace

GeometryPtr buffer_geodetic(const Geometry& g, CurveType type, double distance, double max_deviation) {
  if (!std::isfinite(distance)) fail(kInvalidArgument, "The buffer distance must be a number.");
  const SpatialReferencePtr& sr = g.spatial_reference;
  if (g.is_empty()) return empty_polygon(sr);
  const Frame frame(sr);
  const Ellipsoid& e = frame.ellipsoid();
  limits::check_geodetic_range(g, frame.geographic());
  const bool is_area = g.kind == GeometryKind::Polygon || g.kind == GeometryKind::Envelope;
  // A buffer thinner than the computations' own rounding has no width they
  // could draw: its outline would be rounding noise, chased for as long as
  // the deviation allows.  It is the area itself, or nothing.
  if (std::fabs(distance) < kRoundingFloor) distance = 0;
  if (distance == 0 || (distance < 0 && !is_area)) {
    if (distance == 0 && is_area) {
      auto out = std::make_shared<Geometry>();
      out->kind = GeometryKind::Polygon;
      out->spatial_reference = sr;
      for (const FlatPart& part : flat_parts(g)) {
        Part p;
        for (const Vertex& v : part.vertices) p.vertices.push_back(Vertex{v.x, v.y, kNaN, kNaN});
        out->parts.push_back(std::move(p));
      }
      return out;
    }
    return empty_polygon(sr);
  }
  Plan plan = plan_for(distance, max_deviation, e.semi_major());
  plan.rhumb = type == CurveType::Loxodrome;
  // Edges of another curve type are followed by geodesic pieces short
  // enough to stay within the deviation of the curve.  Geodesic edges need
  // pieces only so short that, drawn straight in the azimuthal plane, they
  // stay well inside the bodies around them (sagging by at most half the
  // distance), which is all the polygon interiors ask.
  const double follow_step =
      type == CurveType::Geodesic
          ? std::clamp(std::sqrt(4 * plan.distance * e.semi_major()), plan.step, kLongestFollowStep)
          : plan.step;
  const Shapes shapes = shapes_of(g, frame, type, follow_step, plan.deviation);
  const bool has_edges = !shapes.paths.empty() || !shapes.rings.empty();
  const LonLat center = center_of(shapes);
  PointBudget budget(kOffsetBudget);
  if (fits_one_plane(shapes, e, plan, center) &&
      !(has_edges && plan.distance > kLineReach * half_meridian(e)))
    return buffer_in_one_plane(shapes, frame, plan, budget);
  // A point whose buffer covers the globe.
  const auto antipode_distance = [&](const LonLat& p) {
    return e.distance(p, {std::remainder(p.lon + 180, 360.0), -p.lat});
  };
  if (!has_edges && shapes.points.size() == 1 && !plan.negative && sr->geographic &&
      plan.distance >= antipode_distance(shapes.points.front())) {
    auto out = std::make_shared<Geometry>();
    out->kind = GeometryKind::Polygon;
    out->spatial_reference = sr;
    Part ring;
    for (const auto& [x, y] : frame.from_lonlat({{-180, -90}, {-180, 90}, {180, 90}, {180, -90}}))
      ring.vertices.push_back(Vertex{x, y, kNaN, kNaN});
    out->parts.push_back(std::move(ring));
    return out;
  }
  return buffer_in_pieces(shapes, frame, plan, budget);
}

GeometryPtr unite_buffers(const std::vector<GeometryPtr>& buffers) {
  // Buffers in a geographic reference are already cut at the antimeridian, so
  // their union in the reference's plane is sound.  Each buffer is a region
  // on the ground: one made in another reference joins the first's after
  // projection.
  const SpatialReferencePtr& sr = buffers.front()->spatial_reference;
  std::vector<geos::GeomPtr> parts;
  for (const GeometryPtr& b : buffers)
    parts.push_back(planar::to_geos(
        same_spatial_reference(b->spatial_reference, sr) ? *b : *projection::project_geometry(*b, sr)));
  geos::GeomPtr all = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(parts));
  geos::GeomPtr merged = geos::take(GEOSUnaryUnion_r(geos::ctx(), all.get()), "uniting buffers");
  planar::ResultSpec spec;
  spec.kind = GeometryKind::Polygon;
  spec.spatial_reference = sr;
  return planar::from_geos(merged.get(), spec);
}

}  // namespace vaskelith::geodetic
