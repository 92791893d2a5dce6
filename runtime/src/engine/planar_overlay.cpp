// Overlays, clipping, buffers, hulls, boundaries and topological clean-up.
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "engine/box_index.hpp"
#include "engine/curve_contacts.hpp"
#include "engine/dissolve.hpp"
#include "engine/engine_form.hpp"
#include "engine/geos_context.hpp"
#include "engine/geos_convert.hpp"
#include "engine/input_limits.hpp"
#include "engine/planar_curves.hpp"
#include "engine/planar_ops.hpp"
#include "errors.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

namespace {

// The precision grid of an overlay GEOS could not node at full precision,
// as a fraction of the largest coordinate: a few units of rounding, far
// below any size that shows in the result.
constexpr double kFallbackGrid = 1e-12;

GeometryKind kind_of_dimension(int dim, bool single_point) {
  switch (dim) {
    case 0: return single_point ? GeometryKind::Point : GeometryKind::Multipoint;
    case 1: return GeometryKind::Polyline;
    default: return GeometryKind::Polygon;
  }
}

}  // namespace

GeometryPtr overlay(const Geometry& a, const Geometry& b, Overlay op) {
  const int da = dimension(a.kind), db = dimension(b.kind);
  GeometryKind kind;
  bool has_z = a.has_z || b.has_z, has_m = a.has_m || b.has_m;
  switch (op) {
    case Overlay::Intersection:
      kind = kind_of_dimension(std::min(da, db),
                               a.kind == GeometryKind::Point || b.kind == GeometryKind::Point);
      break;
    case Overlay::Difference:
      kind = a.kind == GeometryKind::Envelope ? GeometryKind::Polygon : a.kind;
      has_z = a.has_z;
      has_m = a.has_m;
      break;
    default:
      kind = kind_of_dimension(std::max(da, db), false);
      break;
  }
  if ((op == Overlay::Union || op == Overlay::SymmetricDifference) && da != db) {
    // Only the operand of the higher dimension can shape the result; an
    // overlay with the other would merely node it at every crossing.
    const Geometry& top = da > db ? a : b;
    GeosForm gt = geos_form(top);
    GeomPtr result = geos::take(GEOSUnaryUnion_r(ctx(), gt.get()), "union");
    SourceIndex index;
    index.add(top);
    return read_result(std::move(result), ResultSpec{kind, top.has_z, top.has_m, a.spatial_reference, &index});
  }
  mark_circle_contacts({&a, &b});
  GeosForm ga = geos_form(a), gb = geos_form(b);
  GEOSGeometry* r = nullptr;
  const char* name = "";
  switch (op) {
    case Overlay::Union: r = GEOSUnion_r(ctx(), ga.get(), gb.get()), name = "union"; break;
    case Overlay::Intersection: r = GEOSIntersection_r(ctx(), ga.get(), gb.get()), name = "intersection"; break;
    case Overlay::Difference: r = GEOSDifference_r(ctx(), ga.get(), gb.get()), name = "difference"; break;
    case Overlay::SymmetricDifference:
      r = GEOSSymDifference_r(ctx(), ga.get(), gb.get()), name = "symmetric difference";
      break;
  }
  if (r == nullptr) {
    // Should GEOS give up on noding at full precision (after its own
    // snapping attempts), a grid far below any meaningful size settles it.
    const EnvelopeBounds ea = extent_of(a), eb = extent_of(b);
    const double size = std::max({std::fabs(ea.xmin), std::fabs(ea.xmax), std::fabs(ea.ymin), std::fabs(ea.ymax),
                                  std::fabs(eb.xmin), std::fabs(eb.xmax), std::fabs(eb.ymin), std::fabs(eb.ymax)});
    const double grid = size * kFallbackGrid;
    if (std::isfinite(grid) && grid > 0) {
      switch (op) {
        case Overlay::Union: r = GEOSUnionPrec_r(ctx(), ga.get(), gb.get(), grid); break;
        case Overlay::Intersection: r = GEOSIntersectionPrec_r(ctx(), ga.get(), gb.get(), grid); break;
        case Overlay::Difference: r = GEOSDifferencePrec_r(ctx(), ga.get(), gb.get(), grid); break;
        case Overlay::SymmetricDifference: r = GEOSSymDifferencePrec_r(ctx(), ga.get(), gb.get(), grid); break;
      }
    }
  }
  GeomPtr result = geos::take(r, name);
  // Inputs without z, m or curves leave their result nothing to take back,
  // and small overlays would spend a few percent indexing them.
  std::optional<SourceIndex> index;
  if (a.has_z || a.has_m || b.has_z || b.has_m || a.has_curves() || b.has_curves()) {
    index.emplace();
    index->add(a);
    index->add(b);
  }
  return read_result(std::move(result),
                     ResultSpec{kind, has_z, has_m, a.spatial_reference, index ? &*index : nullptr});
}

std::vector<GeometryPtr> intersections(const Geometry& a, const Geometry& b) {
  mark_circle_contacts({&a, &b});
  GeosForm ga = geos_form(a), gb = geos_form(b);
  GeomPtr result = geos::take(GEOSIntersection_r(ctx(), ga.get(), gb.get()), "intersection");
  SourceIndex index;
  index.add(a);
  index.add(b);
  const bool has_z = a.has_z || b.has_z, has_m = a.has_m || b.has_m;
  std::vector<GeometryPtr> out;
  const int top = std::min(dimension(a.kind), dimension(b.kind));
  for (int dim = 0; dim <= top; ++dim) {
    GeometryPtr g = from_geos(result.get(), ResultSpec{kind_of_dimension(dim, false), has_z, has_m,
                                                        a.spatial_reference, &index});
    if (!g->is_empty()) out.push_back(std::move(g));
  }
  return out;
}

GeometryPtr clip(const Geometry& g, const Geometry& envelope) {
  if (envelope.kind != GeometryKind::Envelope) fail(kInvalidArgument, "The clipping geometry must be an envelope.");
  const EnvelopeBounds& e = envelope.envelope;
  if (g.kind == GeometryKind::Envelope) {
    Geometry out = header_of(g, GeometryKind::Envelope);
    const EnvelopeBounds& s = g.envelope;
    if (!s.empty() && !e.empty()) {
      EnvelopeBounds c = s;
      c.xmin = std::max(s.xmin, std::min(e.xmin, e.xmax));
      c.xmax = std::min(s.xmax, std::max(e.xmin, e.xmax));
      c.ymin = std::max(s.ymin, std::min(e.ymin, e.ymax));
      c.ymax = std::min(s.ymax, std::max(e.ymin, e.ymax));
      if (c.xmin <= c.xmax && c.ymin <= c.ymax) out.envelope = c;
    }
    return std::make_shared<Geometry>(std::move(out));
  }
  if (e.empty() || g.is_empty()) return empty_geometry(g.kind, g.has_z, g.has_m, g.spatial_reference);
  GeosForm gg = geos_form(g);
  GEOSGeometry* clipped = GEOSClipByRect_r(ctx(), gg.get(), std::min(e.xmin, e.xmax), std::min(e.ymin, e.ymax),
                                           std::max(e.xmin, e.xmax), std::max(e.ymin, e.ymax));
  if (clipped == nullptr && geos::last_error() != geos::kOutOfMemory) {
    // The rectangle clip rebuilds rings from the pieces it cuts and can
    // fail on a valid thin sliver (a ring of three points); the general
    // intersection with the rectangle answers there.
    const GeosForm ge = geos_form(envelope);
    clipped = GEOSIntersection_r(ctx(), gg.get(), ge.get());
  }
  GeomPtr r = geos::take(clipped, "clip");
  SourceIndex index;
  index.add(g);
  index.add(envelope);
  return read_result(std::move(r), ResultSpec{g.kind, g.has_z, g.has_m, g.spatial_reference, &index});
}

namespace {

using XY = std::pair<double, double>;

// Fillet-weighted pairs of line vertices within reach of one another (see
// crowded) past which a buffer of lines is built from pieces.
constexpr double kCrowdedFillets = 2e7;
// Segments of a line in one piece of such a buffer.
constexpr std::size_t kPieceSegments = 16;

// Weighted pairs of stretches of the offset curve of polygons' rings that
// meet (see crowded_rings) past which a buffer of polygons is built from
// pieces, and the edges of a ring in one stretch.
constexpr double kCrowdedOffsets = 1e7;
constexpr std::size_t kStretchEdges = 64;
// The part of the distance within which GEOS drops the vertices of its
// input that turn toward the area before offsetting a ring.
constexpr double kInputTolerance = 0.01;

// The vertices of a GEOS ring or line, copied out in one call.
std::vector<XY> sequence_vertices(const GEOSCoordSequence* seq) {
  unsigned n = 0;
  GEOSCoordSeq_getSize_r(ctx(), seq, &n);
  std::vector<double> xy(2 * std::size_t{n});
  if (n > 0) geos::check(GEOSCoordSeq_copyToBuffer_r(ctx(), seq, xy.data(), 0, 0), "reading coordinates");
  std::vector<XY> vertices(n);
  for (std::size_t i = 0; i < n; ++i) vertices[i] = {xy[2 * i], xy[2 * i + 1]};
  return vertices;
}

// The vertices of the lines of `g`, line by line.
std::vector<std::vector<XY>> line_vertices(const GEOSGeometry* g) {
  std::vector<std::vector<XY>> lines;
  for (const GEOSGeometry* c : geos::components(g)) {
    if (GEOSGeomTypeId_r(ctx(), c) != GEOS_LINESTRING) continue;
    lines.push_back(sequence_vertices(GEOSGeom_getCoordSeq_r(ctx(), c)));
  }
  return lines;
}

// A ring of a polygon, whether the area lies to its right, so that a
// buffer grows to its left, and whether its offset curve cannot crowd: a
// hole narrower than twice the distance, which a buffer fills without
// offsetting it, or a ring within GEOS's input tolerance.  The vertices are
// x, y pairs read in place, from the runtime polygon or from a copy out of
// GEOS; vertex `edges` closes the ring on vertex 0.
struct Ring {
  const double* xy;
  std::size_t edges;
  bool grows_left;
  bool filled;
  XY vertex(std::size_t k) const {
    const std::size_t i = k == edges ? 0 : k;
    return {xy[2 * i], xy[2 * i + 1]};
  }
};

// The rings of a polygon's buffer, with the copies out of GEOS that some of
// them read from.
struct Rings {
  std::vector<Ring> rings;
  std::vector<std::unique_ptr<double[]>> copies;
};

// The rings of the polygons of `g` buffered by `distance`.  `own` is the
// polygon whose form `g` is when lends_form_of_own_parts holds for it, else
// null: where to_geos left out none of its vertices, every ring is then read
// in place from its part rather than copied out of GEOS, which for a large
// polygon spares copies of megabytes and the fresh pages they take.
Rings polygon_rings(const GEOSGeometry* g, double distance, const Geometry* own) {
  Rings out;
  const RingGroups* groups = nullptr;
  if (own != nullptr) {
    std::size_t closed = 0;
    for (const Part& p : own->parts) closed += p.size() + 1;
    const int coordinates = GEOSGetNumCoordinates_r(ctx(), g);
    if (coordinates >= 0 && static_cast<std::size_t>(coordinates) == closed) {
      groups = &kept_nesting(*own);
      if (static_cast<int>(groups->size()) != GEOSGetNumGeometries_r(ctx(), g)) groups = nullptr;
    }
  }
  std::size_t polygon = 0;
  for (const GEOSGeometry* c : geos::components(g)) {
    if (GEOSGeomTypeId_r(ctx(), c) != GEOS_POLYGON || GEOSisEmpty_r(ctx(), c) != 0) continue;
    const int holes = GEOSGetNumInteriorRings_r(ctx(), c);
    for (int k = -1; k < holes; ++k) {
      const GEOSGeometry* r = k < 0 ? GEOSGetExteriorRing_r(ctx(), c) : GEOSGetInteriorRingN_r(ctx(), c, k);
      const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(ctx(), r);
      unsigned n = 0;
      GEOSCoordSeq_getSize_r(ctx(), seq, &n);
      Ring ring{nullptr, n > 0 ? n - 1 : 0, false, false};
      const std::size_t at = static_cast<std::size_t>(k + 1);
      if (groups != nullptr && polygon < groups->size() && at < (*groups)[polygon].size()) {
        const Part& part = own->parts[(*groups)[polygon][at]];
        if (part.size() == ring.edges) ring.xy = part.vertices.xy_data();
      }
      if (ring.xy == nullptr && n > 0) {
        out.copies.push_back(std::make_unique_for_overwrite<double[]>(2 * std::size_t{n}));
        geos::check(GEOSCoordSeq_copyToBuffer_r(ctx(), seq, out.copies.back().get(), 0, 0), "reading coordinates");
        ring.xy = out.copies.back().get();
      }
      double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
      if (GEOSGeom_getXMin_r(ctx(), r, &x0) != 0 && GEOSGeom_getYMin_r(ctx(), r, &y0) != 0 &&
          GEOSGeom_getXMax_r(ctx(), r, &x1) != 0 && GEOSGeom_getYMax_r(ctx(), r, &y1) != 0) {
        // Every point of such a hole is within half its width or height of
        // its outline.  A ring smaller than GEOS's input tolerance loses
        // every vertex that turns toward the area before it is offset: what
        // is left turns one way only and meets nothing but its neighbours.
        const double extent = std::max(x1 - x0, y1 - y0);
        ring.filled = (k >= 0 && 2 * distance > std::min(x1 - x0, y1 - y0)) || extent < kInputTolerance * distance;
      }
      char ccw = 0;
      if (n >= 4 && !ring.filled) GEOSCoordSeq_isCCW_r(ctx(), seq, &ccw);
      // A shell keeps its area to the left when it runs counterclockwise,
      // a hole to the right.
      ring.grows_left = (ccw != 0) == (k >= 0);
      if (ring.xy != nullptr) out.rings.push_back(ring);
    }
    ++polygon;
  }
  return out;
}

// The rings as closed lines of vertices.
std::vector<std::vector<XY>> ring_lines(const std::vector<Ring>& rings) {
  std::vector<std::vector<XY>> lines;
  lines.reserve(rings.size());
  for (const Ring& ring : rings) {
    std::vector<XY> line;
    line.reserve(ring.edges + 1);
    for (std::size_t k = 0; k <= ring.edges; ++k) line.push_back(ring.vertex(k));
    lines.push_back(std::move(line));
  }
  return lines;
}

// Whether the offset curves of `lines` would cross one another far more
// often than their buffer keeps.  GEOS rounds every vertex with a fillet of
// up to two quadrants of `quadrant_segments` segments, and nodes each fillet
// against every other within twice the distance: a dense zigzag buffered
// wider than itself makes every fillet cross every other, and when rounding
// defeats that noding, GEOS nodes it all again on a grid.  The measure is
// the sum, over pairs of vertices that near, of their fillet sizes.
bool crowded(const std::vector<std::vector<XY>>& lines, double distance, int quadrant_segments) {
  std::vector<Box> boxes;
  std::vector<double> fillets;
  for (const auto& line : lines)
    for (std::size_t k = 0; k < line.size(); ++k) {
      const auto [x, y] = line[k];
      boxes.push_back(Box{x - distance, y - distance, x + distance, y + distance});
      // Ends have a half circle; inner vertices turn by the angle between
      // their edges.
      double turn = kPi;
      if (k > 0 && k + 1 < line.size()) {
        const double ax = x - line[k - 1].first, ay = y - line[k - 1].second;
        const double bx = line[k + 1].first - x, by = line[k + 1].second - y;
        turn = std::fabs(std::atan2(ax * by - ay * bx, ax * bx + ay * by));
      }
      fillets.push_back(1 + 2 * quadrant_segments * (std::isfinite(turn) ? turn : kPi) / kPi);
    }
  const BoxIndex index(boxes);
  double weight = 0;
  for (std::size_t i = 0; i < boxes.size() && weight <= kCrowdedFillets; ++i)
    index.query(boxes[i], [&](std::size_t j) {
      if (j > i) weight += fillets[i] + fillets[j];
    });
  return weight > kCrowdedFillets;
}

// Whether the offset curve GEOS draws around polygons' rings before noding
// it would cross itself far more often than the buffer keeps.  The curve
// runs at the distance outside every edge and rounds every vertex that
// turns away from the area with a fillet of up to two quadrants of
// `quadrant_segments` segments.  Around a convex ring each stretch of it
// meets only its neighbours; around a jagged ring buffered wider than its
// jags every stretch crosses every other, and when rounding defeats that
// noding, GEOS nodes it all again on a grid.  The curve is taken in
// stretches of kStretchEdges edges with their fillets; the measure is the
// sum, over pairs of stretches whose boxes meet and which do not follow one
// another on a ring, of the segments of each times the pieces of the other.
bool crowded_rings(const std::vector<Ring>& rings, double distance, int quadrant_segments) {
  struct Stretch {
    std::size_t ring, first, last;  // edges [first, last) of the ring
    double pieces = 0, segments = 0;
  };
  std::vector<Stretch> stretches;
  std::vector<Box> boxes;
  const double step = kPi / 2 / quadrant_segments, step_tangent = std::tan(step);
  for (std::size_t r = 0; r < rings.size(); ++r) {
    const Ring& ring = rings[r];
    if (ring.edges < 3 || ring.filled) continue;
    const std::size_t n = ring.edges;
    const auto vertex = [&](std::size_t k) { return ring.vertex(k); };
    const double side = ring.grows_left ? distance : -distance;
    // The offset of the edge from `a` to `b`, as a shift (the coordinates
    // are small enough to square).
    const auto shift = [&](const XY& a, const XY& b) {
      const double ex = b.first - a.first, ey = b.second - a.second;
      const double length = std::sqrt(ex * ex + ey * ey);
      return length > 0 ? XY{-ey * (side / length), ex * (side / length)} : XY{0, 0};
    };
    XY prior = vertex(n - 1), here = vertex(0);
    XY before = shift(prior, here);
    for (std::size_t first = 0; first < n; first += kStretchEdges) {
      Stretch s{r, first, std::min(n, first + kStretchEdges)};
      Box box;
      // The fillet at the first vertex starts on the stretch before.
      box.add(here.first + before.first, here.second + before.second);
      for (std::size_t k = s.first; k < s.last; ++k) {
        const XY next = vertex(k + 1);
        const XY now = shift(here, next);
        const auto [x, y] = here;
        box.add(x + now.first, y + now.second);
        box.add(next.first + now.first, next.second + now.second);
        s.pieces += 1;
        s.segments += 1;
        const double ax = x - prior.first, ay = y - prior.second;
        const double bx = next.first - x, by = next.second - y;
        const double cross = ax * by - ay * bx, dot = ax * bx + ay * by;
        if (ring.grows_left ? cross < 0 : cross > 0) {
          // A fillet from the end of the edge before to the start of this
          // one; past a quadrant it bulges well beyond those ends.
          if (dot < 0) {
            const double mx = before.first + now.first, my = before.second + now.second;
            const double m = std::hypot(mx, my);
            if (m > 0) box.add(x + mx / m * distance, y + my / m * distance);
          }
          s.pieces += 1;
          // A turn within one segment's angle (most of a smooth ring) is one.
          s.segments += dot > 0 && std::fabs(cross) <= step_tangent * dot
                            ? 1.0
                            : std::max(1.0, std::ceil(std::fabs(std::atan2(cross, dot)) / step));
        }
        prior = here;
        here = next;
        before = now;
      }
      stretches.push_back(s);
      boxes.push_back(box);
    }
  }
  const auto neighbours = [&](const Stretch& a, const Stretch& b) {
    if (a.ring != b.ring) return false;
    const std::size_t n = rings[a.ring].edges;
    return a.last == b.first || b.last == a.first || (a.first == 0 && b.last == n) ||
           (b.first == 0 && a.last == n);
  };
  const BoxIndex index(boxes);
  double weight = 0;
  for (std::size_t i = 0; i < boxes.size() && weight <= kCrowdedOffsets; ++i)
    index.query(boxes[i], [&](std::size_t j) {
      const Stretch &a = stretches[i], &b = stretches[j];
      if (j > i && !neighbours(a, b)) weight += a.segments * b.pieces + b.segments * a.pieces;
    });
  return weight > kCrowdedOffsets;
}

// Whether the rings of `area` have too few vertices for crowded_rings to
// find them crowded whatever their shape.  A stretch has at most two pieces
// an edge, and at most 1 + 2 quadrant_segments segments an edge (a fillet
// turns by less than two quadrants), so over E edges in all the measure is
// at most (1 + 2 quadrant_segments) E * 2 E.  GEOS counts a ring's closing
// vertex too, which only raises E.
bool too_few_to_crowd(const GEOSGeometry* area, int quadrant_segments) {
  const int vertices = GEOSGetNumCoordinates_r(ctx(), area);
  if (vertices < 0) return false;
  const double edges = vertices;
  return (1.0 + 2.0 * quadrant_segments) * edges * 2.0 * edges <= kCrowdedOffsets;
}

// The buffer of `lines` as the union of the buffers of their runs of
// kPieceSegments segments.  A buffer of lines is the union of the buffers
// of their pieces; pieces next to one another along a line are united
// first, so that only outlines meet.
GeomPtr buffer_in_pieces(const std::vector<std::vector<XY>>& lines, double distance, int quadrant_segments) {
  std::vector<GeomPtr> pieces;
  for (const auto& line : lines)
    for (std::size_t i = 0; i + 1 < line.size(); i += kPieceSegments) {
      const std::size_t end = std::min(line.size() - 1, i + kPieceSegments);
      std::vector<double> buf;
      for (std::size_t k = i; k <= end; ++k) {
        buf.push_back(line[k].first);
        buf.push_back(line[k].second);
      }
      GEOSCoordSequence* seq = geos::xy_sequence(buf.data(), end - i + 1);
      const GeomPtr piece = geos::take(GEOSGeom_createLineString_r(ctx(), seq), "a line");
      pieces.push_back(geos::take(GEOSBuffer_r(ctx(), piece.get(), distance, quadrant_segments), "buffer"));
    }
  return unite_in_order(std::move(pieces));
}

// How much farther a buffer may reach for a cluster of small polygons or
// points having been replaced by its convex hull, as a part of the
// distance: a hundredth of the 1e-4 by which the chords of the buffer's
// arcs may fall short.
constexpr double kHullReach = 1e-6;

// `area` (polygons or points) with every cluster of its members too small
// to matter to its buffer by `distance` replaced by the convex hull of the
// cluster, as one valid geometry; null when no cluster has two members.
// The buffer of a set e across reaches at most e^2 / (8 distance) less far
// than that of its hull (the notch between the circles about two points e
// apart), so clusters up to sqrt(8 kHullReach) distances across qualify.
// Repaired debris (a tiny self-crossing ring falls into hundreds of
// slivers), or hundreds of points a rounding apart, would otherwise have
// GEOS node that many full circles against one another for one circle of
// output.  A cluster is the small members whose boxes centre in one cell of
// a grid half that size, each at most half that size itself.
GeomPtr hull_small_clusters(const GEOSGeometry* g, double distance) {
  if (GEOSGetNumGeometries_r(ctx(), g) < 2) return nullptr;
  const double across = distance * std::sqrt(8 * kHullReach), cell = across / 2;
  std::map<std::pair<double, double>, std::vector<const GEOSGeometry*>> clusters;
  std::vector<const GEOSGeometry*> rest;
  for (const GEOSGeometry* c : geos::components(g)) {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    const int type = GEOSGeomTypeId_r(ctx(), c);
    if ((type == GEOS_POLYGON || type == GEOS_POINT) && GEOSisEmpty_r(ctx(), c) == 0 &&
        GEOSGeom_getXMin_r(ctx(), c, &x0) != 0 && GEOSGeom_getYMin_r(ctx(), c, &y0) != 0 &&
        GEOSGeom_getXMax_r(ctx(), c, &x1) != 0 && GEOSGeom_getYMax_r(ctx(), c, &y1) != 0 &&
        std::max(x1 - x0, y1 - y0) <= cell) {
      clusters[{std::floor((x0 + (x1 - x0) / 2) / cell), std::floor((y0 + (y1 - y0) / 2) / cell)}].push_back(c);
    } else {
      rest.push_back(c);
    }
  }
  if (std::all_of(clusters.begin(), clusters.end(), [](const auto& kv) { return kv.second.size() < 2; }))
    return nullptr;
  auto copy = [](const GEOSGeometry* c) { return geos::take(GEOSGeom_clone_r(ctx(), c), "a copy"); };
  std::vector<GeomPtr> parts;
  for (const GEOSGeometry* c : rest) parts.push_back(copy(c));
  for (const auto& [where, members] : clusters) {
    if (members.size() == 1) {
      parts.push_back(copy(members[0]));
      continue;
    }
    std::vector<GeomPtr> copies;
    for (const GEOSGeometry* c : members) copies.push_back(copy(c));
    const GeomPtr together = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(copies));
    parts.push_back(geos::take(GEOSConvexHull_r(ctx(), together.get()), "convex hull"));
  }
  // The hulls may overlap one another and the polygons left as they were.
  const GeomPtr all = geos::collect(GEOS_GEOMETRYCOLLECTION, std::move(parts));
  return geos::take(GEOSUnaryUnion_r(ctx(), all.get()), "union");
}

// The buffer of the polygons `area` (a positive `distance`).  When their
// offset curve is crowded, it is the area united with the buffer of its
// rings, built from pieces: every point within the distance of an area is
// in it or within the distance of its outline.
GeomPtr buffer_area(const GEOSGeometry* area, double distance, int quadrant_segments, const Geometry* own) {
  Rings rings;
  if (!too_few_to_crowd(area, quadrant_segments)) rings = polygon_rings(area, distance, own);
  if (rings.rings.empty() || !crowded_rings(rings.rings, distance, quadrant_segments))
    return geos::take(GEOSBuffer_r(ctx(), area, distance, quadrant_segments), "buffer");
  const GeomPtr outline = buffer_in_pieces(ring_lines(rings.rings), distance, quadrant_segments);
  return geos::take(GEOSUnion_r(ctx(), outline.get(), area), "union");
}

}  // namespace

GeomPtr engine_buffer_in_range(const Geometry& g, double distance) {
  return engine_buffer_of_form(g, geos_form(g), distance);
}

GeomPtr engine_buffer_of_form(const Geometry& g, GeosForm gg, double distance) {
  // 64 segments per quarter circle keep the polygon within 1e-4 of the
  // distance from the true buffer.
  constexpr int kQuadrantSegments = 64;
  const bool tiny_clusters = distance > 0 && (g.kind == GeometryKind::Polygon || g.kind == GeometryKind::Multipoint);
  const GeomPtr hulled = tiny_clusters ? hull_small_clusters(gg.get(), distance) : nullptr;
  const GEOSGeometry* source = hulled ? hulled.get() : gg.get();
  // GEOS places each piece of a buffer against every piece before it, which
  // grows with the square of their number: a geometry of many parts is
  // buffered part by part and the buffers united instead, the same region
  // for distances that do not shrink.
  constexpr int kManyParts = 256;
  if (distance >= 0 && GEOSGetNumGeometries_r(ctx(), source) >= kManyParts) {
    std::vector<GeomPtr> pieces;
    for (const GEOSGeometry* c : geos::components(source))
      pieces.push_back(distance > 0 && g.kind == GeometryKind::Polygon
                           ? buffer_area(c, distance, kQuadrantSegments, nullptr)
                           : geos::take(GEOSBuffer_r(ctx(), c, distance, kQuadrantSegments), "buffer"));
    return dissolve(std::move(pieces));
  }
  if (distance > 0 && g.kind == GeometryKind::Polygon)
    return buffer_area(source, distance, kQuadrantSegments, !hulled && lends_form_of_own_parts(g) ? &g : nullptr);
  if (distance > 0 && g.kind == GeometryKind::Polyline) {
    const std::vector<std::vector<XY>> lines = line_vertices(source);
    if (crowded(lines, distance, kQuadrantSegments)) return buffer_in_pieces(lines, distance, kQuadrantSegments);
  }
  return geos::take(GEOSBuffer_r(ctx(), source, distance, kQuadrantSegments), "buffer");
}

GeometryPtr buffer(const Geometry& g, double distance) {
  limits::check_buffer_range(g, distance);
  return buffer_in_range(g, distance);
}

GeometryPtr buffer_in_range(const Geometry& g, double distance) {
  return read_buffer(engine_buffer_in_range(g, distance), g.spatial_reference);
}

GeometryPtr read_buffer(GeomPtr buffer, const SpatialReferencePtr& sr) {
  return read_result(std::move(buffer), ResultSpec{GeometryKind::Polygon, false, false, sr, nullptr});
}

namespace {

struct HullPoint {
  double x, y;
};

// The turn a -> b -> c: 1 to the left, -1 to the right, 0 when rounding
// could hide its sign (collinear points among them).  The bound is wider
// than the rounding of the two products and their difference, which stay
// clear of overflow and underflow for coordinates that hull_points admits.
int turn(const HullPoint& a, const HullPoint& b, const HullPoint& c) {
  const double l = (a.x - c.x) * (b.y - c.y), r = (a.y - c.y) * (b.x - c.x);
  const double det = l - r, bound = (std::fabs(l) + std::fabs(r)) * 0x1p-50;
  if (det > bound) return 1;
  if (det < -bound) return -1;
  return 0;
}

// The points GEOS takes the hull of (its form of g holds the same set), or
// false when a coordinate is outside the range `turn` is sure in, not a
// number, or a ring would be left out of the form (fewer than three
// vertices after repeats).
bool hull_points(const Geometry& g, std::vector<HullPoint>& pts) {
  auto in_range = [](double v) {
    const double a = std::fabs(v);
    return a == 0 || (a >= 0x1p-400 && a <= limits::kLargestCoordinate);
  };
  if (g.kind == GeometryKind::Multipoint) {
    pts.reserve(g.points.size());
    for (const Vertex& v : g.points) {
      if (!in_range(v.x) || !in_range(v.y)) return false;
      pts.push_back({v.x, v.y});
    }
    return true;
  }
  if (!g.is_multipart()) return false;
  pts.reserve(vertex_count(g));
  for (const Part& p : g.parts) {
    const double* xy = p.vertices.xy_data();
    std::size_t n = p.size();
    if (g.closed()) {
      while (n > 1 && xy[2 * n - 2] == xy[0] && xy[2 * n - 1] == xy[1]) --n;
      if (n == 0) continue;
      if (n < 3) return false;
      for (std::size_t i = 1; i < n; ++i)
        if (xy[2 * i] == xy[2 * i - 2] && xy[2 * i + 1] == xy[2 * i - 1]) return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (!in_range(xy[2 * i]) || !in_range(xy[2 * i + 1])) return false;
      pts.push_back({xy[2 * i], xy[2 * i + 1]});
    }
  }
  return true;
}

// The convex hull of a straight geometry without z or m as GEOS gives it
// for points spanning an area: its strict corners, clockwise from the
// lowest (then leftmost) one; null where GEOS has to decide (a turn whose
// sign rounding could hide, fewer than three distinct points, a ring the
// result reader would turn round) or where the input is not of that sort.
GeometryPtr straight_hull(const Geometry& g) {
  std::vector<HullPoint> pts;
  if (!hull_points(g, pts)) return nullptr;
  std::sort(pts.begin(), pts.end(), [](const HullPoint& a, const HullPoint& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  pts.erase(std::unique(pts.begin(), pts.end(), [](const HullPoint& a, const HullPoint& b) { return a.x == b.x && a.y == b.y; }),
            pts.end());
  const std::size_t n = pts.size();
  if (n < 3) return nullptr;
  // Andrew's monotone chain, counter-clockwise, corners only.
  std::vector<HullPoint> h(2 * n);
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i) {
    for (; k >= 2; --k) {
      const int t = turn(h[k - 2], h[k - 1], pts[i]);
      if (t == 0) return nullptr;
      if (t > 0) break;
    }
    h[k++] = pts[i];
  }
  for (std::size_t i = n - 1, lower = k + 1; i-- > 0;) {
    for (; k >= lower; --k) {
      const int t = turn(h[k - 2], h[k - 1], pts[i]);
      if (t == 0) return nullptr;
      if (t > 0) break;
    }
    h[k++] = pts[i];
  }
  --k;  // h[k] is h[0] again
  if (k < 3) return nullptr;
  std::size_t start = 0;
  for (std::size_t i = 1; i < k; ++i)
    if (h[i].y < h[start].y || (h[i].y == h[start].y && h[i].x < h[start].x)) start = i;
  VertexList::XY xy(2 * k);
  for (std::size_t j = 0; j < k; ++j) {
    const HullPoint& v = h[(start + k - j) % k];
    xy[2 * j] = v.x;
    xy[2 * j + 1] = v.y;
  }
  Part ring;
  ring.vertices = VertexList::from_xy(std::move(xy));
  if (ring_signed_area(ring) > 0) return nullptr;
  auto out = std::make_shared<Geometry>();
  out->kind = GeometryKind::Polygon;
  out->spatial_reference = g.spatial_reference;
  out->parts.push_back(std::move(ring));
  return out;
}

}  // namespace

GeometryPtr convex_hull(const Geometry& g) {
  if (g.is_empty())
    return empty_geometry(g.kind == GeometryKind::Envelope ? GeometryKind::Polygon : g.kind, g.has_z, g.has_m,
                          g.spatial_reference);
  // A hull computed here spares building, reading and freeing GEOS's.
  if (!g.has_z && !g.has_m && !g.has_curves())
    if (GeometryPtr hull = straight_hull(g)) return hull;
  GeosForm gg = geos_form(g, false);
  GeomPtr r = geos::take(GEOSConvexHull_r(ctx(), gg.get()), "convex hull");
  GeometryKind kind;
  switch (GEOSGeomTypeId_r(ctx(), r.get())) {
    case GEOS_POINT: kind = GeometryKind::Point; break;
    case GEOS_LINESTRING: kind = GeometryKind::Polyline; break;
    default: kind = GeometryKind::Polygon; break;
  }
  // An input without z, m or curves leaves its hull nothing to take back;
  // for the small geometries hulls are mostly asked of, indexing it would
  // cost a tenth of the call.
  std::optional<SourceIndex> index;
  if (g.has_z || g.has_m || g.has_curves()) {
    index.emplace();
    index->add(g);
  }
  ResultSpec spec{kind, g.has_z, g.has_m, g.spatial_reference, index ? &*index : nullptr};
  spec.merge_lines = false;
  return read_result(std::move(r), spec);
}

GeometryPtr boundary(const Geometry& g) {
  switch (g.kind) {
    case GeometryKind::Point:
    case GeometryKind::Multipoint: return empty_geometry(g.kind, g.has_z, g.has_m, g.spatial_reference);
    case GeometryKind::Envelope: {
      Geometry out = header_of(g, GeometryKind::Polyline);
      const EnvelopeBounds& e = g.envelope;
      if (!e.empty()) {
        Part p;
        p.vertices = {Vertex{e.xmin, e.ymin, e.zmin, e.mmin}, Vertex{e.xmin, e.ymax, e.zmin, e.mmin},
                      Vertex{e.xmax, e.ymax, e.zmax, e.mmax}, Vertex{e.xmax, e.ymin, e.zmax, e.mmax},
                      Vertex{e.xmin, e.ymin, e.zmin, e.mmin}};
        out.parts.push_back(std::move(p));
      }
      return std::make_shared<Geometry>(std::move(out));
    }
    case GeometryKind::Polygon: {
      Geometry out = header_of(g, GeometryKind::Polyline);
      for (const Part& ring : g.parts) {
        if (ring.empty()) continue;
        Part p;
        p.vertices = ring.vertices;
        p.vertices.push_back(ring.vertices[0]);
        if (!ring.curves.empty()) {
          p.curves = ring.curves;
          p.curves.push_back(ring.curves[0]);
          p.curves[0] = Curve{};
        }
        out.parts.push_back(std::move(p));
      }
      return std::make_shared<Geometry>(std::move(out));
    }
    case GeometryKind::Polyline: {
      // The end points, each counted once per part end that lies on it: an
      // even count (a closed path, or two paths meeting) is no boundary.
      Geometry out = header_of(g, GeometryKind::Multipoint);
      std::vector<Vertex> ends;
      std::map<std::pair<double, double>, int> count;
      for (const Part& p : g.parts) {
        if (p.empty()) continue;
        for (const Vertex& v : {p.vertices.front(), p.vertices.back()}) {
          if (std::isnan(v.x) || std::isnan(v.y)) continue;  // no place to be a boundary
          if (count[{v.x, v.y}]++ == 0) ends.push_back(v);
        }
      }
      for (const Vertex& v : ends)
        if (count[{v.x, v.y}] % 2 == 1) out.points.push_back(v);
      return std::make_shared<Geometry>(std::move(out));
    }
  }
  fail(kInvalidArgument, "The geometry is of an unknown kind.");
}

namespace {

bool same_xy(const Vertex& a, const Vertex& b) { return a.x == b.x && a.y == b.y; }

// A part without zero-length straight segments.
Part without_degenerate_segments(const Part& p, bool closed) {
  Part out;
  for (std::size_t i = 0; i < p.vertices.size(); ++i) {
    const Curve& c = p.curve_at(i);
    if (!out.empty() && same_xy(out.vertices.back(), p.vertices[i]) && c.is_line()) continue;
    out.push(p.vertices[i], i == 0 ? Curve{} : c);
  }
  if (closed && out.size() > 1 && same_xy(out.vertices.back(), out.vertices.front()) && p.curve_at(0).is_line()) {
    // The closing segment would be a point: the last vertex's incoming
    // segment now closes the ring.
    Curve closing = out.curve_at(out.size() - 1);
    out.vertices.pop_back();
    if (!out.curves.empty()) {
      out.curves.pop_back();
      out.curves[0] = closing;
    }
  } else if (closed && !p.curves.empty() && !out.curves.empty()) {
    out.curves[0] = p.curves[0];
  } else if (closed && !p.curve_at(0).is_line()) {
    out.set_curve(0, p.curve_at(0));
  }
  return out;
}

bool has_zero_length_segment(const Part& p, bool closed) {
  const std::size_t n = p.segment_count(closed);
  for (std::size_t i = 0; i < n; ++i) {
    const SegmentView s = p.segment(i, closed);
    if (s.curve->is_line() && same_xy(s.start, s.end)) return true;
  }
  return false;
}

// Paths are simple when none crosses or touches itself (a closed path may
// meet itself at its start) and two paths meet only at end points of both.
bool paths_are_simple(const Geometry& g) {
  GeomPtr all = to_geos(g, 0, false);
  const auto lines = geos::components(all.get());
  std::vector<Box> boxes;
  for (const GEOSGeometry* l : lines) {
    if (!geos::truth(GEOSisSimple_r(ctx(), l), "is simple")) return false;
    Box b{};
    geos::check(GEOSGeom_getXMin_r(ctx(), l, &b.xmin), "is simple");
    geos::check(GEOSGeom_getYMin_r(ctx(), l, &b.ymin), "is simple");
    geos::check(GEOSGeom_getXMax_r(ctx(), l, &b.xmax), "is simple");
    geos::check(GEOSGeom_getYMax_r(ctx(), l, &b.ymax), "is simple");
    boxes.push_back(b);
  }
  auto is_end = [](const GEOSGeometry* l, double x, double y) {
    const GEOSCoordSequence* seq = GEOSGeom_getCoordSeq_r(ctx(), l);
    unsigned n = 0;
    GEOSCoordSeq_getSize_r(ctx(), seq, &n);
    double ax, ay, bx, by;
    GEOSCoordSeq_getXY_r(ctx(), seq, 0, &ax, &ay);
    GEOSCoordSeq_getXY_r(ctx(), seq, n - 1, &bx, &by);
    return (ax == x && ay == y) || (bx == x && by == y);
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (std::size_t j = i + 1; j < lines.size(); ++j) {
      const Box &a = boxes[i], &b = boxes[j];
      if (a.xmax < b.xmin || b.xmax < a.xmin || a.ymax < b.ymin || b.ymax < a.ymin) continue;
      GeomPtr meet = geos::take(GEOSIntersection_r(ctx(), lines[i], lines[j]), "is simple");
      for (const GEOSGeometry* c : geos::components(meet.get())) {
        if (GEOSisEmpty_r(ctx(), c)) continue;
        if (GEOSGeomTypeId_r(ctx(), c) != GEOS_POINT) return false;
        double x, y;
        geos::check(GEOSGeomGetX_r(ctx(), c, &x), "is simple");
        geos::check(GEOSGeomGetY_r(ctx(), c, &y), "is simple");
        if (!is_end(lines[i], x, y) || !is_end(lines[j], x, y)) return false;
      }
    }
  }
  return true;
}

}  // namespace

namespace {

// Whether simplify would give the polygon back as it is: no degenerate
// segment or part, valid for GEOS, its rings already grouped (each exterior
// followed by its holes) and turned the engine's way.
bool simple_as_is(const Geometry& g) {
  if (g.kind != GeometryKind::Polygon || !keeps_forms(g)) return false;
  for (const Part& p : g.parts)
    if (p.size() < 3 || has_zero_length_segment(p, true)) return false;
  if (!valid_as_is(g)) return false;
  std::size_t next = 0;
  for (const auto& members : kept_nesting(g)) {
    for (std::size_t k = 0; k < members.size(); ++k) {
      if (members[k] != next++) return false;
      const double a = ring_signed_area(g.parts[members[k]]);
      if ((k == 0 && a > 0) || (k > 0 && a < 0)) return false;
    }
  }
  return true;
}

}  // namespace

GeometryPtr simplify(const GeometryPtr& g) { return simple_as_is(*g) ? g : simplify(*g); }

GeometryPtr simplify(const Geometry& g) {
  switch (g.kind) {
    case GeometryKind::Point: return std::make_shared<Geometry>(g);
    case GeometryKind::Envelope: {
      Geometry out = g;
      EnvelopeBounds& e = out.envelope;
      if (!e.empty()) {
        if (e.xmin > e.xmax) std::swap(e.xmin, e.xmax);
        if (e.ymin > e.ymax) std::swap(e.ymin, e.ymax);
      }
      return std::make_shared<Geometry>(std::move(out));
    }
    case GeometryKind::Multipoint: {
      Geometry out = header_of(g, GeometryKind::Multipoint);
      std::map<std::pair<double, double>, bool> seen;
      for (const Vertex& v : g.points) {
        if (!std::isfinite(v.x) || !std::isfinite(v.y)) continue;
        if (seen.emplace(std::make_pair(v.x, v.y), true).second) out.points.push_back(v);
      }
      return std::make_shared<Geometry>(std::move(out));
    }
    case GeometryKind::Polyline: {
      Geometry out = header_of(g, GeometryKind::Polyline);
      for (const Part& p : g.parts) {
        Part q = without_degenerate_segments(p, false);
        if (q.size() >= 2) out.parts.push_back(std::move(q));
      }
      if (paths_are_simple(out)) return std::make_shared<Geometry>(std::move(out));
      GeomPtr gg = to_geos(out, 0, false);
      // Paths that cross themselves or each other are split where they do.
      GeomPtr noded = geos::take(GEOSNode_r(ctx(), gg.get()), "simplify");
      SourceIndex index;
      index.add(g);
      return from_geos(noded.get(), ResultSpec{GeometryKind::Polyline, g.has_z, g.has_m, g.spatial_reference, &index});
    }
    case GeometryKind::Polygon: {
      // Already valid rings keep their curves; only their orientation and
      // degenerate segments change.
      Geometry cleaned = header_of(g, GeometryKind::Polygon);
      for (const Part& p : g.parts) {
        Part q = without_degenerate_segments(p, true);
        if (q.size() >= 3 || (!q.empty() && q.has_curves())) cleaned.parts.push_back(std::move(q));
      }
      GeomPtr gg = to_geos(cleaned, 0, false);
      GeomPtr fixed = repaired_area(gg.get());
      if (!fixed) {
        orient_rings(cleaned.parts, true);
        auto out = std::make_shared<Geometry>(std::move(cleaned));
        keep_result_form(*out, std::move(gg));
        return out;
      }
      SourceIndex index;
      index.add(g);
      return read_result(std::move(fixed),
                         ResultSpec{GeometryKind::Polygon, g.has_z, g.has_m, g.spatial_reference, &index});
    }
  }
  fail(kInvalidArgument, "The geometry is of an unknown kind.");
}

namespace {

bool is_simple_in_range(const Geometry& g);

}  // namespace

bool is_simple(const Geometry& g) {
  // Callers treat a reported failure here as a broken invariant.  GEOS
  // refuses coordinates past 1e150, but simplicity does not change under
  // scaling by a power of two, which is exact: such geometries (and those
  // whose products underflow) are scaled into range first.
  const double f = g.kind == GeometryKind::Polyline || g.kind == GeometryKind::Polygon ? limits::range_scale(g) : 1;
  try {
    return is_simple_in_range(f == 1 ? g : *scaled(g, f));
  } catch (const Failure&) {
    return false;  // what the engine cannot examine is not known to be simple
  }
}

namespace {

bool is_simple_in_range(const Geometry& g) {
  switch (g.kind) {
    case GeometryKind::Point: return true;
    case GeometryKind::Envelope: return g.envelope.empty() || (g.envelope.xmin <= g.envelope.xmax && g.envelope.ymin <= g.envelope.ymax);
    case GeometryKind::Multipoint: {
      std::map<std::pair<double, double>, bool> seen;
      for (const Vertex& v : g.points) {
        if (std::isnan(v.x) || std::isnan(v.y)) continue;  // NaN would break the ordering
        if (!seen.emplace(std::make_pair(v.x, v.y), true).second) return false;
      }
      return true;
    }
    case GeometryKind::Polyline: {
      for (const Part& p : g.parts)
        if (p.size() < 2 || has_zero_length_segment(p, false)) return false;
      return paths_are_simple(g);
    }
    case GeometryKind::Polygon: {
      for (const Part& p : g.parts)
        if (p.empty() || (p.size() < 3 && !p.has_curves()) || has_zero_length_segment(p, true)) return false;
      GeomPtr gg = to_geos(g, 0, false);
      if (GEOSisValid_r(ctx(), gg.get()) != 1) return false;
      // Orientation: what orient_rings would produce must be what is there.
      std::vector<Part> rings = g.parts;
      orient_rings(rings);
      for (std::size_t i = 0; i < rings.size(); ++i)
        if ((ring_signed_area(rings[i]) > 0) != (ring_signed_area(g.parts[i]) > 0)) return false;
      return true;
    }
  }
  return false;
}

}  // namespace

GeometryPtr combine_extents(const std::vector<const Geometry*>& gs) {
  Geometry out;
  out.kind = GeometryKind::Envelope;
  if (!gs.empty()) out.spatial_reference = gs[0]->spatial_reference;
  EnvelopeBounds acc;
  auto widen = [](double& lo, double& hi, double vlo, double vhi) {
    if (std::isnan(vlo) || std::isnan(vhi)) return;
    lo = std::isnan(lo) ? vlo : std::min(lo, vlo);
    hi = std::isnan(hi) ? vhi : std::max(hi, vhi);
  };
  for (const Geometry* g : gs) {
    out.has_z = out.has_z || g->has_z;
    out.has_m = out.has_m || g->has_m;
    if (g->is_empty()) continue;
    const EnvelopeBounds e = extent_of(*g);
    if (e.empty()) continue;
    widen(acc.xmin, acc.xmax, e.xmin, e.xmax);
    widen(acc.ymin, acc.ymax, e.ymin, e.ymax);
    if (g->has_z) widen(acc.zmin, acc.zmax, e.zmin, e.zmax);
    if (g->has_m) widen(acc.mmin, acc.mmax, e.mmin, e.mmax);
  }
  out.envelope = acc;
  return std::make_shared<Geometry>(std::move(out));
}

}  // namespace vaskelith::planar
