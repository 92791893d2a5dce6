// How the pieces of a geodetic buffer are united: all at once where few
// overlap, along the paths where many do or where all at once comes out
// cracked; and the buffer of an area from its interior.
#include <algorithm>
#include <vector>

#include "engine/box_index.hpp"
#include "engine/dissolve.hpp"
#include "engine/geodetic_buffer_parts.hpp"
#include "engine/geos_convert.hpp"

namespace vaskelith::geodetic::buffering {

namespace {

// Pairs of buffer pieces whose boxes overlap up to which the pieces are
// united all at once.
constexpr long kDirectUnionPairs = 1'000'000;

// Pairs of pieces whose boxes overlap, counted up to `cap` (and a little
// past it).
long overlapping_pairs(const std::vector<GeomPtr>& shapes, long cap) {
  std::vector<planar::Box> boxes(shapes.size());
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    planar::Box& b = boxes[i];
    if (!shapes[i] || GEOSisEmpty_r(C(), shapes[i].get()) != 0 ||
        !GEOSGeom_getExtent_r(C(), shapes[i].get(), &b.xmin, &b.ymin, &b.xmax, &b.ymax))
      b = planar::Box{kNaN, kNaN, kNaN, kNaN};
  }
  const planar::BoxIndex index(boxes);
  long pairs = 0;
  for (std::size_t i = 0; i < boxes.size() && pairs <= cap; ++i)
    index.query(boxes[i], [&](std::size_t j) { pairs += j > i; });
  return pairs;
}

// `g` without the holes narrower than `width` on average (twice their area
// over their perimeter).
GeomPtr without_thin_holes(GeomPtr g, double width) {
  bool dropped = false;
  std::vector<GeomPtr> polys;
  for (const GEOSGeometry* poly : geos::components(g.get())) {
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON) return g;
    std::vector<GeomPtr> holes;
    const int n = GEOSGetNumInteriorRings_r(C(), poly);
    for (int k = 0; k < n; ++k) {
      const GEOSGeometry* ring = GEOSGetInteriorRingN_r(C(), poly, k);
      double area = 0, perimeter = 0;
      ring_measures(ring, area, perimeter);
      if (2 * area < width * perimeter) {
        dropped = true;
        continue;
      }
      holes.push_back(geos::take(GEOSGeom_clone_r(C(), ring), "copying a hole"));
    }
    polys.push_back(polygon_with_holes(GEOSGetExteriorRing_r(C(), poly), std::move(holes)));
  }
  if (!dropped) return g;
  return unite(std::move(polys));
}

// The union of the pieces in their order along the paths: runs of pieces
// next to one another are united first, which leaves only their outlines
// to meet, and then runs of those.
GeomPtr unite_along_paths(Pieces p, double deviation) {
  std::vector<std::size_t> by_place(p.shapes.size());
  for (std::size_t i = 0; i < by_place.size(); ++i) by_place[i] = i;
  std::stable_sort(by_place.begin(), by_place.end(),
                   [&](std::size_t a, std::size_t b) { return p.place[a] < p.place[b]; });
  std::vector<GeomPtr> in_order;
  in_order.reserve(by_place.size());
  for (std::size_t i : by_place) in_order.push_back(std::move(p.shapes[i]));
  // Runs meet along chords that each has noded on its own, rounding the
  // nodes apart: cracks far thinner than the deviation open between them.
  return without_thin_holes(planar::unite_in_order(std::move(in_order)), deviation / 4);
}

// Whether a union of pieces came out cracked beyond what dropping its
// slivers mends: with a hole or polygon thinner than the deviation could
// show (no piece is that thin), or with polygons that meet or all but
// meet.  Pieces whose chords lie nearly on one another (a path drawn back
// over itself) are noded apart where those chords cross, and the thin
// wedges between them can be rounded away, cutting the buffer across.
bool cracked(const GeomPtr& g, double deviation) {
  const auto thin = [&](const GEOSGeometry* ring, bool& dropped) {
    double area = 0, perimeter = 0;
    ring_measures(ring, area, perimeter);
    dropped = sliver(area, perimeter, sliver_area(deviation), kSliverWidth);
    return !dropped && sliver(area, perimeter, 0, deviation / 4);
  };
  const std::vector<const GEOSGeometry*> polys = geos::components(g.get());
  std::vector<planar::Box> boxes(polys.size(), planar::Box{kNaN, kNaN, kNaN, kNaN});
  for (std::size_t i = 0; i < polys.size(); ++i) {
    const GEOSGeometry* poly = polys[i];
    bool dropped = false;
    if (GEOSGeomTypeId_r(C(), poly) != GEOS_POLYGON || GEOSisEmpty_r(C(), poly) != 0) continue;
    if (thin(GEOSGetExteriorRing_r(C(), poly), dropped)) return true;
    if (dropped) continue;
    for (int k = 0, n = GEOSGetNumInteriorRings_r(C(), poly); k < n; ++k)
      if (thin(GEOSGetInteriorRingN_r(C(), poly, k), dropped)) return true;
    planar::Box b;
    if (!GEOSGeom_getExtent_r(C(), poly, &b.xmin, &b.ymin, &b.xmax, &b.ymax)) continue;
    boxes[i] = planar::Box{b.xmin - kRoundingFloor, b.ymin - kRoundingFloor, b.xmax + kRoundingFloor,
                           b.ymax + kRoundingFloor};
  }
  if (polys.size() < 2) return false;
  const planar::BoxIndex index(boxes);
  bool meet = false;
  for (std::size_t i = 0; i < polys.size() && !meet; ++i)
    index.query(boxes[i], [&](std::size_t j) {
      double d = 0;
      if (j > i && !meet && GEOSDistanceIndexed_r(C(), polys[i], polys[j], &d) && d < kRoundingFloor)
        meet = true;
    });
  return meet;
}

}  // namespace

// The union of the pieces.  Where few of them overlap, all at once; where
// many overlap one another (an outline far smaller than the distance, or
// one drawn back and forth over itself), a union of all at once would node
// every crossing of every pair, although the result keeps hardly any, and
// the pieces are united along the paths instead.  They are so too when a
// union of all at once comes out cracked.
GeomPtr unite_pieces(Pieces p, double deviation) {
  if (overlapping_pairs(p.shapes, kDirectUnionPairs) > kDirectUnionPairs)
    return unite_along_paths(std::move(p), deviation);
  std::vector<GeomPtr> kept;
  std::vector<std::size_t> place;
  for (std::size_t i = 0; i < p.shapes.size(); ++i)
    if (p.shapes[i] && GEOSisEmpty_r(C(), p.shapes[i].get()) == 0) {
      kept.push_back(std::move(p.shapes[i]));
      place.push_back(p.place[i]);
    }
  if (kept.size() < 2) return unite(std::move(kept));
  // The pieces stay in one collection, to be taken again if need be.
  const GeomPtr all = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(kept));
  GeomPtr united = geos::take(GEOSUnaryUnion_r(C(), all.get()), "union");
  if (!cracked(united, deviation)) return united;
  Pieces again;
  for (std::size_t k = 0; k < place.size(); ++k)
    again.add(geos::take(GEOSGeom_clone_r(C(), GEOSGetGeometryN_r(C(), all.get(), static_cast<int>(k))),
                         "copying a buffer piece"),
              place[k]);
  return unite_along_paths(std::move(again), deviation);
}

GeomPtr areas(const Shapes& s, const Azimuthal& az) {
  std::vector<Part> rings;
  for (const auto& ring : s.rings) {
    Part p;
    for (const auto& q : ring) {
      const XY xy = az.forward(q);
      p.vertices.push_back(Vertex{xy.first, xy.second, kNaN, kNaN});
    }
    rings.push_back(std::move(p));
  }
  std::vector<GeomPtr> polys;
  for (const auto& group : planar::nest_rings(rings)) {
    std::vector<XY> shell;
    for (const Vertex& v : rings[group[0]].vertices) shell.emplace_back(v.x, v.y);
    GeomPtr poly = polygon(shell);
    for (std::size_t k = 1; k < group.size(); ++k) {
      std::vector<XY> hole;
      for (const Vertex& v : rings[group[k]].vertices) hole.emplace_back(v.x, v.y);
      if (GeomPtr h = polygon(hole)) poly = difference(poly, h);
    }
    polys.push_back(std::move(poly));
  }
  return unite(std::move(polys));
}

GeomPtr with_interior(GeomPtr interior, GeomPtr band, bool negative) {
  if (negative) return difference(interior, band);
  std::vector<GeomPtr> both;
  both.push_back(std::move(interior));
  both.push_back(std::move(band));
  return unite(std::move(both));
}

}  // namespace vaskelith::geodetic::buffering
