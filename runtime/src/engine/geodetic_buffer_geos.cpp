// GEOS plumbing of the geodetic buffer: rings to polygons and back, unions,
// differences, and the slivers a union leaves.
#include <vector>

#include "engine/dissolve.hpp"
#include "engine/geodetic_buffer_parts.hpp"
#include "engine/geos_convert.hpp"

namespace vaskelith::geodetic::buffering {

GEOSContextHandle_t C() { return geos::ctx(); }

namespace {

GEOSCoordSequence* sequence(const std::vector<XY>& ring) {
  std::vector<double> buf;
  buf.reserve(ring.size() * 2 + 2);
  for (const auto& [x, y] : ring) {
    buf.push_back(x);
    buf.push_back(y);
  }
  if (!ring.empty() && (ring.front() != ring.back())) {
    buf.push_back(ring.front().first);
    buf.push_back(ring.front().second);
  }
  return geos::xy_sequence(buf.data(), buf.size() / 2);
}

}  // namespace

// A polygon from one ring; invalid rings (a piece that folds over itself)
// are repaired so that the union can take them.
GeomPtr polygon(const std::vector<XY>& ring) {
  if (ring.size() < 3) return nullptr;
  GEOSGeometry* shell = GEOSGeom_createLinearRing_r(C(), sequence(ring));
  if (!shell) geos::engine_failure("The geometry engine could not build a ring.");
  GeomPtr p = geos::take(GEOSGeom_createPolygon_r(C(), shell, nullptr, 0), "a buffer piece");
  if (GEOSisValid_r(C(), p.get()) != 1)
    p = geos::take(GEOSMakeValid_r(C(), p.get()), "repairing a buffer piece");
  return p;
}

GeomPtr box(double xmin, double ymin, double xmax, double ymax) {
  return polygon({{xmin, ymin}, {xmin, ymax}, {xmax, ymax}, {xmax, ymin}});
}

GeomPtr unite(std::vector<GeomPtr> pieces) { return planar::unite_areas(std::move(pieces)); }

GeomPtr difference(const GeomPtr& a, const GeomPtr& b) {
  return geos::take(GEOSDifference_r(C(), a.get(), b.get()), "subtracting from a buffer");
}

// Coordinates of a ring, closing vertex included.
std::vector<XY> coords(const GEOSGeometry* ring) {
  const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(C(), ring);
  unsigned n = 0;
  GEOSCoordSeq_getSize_r(C(), seq, &n);
  std::vector<XY> out(n);
  for (unsigned i = 0; i < n; ++i) GEOSCoordSeq_getXY_r(C(), seq, i, &out[i].first, &out[i].second);
  return out;
}

// Whether (x, y) is inside the closed ring (crossing rule).
bool inside(const std::vector<XY>& ring, double x, double y) {
  bool in = false;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    const auto [xi, yi] = ring[i];
    const auto [xj, yj] = ring[j];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
  }
  return in;
}

// Whether a polygon or ring of this area and perimeter is a sliver: no
// larger than `min_area`, or thinner on average than `min_width` (twice
// the area over the perimeter).
bool sliver(double area, double perimeter, double min_area, double min_width) {
  return !(area > min_area) || 2 * area < min_width * perimeter;
}

// The area in square meters up to which a polygon or hole of a buffer
// with this deviation is a sliver.
double sliver_area(double deviation) { return kSliverArea * deviation * deviation; }

// Area and perimeter of the region a ring bounds.
void ring_measures(const GEOSGeometry* ring, double& area, double& perimeter) {
  const GeomPtr region =
      geos::take(GEOSGeom_createPolygon_r(C(), GEOSGeom_clone_r(C(), ring), nullptr, 0), "a hole");
  area = perimeter = 0;
  GEOSArea_r(C(), region.get(), &area);
  GEOSLength_r(C(), ring, &perimeter);
}

GeomPtr polygon_with_holes(const GEOSGeometry* shell, std::vector<GeomPtr> holes) {
  GeomPtr ring = geos::take(GEOSGeom_clone_r(C(), shell), "copying a shell");
  std::vector<GEOSGeometry*> rings;
  for (GeomPtr& h : holes) rings.push_back(h.release());
  return geos::take(
      GEOSGeom_createPolygon_r(C(), ring.release(), rings.data(), static_cast<unsigned>(rings.size())),
      "a polygon");
}

// A result without its slivers: polygons and holes of no more than
// `min_area`, or thinner on average than `min_width` (twice the area over
// the perimeter), both in the result's units.  Without a hole or a whole
// polygon, a valid result stays valid.
GeomPtr without_slivers(GeomPtr g, double min_area, double min_width) {
  std::vector<GeomPtr> keep;
  bool dropped = false;
  for (const GEOSGeometry* poly : geos::components(g.get())) {
    double area = 0, perimeter = 0;
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON || !GEOSArea_r(C(), poly, &area) ||
        !GEOSLength_r(C(), poly, &perimeter) || sliver(area, perimeter, min_area, min_width)) {
      dropped = true;
      continue;
    }
    std::vector<GeomPtr> holes;
    const int n = GEOSGetNumInteriorRings_r(C(), poly);
    for (int k = 0; k < n; ++k) {
      const GEOSGeometry* ring = GEOSGetInteriorRingN_r(C(), poly, k);
      ring_measures(ring, area, perimeter);
      if (!sliver(area, perimeter, min_area, min_width))
        holes.push_back(geos::take(GEOSGeom_clone_r(C(), ring), "copying a hole"));
    }
    if (holes.size() == static_cast<std::size_t>(n)) {
      keep.push_back(geos::take(GEOSGeom_clone_r(C(), poly), "copying a polygon"));
      continue;
    }
    dropped = true;
    keep.push_back(polygon_with_holes(GEOSGetExteriorRing_r(C(), poly), std::move(holes)));
  }
  if (!dropped) return g;
  if (keep.empty()) return geos::take(GEOSGeom_createEmptyPolygon_r(C()), "an empty polygon");
  return geos::collect(GEOS_MULTIPOLYGON, std::move(keep));
}

}  // namespace vaskelith::geodetic::buffering
