// From the azimuthal plane of a geodetic buffer to the output: longitude
// and latitude, where rings that wind round a pole are closed over it and
// everything is cut at the antimeridian, or the reference's own plane.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "engine/geodetic_buffer_parts.hpp"
#include "engine/geos_convert.hpp"

namespace vaskelith::geodetic::buffering {

namespace {

// Holes of a buffer up to which each is cut from its region in longitude
// and latitude by a difference of its own.
constexpr std::size_t kHolesOneByOne = 64;

// Halvings of an edge whose midpoint strays from its chord: from a step to
// a millionth of it, finer than any tolerance the step was chosen for.
constexpr int kRefineDepth = 20;

// A ring of the azimuthal plane with points added wherever an edge strays
// more than `tolerance` meters from the chord of the azimuthal plane it
// stands for, whether the edge is read as a straight line of the output's
// own plane (`plane_mid` gives the ground point halfway along it) or as a
// geodesic: either reading then stays within the deviation.
std::vector<XY> refine(const std::vector<XY>& ring, const Azimuthal& az, const Ellipsoid& e, double tolerance,
                       const std::function<LonLat(const LonLat&, const LonLat&)>& plane_mid) {
  if (ring.size() < 2) return ring;
  tolerance = std::max(tolerance, kRoundingFloor);
  std::vector<XY> out;
  out.reserve(ring.size());
  std::function<void(const XY&, const LonLat&, const XY&, const LonLat&, int)> split =
      [&](const XY& a, const LonLat& la, const XY& b, const LonLat& lb, int depth) {
        const XY m{(a.first + b.first) / 2, (a.second + b.second) / 2};
        const LonLat lm = az.reverse(m.first, m.second);
        // Chords shorter than the tolerance need no check: nothing on them
        // can stray that far.
        const double chord = std::hypot(b.first - a.first, b.second - a.second);
        if (depth < kRefineDepth && chord > tolerance &&
            (e.distance(plane_mid(la, lb), lm) > tolerance ||
             e.distance(geodesic_mid(e, la, lb), lm) > tolerance)) {
          split(a, la, m, lm, depth + 1);
          out.push_back(m);
          split(m, lm, b, lb, depth + 1);
        }
      };
  LonLat prev = az.reverse(ring[0].first, ring[0].second);
  out.push_back(ring[0]);
  for (std::size_t i = 1; i < ring.size(); ++i) {
    const LonLat cur = az.reverse(ring[i].first, ring[i].second);
    split(ring[i - 1], prev, ring[i], cur, 0);
    out.push_back(ring[i]);
    prev = cur;
  }
  return out;
}

LonLat lonlat_mid(const LonLat& a, const LonLat& b) {
  const double dlon = std::remainder(b.lon - a.lon, 360.0);
  return {a.lon + dlon / 2, (a.lat + b.lat) / 2};
}

// The part of the sphere inside one ring of the azimuthal plane, as a
// region of the longitude/latitude rectangle [-180, 180] x [-90, 90].
GeomPtr lonlat_region(const std::vector<XY>& raw, const Azimuthal& az, const Ellipsoid& e, double tolerance,
                      const XY& north, const XY& south) {
  const std::vector<XY> ring = refine(raw, az, e, tolerance, lonlat_mid);
  const bool has_north = inside(ring, north.first, north.second);
  const bool has_south = inside(ring, south.first, south.second);
  std::vector<XY> ll;
  ll.reserve(ring.size() + 2);
  for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
    const LonLat p = az.reverse(ring[i].first, ring[i].second);
    double lon = p.lon;
    if (!ll.empty()) lon = ll.back().first + std::remainder(lon - ll.back().first, 360.0);
    ll.emplace_back(lon, p.lat);
  }
  if (ll.size() < 3) return nullptr;
  // Closing the ring, the longitude has turned by 0 or a whole turn.
  const double last = ll.back().first + std::remainder(ll.front().first - ll.back().first, 360.0);
  const double turn = std::round((last - ll.front().first) / 360.0) * 360.0;
  std::vector<XY> shape = ll;
  const bool around_pole = turn != 0;
  if (around_pole) {
    // The copies shifted by whole turns below must meet exactly along the
    // meridian that closes the ring over the pole, or their union keeps a
    // hairline seam there.  A longitude on a grid of 2^-40 degrees (1e-7 m)
    // survives shifts by multiples of 360 unchanged.
    shape.front().first = std::ldexp(std::round(std::ldexp(shape.front().first, 40)), -40);
    // A ring that winds around a pole bounds the cap on the pole's side:
    // close it over the pole.
    const double pole = has_north ? 90.0 : has_south ? -90.0 : (ll.front().second >= 0 ? 90.0 : -90.0);
    const double seam = shape.front().first;
    shape.emplace_back(seam + turn, ll.front().second);
    shape.emplace_back(seam + turn, pole);
    shape.emplace_back(seam, pole);
  }
  const GeomPtr base = polygon(shape);
  if (!base) return nullptr;
  const GeomPtr world = box(-180, -90, 180, 90);
  double west = shape.front().first, east = west;
  for (const auto& q : shape) {
    west = std::min(west, q.first);
    east = std::max(east, q.first);
  }
  std::vector<GeomPtr> copies;
  for (int k = -2; k <= 2; ++k) {
    // Only copies that reach into [-180, 180] take part; one that lies
    // inside it whole needs no cut.
    if (east + 360.0 * k <= -180 || west + 360.0 * k >= 180) continue;
    if (k == 0 && west >= -180 && east <= 180) {
      copies.push_back(geos::take(GEOSGeom_clone_r(C(), base.get()), "copying a region"));
      continue;
    }
    GeomPtr moved = geos::take(GEOSGeom_clone_r(C(), base.get()), "copying a region");
    if (k != 0) {
      // Shift by whole turns: rebuild from shifted coordinates.
      std::vector<XY> shifted = shape;
      for (auto& q : shifted) q.first += 360.0 * k;
      moved = polygon(shifted);
    }
    copies.push_back(
        geos::take(GEOSIntersection_r(C(), moved.get(), world.get()), "cutting at the antimeridian"));
  }
  GeomPtr region = unite(std::move(copies));
  // A ring holding both poles, without winding around either, bounds the
  // part of the sphere outside its longitude/latitude image.
  if (!around_pole && has_north && has_south) region = difference(world, region);
  return region;
}

}  // namespace

GeomPtr to_lonlat_world(const GeomPtr& plane, const Azimuthal& az, const Ellipsoid& e, double tolerance) {
  const XY north = az.forward({0, 90});
  const XY south = az.forward({0, -90});
  std::vector<GeomPtr> polys;
  for (const GEOSGeometry* poly : geos::components(plane.get())) {
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON || GEOSisEmpty_r(C(), poly)) continue;
    GeomPtr region = lonlat_region(coords(GEOSGetExteriorRing_r(C(), poly)), az, e, tolerance, north, south);
    if (!region) continue;
    std::vector<GeomPtr> holes;
    const int n = GEOSGetNumInteriorRings_r(C(), poly);
    for (int k = 0; k < n; ++k) {
      const std::vector<XY> ring = coords(GEOSGetInteriorRingN_r(C(), poly, k));
      GeomPtr hole = lonlat_region(ring, az, e, tolerance, north, south);
      if (hole) holes.push_back(std::move(hole));
    }
    // One difference for each hole redraws the whole region every time;
    // the holes are disjoint, so many go at once.
    if (holes.size() > kHolesOneByOne) {
      region = difference(region, unite(std::move(holes)));
    } else {
      for (const GeomPtr& hole : holes) region = difference(region, hole);
    }
    polys.push_back(std::move(region));
  }
  return unite(std::move(polys));
}

// Polygon rings in the reference's plane from rings of the azimuthal plane.
GeometryPtr to_plane(const GeomPtr& plane, const Azimuthal& az, const Frame& frame, double tolerance) {
  const auto plane_mid = [&](const LonLat& a, const LonLat& b) {
    const auto xy = frame.from_lonlat({a, b});
    return frame
        .to_lonlat(std::vector<std::pair<double, double>>{
            {(xy[0].first + xy[1].first) / 2, (xy[0].second + xy[1].second) / 2}})
        .front();
  };
  std::vector<Part> rings;
  for (const GEOSGeometry* poly : geos::components(plane.get())) {
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON || GEOSisEmpty_r(C(), poly)) continue;
    const int holes = GEOSGetNumInteriorRings_r(C(), poly);
    for (int k = -1; k < holes; ++k) {
      const GEOSGeometry* r = k < 0 ? GEOSGetExteriorRing_r(C(), poly) : GEOSGetInteriorRingN_r(C(), poly, k);
      std::vector<XY> xy = refine(coords(r), az, frame.ellipsoid(), tolerance, plane_mid);
      if (xy.size() > 1) xy.pop_back();
      std::vector<LonLat> ll;
      for (const auto& [x, y] : xy) ll.push_back(az.reverse(x, y));
      Part p;
      for (const auto& [x, y] : frame.from_lonlat(ll)) p.vertices.push_back(Vertex{x, y, kNaN, kNaN});
      rings.push_back(std::move(p));
    }
  }
  planar::orient_rings(rings);
  auto g = std::make_shared<Geometry>();
  g->kind = GeometryKind::Polygon;
  g->spatial_reference = frame.spatial_reference();
  g->parts = std::move(rings);
  return g;
}

}  // namespace vaskelith::geodetic::buffering
