// Runtime geometries to GEOS and back.
#include "engine/geos_convert.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

// GEOS's C++ classes, to reach a result's rings and the storage of their
// vertices without the C interface's checks and copies, laid out as the
// headers of the release series checked against describe them.  Only their
// inline members are used: the runtime links GEOS's C library alone.  Some
// distributions ship the C header alone: then the C interface reads all.
#if GEOS_VERSION_MAJOR == 3 && GEOS_VERSION_MINOR == 13 && __has_include(<geos/geom/CoordinateSequence.h>)
#define USE_UNSTABLE_GEOS_CPP_API 1
#include <geos/geom/CoordinateSequence.h>
#include <geos/geom/LineString.h>
#include <geos/geom/Polygon.h>
#define OSTREL_GEOS_IN_PLACE 1
#else
#define OSTREL_GEOS_IN_PLACE 0
#endif

#include "engine/box_index.hpp"
#include "engine/input_limits.hpp"
#include "engine/planar_curves.hpp"
#include "errors.hpp"

namespace vaskelith::planar {

using geos::ctx;
using geos::GeomPtr;

int dimension(GeometryKind kind) {
  switch (kind) {
    case GeometryKind::Point:
    case GeometryKind::Multipoint: return 0;
    case GeometryKind::Polyline: return 1;
    default: return 2;
  }
}

namespace {

GEOSCoordSequence* make_seq(const VertexList& vs, bool close) {
  // GEOS copies x, y pairs as the list holds them; a ring needs its first
  // vertex once more at the end, so it goes through a buffer of its own.
  const double* xy = vs.xy_data();
  std::size_t n = vs.size();
  std::vector<double> buf;
  if (close && n > 0) {
    buf.reserve(2 * n + 2);
    buf.assign(xy, xy + 2 * n);
    buf.push_back(xy[0]);
    buf.push_back(xy[1]);
    xy = buf.data();
    ++n;
  }
  return geos::xy_sequence(xy, n);
}

GeomPtr make_line(const VertexList& vs) {
  return geos::take(GEOSGeom_createLineString_r(ctx(), make_seq(vs, false)), "a line");
}

GeomPtr make_ring(const VertexList& vs) {
  return geos::take(GEOSGeom_createLinearRing_r(ctx(), make_seq(vs, true)), "a ring");
}

GeomPtr make_polygon(const std::vector<const Part*>& rings) {
  GeomPtr shell = make_ring(rings[0]->vertices);
  std::vector<GeomPtr> holes;
  for (std::size_t i = 1; i < rings.size(); ++i) holes.push_back(make_ring(rings[i]->vertices));
  std::vector<GEOSGeometry*> raw;
  for (auto& h : holes) raw.push_back(h.get());
  GEOSGeometry* p =
      GEOSGeom_createPolygon_r(ctx(), shell.get(), raw.data(), static_cast<unsigned>(raw.size()));
  if (p == nullptr) geos::engine_failure("The geometry engine could not build a polygon.");
  (void)shell.release();
  for (auto& h : holes) (void)h.release();
  return GeomPtr(p);
}

bool valid_vertex(const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

// The x and y of the valid vertices, consecutive equal ones removed (a ring
// also loses a last vertex equal to its first): what GEOS is given.
VertexList without_repeats(const VertexList& vs, bool closed) {
  VertexList out;
  out.reserve(vs.size());
  const double* xy = vs.xy_data();
  double last_x = kNaN, last_y = kNaN;
  for (std::size_t i = 0; i < vs.size(); ++i) {
    const double x = xy[2 * i], y = xy[2 * i + 1];
    if (!std::isfinite(x) || !std::isfinite(y)) continue;
    if (!out.empty() && last_x == x && last_y == y) continue;
    out.push_xy(x, y);
    last_x = x, last_y = y;
  }
  if (closed)
    while (out.size() > 1 && out.back().x == out.front().x && out.back().y == out.front().y) out.pop_back();
  return out;
}

GeomPtr repair_area(GeomPtr g) {
  GeomPtr fixed = repaired_area(g.get());
  return fixed ? std::move(fixed) : std::move(g);
}

uint64_t vertices_hash(const VertexList& vs) {
  uint64_t h = 0xcbf29ce484222325ull;
  const double* xy = vs.xy_data();
  for (std::size_t i = 0; i < 2 * vs.size(); ++i) h = (h ^ std::bit_cast<uint64_t>(xy[i])) * 0x100000001b3ull;
  return h;
}

bool same_vertices(const VertexList& a, const VertexList& b) {
  return a.size() == b.size() && std::equal(a.xy_data(), a.xy_data() + 2 * a.size(), b.xy_data());
}

Box box_of(const Part& p) {
  Box b;
  const double* xy = p.vertices.xy_data();
  for (std::size_t i = 0; i < p.vertices.size(); ++i) b.add(xy[2 * i], xy[2 * i + 1]);
  return b;
}

// Whether box a covers box b but for rounding: a ring touching its holder
// from inside, where the two follow curves, reaches out as far as the
// holder's chords do only to rounding.
double rounding_reach(const Box& a) {
  constexpr double kUnits = 4;
  return kUnits * std::numeric_limits<double>::epsilon() *
         std::max({std::fabs(a.xmin), std::fabs(a.xmax), std::fabs(a.ymin), std::fabs(a.ymax)});
}

bool covers_to_rounding(const Box& a, const Box& b) {
  const double reach = rounding_reach(a);
  return b.xmin >= a.xmin - reach && b.xmax <= a.xmax + reach && b.ymin >= a.ymin - reach &&
         b.ymax <= a.ymax + reach;
}

// A box that covers another to rounding holds its lower left corner once
// grown by its reach.  A uniform grid over the boxes enters each box, so
// grown, in every cell it reaches: the boxes in the cell of a box's corner
// are then all that may cover it, most often one or two where the boxes lie
// side by side, with no tree to build or walk.  Made only where that holds
// (finite bounds, each box in a few cells, few boxes in the cells asked
// about); otherwise made() is false and an index serves instead.
class CornerGrid {
 public:
  explicit CornerGrid(const std::vector<Box>& boxes) {
    const std::size_t n = boxes.size();
    if (n == 0 || n >= UINT32_MAX) return;
    Box all;
    for (const Box& b : boxes) {
      if (!(b.xmin <= b.xmax && b.ymin <= b.ymax)) continue;  // no vertex: covers nothing, found by nothing
      if (!std::isfinite(b.xmin) || !std::isfinite(b.xmax) || !std::isfinite(b.ymin) || !std::isfinite(b.ymax))
        return;
      const double r = 2 * rounding_reach(b);
      all.add(b.xmin - r, b.ymin - r);
      all.add(b.xmax + r, b.ymax + r);
    }
    if (!(all.xmin <= all.xmax)) return;
    x0_ = all.xmin;
    y0_ = all.ymin;
    const double w = all.xmax - all.xmin, h = all.ymax - all.ymin;
    if (!std::isfinite(w) || !std::isfinite(h)) return;
    const double cells = static_cast<double>(n);
    if (w > 0 && h > 0) {
      nx_ = static_cast<std::size_t>(std::clamp(std::round(std::sqrt(cells * w / h)), 1.0, cells));
      ny_ = std::max<std::size_t>(1, (n + nx_ - 1) / nx_);
    } else {
      nx_ = w > 0 ? n : 1;
      ny_ = h > 0 ? n : 1;
    }
    sx_ = w > 0 ? static_cast<double>(nx_) / w : 0;
    sy_ = h > 0 ? static_cast<double>(ny_) / h : 0;
    if (!std::isfinite(sx_) || !std::isfinite(sy_)) return;
    // Counted first, so that a grid that would not pay is given up before
    // it is filled.
    starts_.assign(nx_ * ny_ + 1, 0);
    std::size_t entered = 0;
    for (const Box& b : boxes) {
      if (!(b.xmin <= b.xmax && b.ymin <= b.ymax)) continue;
      const Span c = span_of(b);
      entered += (c.x1 - c.x0 + 1) * (c.y1 - c.y0 + 1);
      if (entered > kEntriesPerBox * n) {
        fail();
        return;
      }
      for (std::size_t y = c.y0; y <= c.y1; ++y)
        for (std::size_t x = c.x0; x <= c.x1; ++x) ++starts_[y * nx_ + x + 1];
    }
    std::size_t asked = 0;
    for (const Box& b : boxes)
      if (b.xmin <= b.xmax && b.ymin <= b.ymax) asked += starts_[cell(b.xmin, b.ymin) + 1];
    if (asked > kLooksPerBox * n) {
      fail();
      return;
    }
    for (std::size_t c = 1; c < starts_.size(); ++c) starts_[c] += starts_[c - 1];
    items_.resize(entered);
    std::vector<std::size_t> at(starts_.begin(), starts_.end() - 1);
    for (std::size_t i = 0; i < n; ++i) {
      const Box& b = boxes[i];
      if (!(b.xmin <= b.xmax && b.ymin <= b.ymax)) continue;
      const Span c = span_of(b);
      for (std::size_t y = c.y0; y <= c.y1; ++y)
        for (std::size_t x = c.x0; x <= c.x1; ++x) items_[at[y * nx_ + x]++] = static_cast<uint32_t>(i);
    }
    made_ = true;
  }

  bool made() const { return made_; }

  // Calls visit(j) for every box j entered in the cell of (x, y), each once.
  template <class Visit>
  void near(double x, double y, Visit&& visit) const {
    const std::size_t c = cell(x, y);
    for (std::size_t k = starts_[c]; k < starts_[c + 1]; ++k) visit(static_cast<std::size_t>(items_[k]));
  }

 private:
  static constexpr std::size_t kEntriesPerBox = 8;
  static constexpr std::size_t kLooksPerBox = 16;

  struct Span {
    std::size_t x0, x1, y0, y1;
  };
  // Cells go with their coordinates, never the other way: a point inside a
  // grown box falls in a cell the box is entered in.
  static std::size_t along(double v, double origin, double scale, std::size_t count) {
    const double u = (v - origin) * scale;
    if (!(u >= 0)) return 0;
    if (u >= static_cast<double>(count)) return count - 1;
    return std::min(static_cast<std::size_t>(u), count - 1);
  }
  std::size_t cell(double x, double y) const { return along(y, y0_, sy_, ny_) * nx_ + along(x, x0_, sx_, nx_); }
  Span span_of(const Box& b) const {
    // Grown twice as far as covers_to_rounding grows it, so that its cells
    // hold every point it covers however the two are rounded.
    const double r = 2 * rounding_reach(b);
    return Span{along(b.xmin - r, x0_, sx_, nx_), along(b.xmax + r, x0_, sx_, nx_), along(b.ymin - r, y0_, sy_, ny_),
                along(b.ymax + r, y0_, sy_, ny_)};
  }
  void fail() {
    starts_ = {};
    made_ = false;
  }

  bool made_ = false;
  double x0_ = 0, y0_ = 0, sx_ = 0, sy_ = 0;
  std::size_t nx_ = 1, ny_ = 1;
  std::vector<std::size_t> starts_;  // cell c lists items_[starts_[c], starts_[c + 1])
  std::vector<uint32_t> items_;
};

// Whether the ring lies inside the holder, by its first vertex off the
// holder's boundary.  A ring that touches the holder from inside may have
// that vertex where the chords of a curve of the holder cut inside the
// curve: an answer "outside" stands only when vertices a third and two
// thirds of the way round agree.
bool ring_inside(const Part& ring, const Part& holder) {
  const std::size_t n = ring.vertices.size();
  auto first_off_boundary = [&](std::size_t from) {
    for (std::size_t k = 0; k < n; ++k) {
      const Vertex& v = ring.vertices[(from + k) % n];
      const int where = locate_in_ring(holder, v.x, v.y);
      if (where != -1) return where;
    }
    return -1;
  };
  const int where = first_off_boundary(0);
  if (where != 0 || n < 3) return where == 1;
  return first_off_boundary(n / 3) == 1 && first_off_boundary(2 * n / 3) == 1;
}

}  // namespace

GeomPtr repaired_area(const GEOSGeometry* g) {
  if (GEOSisValid_r(ctx(), g) == 1) return nullptr;
  GEOSMakeValidParams* params = GEOSMakeValidParams_create_r(ctx());
  GEOSMakeValidParams_setMethod_r(ctx(), params, GEOS_MAKE_VALID_STRUCTURE);
  GEOSMakeValidParams_setKeepCollapsed_r(ctx(), params, 0);
  GEOSGeometry* fixed = GEOSMakeValidWithParams_r(ctx(), g, params);
  GEOSMakeValidParams_destroy_r(ctx(), params);
  return geos::take(fixed, "repairing a polygon");
}

int locate_in_ring(const Part& ring, double x, double y) {
  const auto& vs = ring.vertices;
  const std::size_t n = vs.size();
  if (n == 0) return 0;
  bool inside = false;
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const Vertex& a = vs[i];
    const Vertex& b = vs[j];
    // On the segment?
    const double cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
    if (cross == 0 && std::min(a.x, b.x) <= x && x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= y &&
        y <= std::max(a.y, b.y))
      return -1;
    if ((a.y > y) != (b.y > y)) {
      const double xi = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
      if (x < xi) inside = !inside;
    }
  }
  return inside ? 1 : 0;
}

RingGroups nest_rings(const std::vector<Part>& rings) {
  const std::size_t n = rings.size();
  if (n == 0) return RingGroups();
  if (n == 1) return RingGroups({0}, {0, 1});
  std::vector<double> area(n);
  std::vector<Box> boxes(n);
  for (std::size_t i = 0; i < n; ++i) {
    area[i] = std::fabs(ring_signed_area(rings[i]));
    boxes[i] = box_of(rings[i]);
  }
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return area[a] > area[b]; });

  std::vector<std::size_t> rank(n);
  for (std::size_t k = 0; k < n; ++k) rank[order[k]] = k;
  // Only rings whose boxes cover a ring's box can hold it; the grid, or
  // else the index, finds them without looking at every larger ring.
  const CornerGrid grid(boxes);
  std::optional<BoxIndex> index;
  if (!grid.made()) index.emplace(boxes);
  std::vector<std::size_t> holders;
  std::vector<int> depth(n, 0);
  std::vector<std::ptrdiff_t> parent(n, -1);
  // A copy of a ring lies on it, so is not held by it, and is held by what
  // holds it: it nests as the ring did, without testing every vertex of
  // every copy against every other (hundreds of stacked copies took
  // seconds).  The rings already nested are chained by the hash of their
  // vertices, in the order they were nested, from an open-addressed table
  // of heads: no block of memory for each ring.
  constexpr std::size_t kNone = SIZE_MAX;
  struct Alike {
    uint64_t hash = 0;
    std::size_t first = kNone, last = kNone;
  };
  int bits = 1;
  while ((std::size_t{1} << bits) < 2 * n) ++bits;
  std::vector<Alike> alike(std::size_t{1} << bits);
  std::vector<std::size_t> next_alike(n, kNone);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = order[k];
    const uint64_t h = vertices_hash(rings[i].vertices);
    std::size_t s = static_cast<std::size_t>((h * 0x9e3779b97f4a7c15ull) >> (64 - bits));
    while (alike[s].first != kNone && alike[s].hash != h) s = (s + 1) & (alike.size() - 1);
    Alike& chain = alike[s];
    std::size_t copied = kNone;
    for (std::size_t j = chain.first; j != kNone; j = next_alike[j])
      if (same_vertices(rings[i].vertices, rings[j].vertices)) {
        copied = j;
        break;
      }
    if (copied != kNone) {
      parent[i] = parent[copied];
      depth[i] = depth[copied];
      continue;
    }
    if (chain.first == kNone) {
      chain.hash = h;
      chain.first = i;
    } else {
      next_alike[chain.last] = i;
    }
    chain.last = i;
    holders.clear();
    // A node whose box does not cover this ring's box holds no box that
    // does: only the branches that could hold it are walked.
    const Box& b = boxes[i];
    auto consider = [&](std::size_t j) {
      if (rank[j] < k && boxes[j].meets(b) && covers_to_rounding(boxes[j], b)) holders.push_back(j);
    };
    if (grid.made()) {
      // A ring without a vertex meets no box.
      if (b.xmin <= b.xmax && b.ymin <= b.ymax) grid.near(b.xmin, b.ymin, consider);
    } else {
      index->query_open(b, [&](const Box& a) { return covers_to_rounding(a, b); }, consider);
    }
    // The smallest larger ring that holds this one.
    std::sort(holders.begin(), holders.end(), [&](std::size_t a, std::size_t b) { return rank[a] > rank[b]; });
    for (const std::size_t j : holders) {
      if (ring_inside(rings[i], rings[j])) {
        parent[i] = static_cast<std::ptrdiff_t>(j);
        depth[i] = depth[j] + 1;
        break;
      }
    }
  }
  // A group is named by its exterior ring; the groups go by that ring's
  // index, each exterior first and then its holes in the order nested.
  std::vector<std::size_t> shell_of(n), members(n, 0);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = order[k];
    shell_of[i] = depth[i] % 2 == 0 ? i : shell_of[static_cast<std::size_t>(parent[i])];
    ++members[shell_of[i]];
  }
  std::vector<std::size_t> starts, next(n);
  std::size_t at = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (depth[i] % 2 != 0) continue;
    starts.push_back(at);
    next[i] = at;
    at += members[i];
  }
  starts.push_back(at);
  std::vector<std::size_t> grouped(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = order[k];
    grouped[next[shell_of[i]]++] = i;
  }
  return RingGroups(std::move(grouped), std::move(starts));
}

void orient_rings(std::vector<Part>& rings, bool group) {
  bool curved = false, plain = true;
  for (const Part& r : rings) {
    curved = curved || r.has_curves();
    plain = plain && r.curves.empty();
  }
  // Rings without a curve list are nested as they are, with no copy.
  std::vector<Part> linear;
  if (!plain) {
    linear.reserve(rings.size());
    for (const Part& r : rings) linear.push_back(curved ? linearize_part(r, true, 0) : Part{r.vertices, {}});
  }
  const auto groups = nest_rings(plain ? rings : linear);
  for (const auto& members : groups) {
    for (std::size_t k = 0; k < members.size(); ++k) {
      const std::size_t i = members[k];
      const double a = ring_signed_area(rings[i]);
      const bool want_clockwise = (k == 0);
      if ((want_clockwise && a > 0) || (!want_clockwise && a < 0)) rings[i] = reverse_part(rings[i], true);
    }
  }
  if (group) {
    std::vector<Part> ordered;
    ordered.reserve(rings.size());
    for (const auto& members : groups)
      for (std::size_t i : members) ordered.push_back(std::move(rings[i]));
    rings = std::move(ordered);
  }
}

GeomPtr to_geos(const Geometry& g, double tolerance, bool repair) {
  switch (g.kind) {
    case GeometryKind::Point:
      if (!valid_vertex(g.point)) return geos::take(GEOSGeom_createEmptyPoint_r(ctx()), "a point");
      limits::check_engine_range({g.point});
      return geos::take(GEOSGeom_createPointFromXY_r(ctx(), g.point.x, g.point.y), "a point");
    case GeometryKind::Multipoint: {
      std::vector<GeomPtr> pts;
      for (const Vertex& v : g.points)
        if (valid_vertex(v)) {
          limits::check_engine_range({v});
          pts.push_back(geos::take(GEOSGeom_createPointFromXY_r(ctx(), v.x, v.y), "a point"));
        }
      return geos::collect(GEOS_MULTIPOINT, std::move(pts));
    }
    case GeometryKind::Polyline: {
      std::vector<GeomPtr> lines;
      for (const Part& p : g.parts) {
        VertexList vs =
            without_repeats(p.has_curves() ? linearize_part(p, false, tolerance).vertices : p.vertices, false);
        limits::check_engine_range(vs);
        if (vs.size() == 1 && !p.empty()) vs.push_back(vs[0]);  // a degenerate part still has a place
        if (vs.size() >= 2) lines.push_back(make_line(vs));
      }
      return geos::collect(GEOS_MULTILINESTRING, std::move(lines));
    }
    case GeometryKind::Envelope: {
      if (g.envelope.empty()) return geos::take(GEOSGeom_createEmptyPolygon_r(ctx()), "a polygon");
      const EnvelopeBounds& e = g.envelope;
      Part ring;
      ring.vertices = {Vertex{e.xmin, e.ymin}, Vertex{e.xmin, e.ymax}, Vertex{e.xmax, e.ymax}, Vertex{e.xmax, e.ymin}};
      limits::check_engine_range(ring.vertices);
      GeomPtr poly = make_polygon({&ring});
      return poly;
    }
    case GeometryKind::Polygon: {
      std::vector<Part> rings;
      for (const Part& p : g.parts) {
        Part r;
        r.vertices = without_repeats(p.has_curves() ? linearize_part(p, true, tolerance).vertices : p.vertices, true);
        limits::check_engine_range(r.vertices);
        if (r.vertices.size() >= 3) rings.push_back(std::move(r));
      }
      // Copies of a ring add nothing to the area (the union of the same
      // shell, the difference of the same hole), yet each would have GEOS
      // repair the whole again: one of each stays.
      std::unordered_map<uint64_t, std::vector<std::size_t>> kept;
      std::vector<Part> distinct;
      for (Part& r : rings) {
        std::vector<std::size_t>& alike = kept[vertices_hash(r.vertices)];
        if (std::any_of(alike.begin(), alike.end(),
                        [&](std::size_t j) { return same_vertices(r.vertices, distinct[j].vertices); }))
          continue;
        alike.push_back(distinct.size());
        distinct.push_back(std::move(r));
      }
      rings = std::move(distinct);
      std::vector<GeomPtr> polys;
      for (const auto& group : nest_rings(rings)) {
        std::vector<const Part*> rs;
        for (std::size_t i : group) rs.push_back(&rings[i]);
        polys.push_back(make_polygon(rs));
      }
      GeomPtr out;
      if (polys.empty())
        out = geos::take(GEOSGeom_createEmptyPolygon_r(ctx()), "a polygon");
      else if (polys.size() == 1)
        out = std::move(polys[0]);
      else
        out = geos::collect(GEOS_MULTIPOLYGON, std::move(polys));
      return repair ? repair_area(std::move(out)) : std::move(out);
    }
  }
  fail(kInvalidArgument, "The geometry is of an unknown kind.");
}

// ---- results ----

namespace {

#if OSTREL_GEOS_IN_PLACE
// Whether a sequence's storage may be read in place: the headers built
// against describe the layout of the library loaded, which holds where the
// two are of one release series (the layout changes only between series).
bool reads_in_place() {
  static const bool same = [] {
    const std::string_view loaded = GEOSversion(), built = GEOS_VERSION;
    const std::size_t series = built.rfind('.');
    return series != std::string_view::npos && loaded.substr(0, series + 1) == built.substr(0, series + 1);
  }();
  return same;
}

namespace cpp = ::geos::geom;

const cpp::Geometry* cpp_of(const GEOSGeometry* g) { return reinterpret_cast<const cpp::Geometry*>(g); }
const GEOSGeometry* c_of(const cpp::Geometry* g) { return reinterpret_cast<const GEOSGeometry*>(g); }

// A line or ring keeps its sequence in a protected member, whose accessor
// is not inline; a class derived from it names the member.  Never made.
struct CurveSequence : cpp::LineString {
  static const cpp::CoordinateSequence* of(const cpp::SimpleCurve& c) { return (c.*(&CurveSequence::points)).get(); }
};
#endif

// The sequence of a point, line or ring.
const GEOSCoordSequence* sequence_of(const GEOSGeometry* g) {
#if OSTREL_GEOS_IN_PLACE
  if (reads_in_place()) {
    const cpp::Geometry* c = cpp_of(g);
    const cpp::GeometryTypeId type = c->getGeometryTypeId();
    if (type == cpp::GEOS_LINESTRING || type == cpp::GEOS_LINEARRING)
      return reinterpret_cast<const GEOSCoordSequence*>(CurveSequence::of(*static_cast<const cpp::LineString*>(c)));
  }
#endif
  return GEOSGeom_getCoordSeq_r(ctx(), g);
}

// Calls visit(ring, exterior) for a polygon's exterior ring and then its
// holes, in order.
template <class Visit>
void for_each_ring(const GEOSGeometry* polygon, Visit&& visit) {
#if OSTREL_GEOS_IN_PLACE
  if (reads_in_place()) {
    const auto* p = static_cast<const cpp::Polygon*>(cpp_of(polygon));
    visit(c_of(p->getExteriorRing()), true);
    const std::size_t holes = p->getNumInteriorRing();
    for (std::size_t k = 0; k < holes; ++k) visit(c_of(p->getInteriorRingN(k)), false);
    return;
  }
#endif
  const int holes = GEOSGetNumInteriorRings_r(ctx(), polygon);
  for (int k = -1; k < holes; ++k)
    visit(k < 0 ? GEOSGetExteriorRing_r(ctx(), polygon) : GEOSGetInteriorRingN_r(ctx(), polygon, k), k < 0);
}

// A sequence's vertices where GEOS keeps them: one array, x and y first in
// each vertex, `stride` numbers apart.  Null where they may not be read in
// place.
struct StoredXY {
  const double* data = nullptr;
  std::size_t stride = 2;
  std::size_t size = 0;
};

StoredXY stored_xy(const GEOSCoordSequence* seq) {
#if OSTREL_GEOS_IN_PLACE
  if (reads_in_place()) {
    const auto* cs = reinterpret_cast<const cpp::CoordinateSequence*>(seq);
    switch (cs->getCoordinateType()) {
      case cpp::CoordinateType::XY: return {cs->data(), 2, cs->size()};
      case cpp::CoordinateType::XYZM: return {cs->data(), 4, cs->size()};
      default: return {cs->data(), 3, cs->size()};
    }
  }
#endif
  (void)seq;
  return {};
}

// The vertices of a point, line or ring, copied in one pass from where GEOS
// keeps them where it can (the C interface fetches them one ordinate at a
// time); with `open`, a last vertex equal to the first is left out (a
// ring's closing one).
VertexList read_coords(const GEOSGeometry* g, bool open = false) {
  const GEOSCoordSequence* seq = sequence_of(g);
  if (seq == nullptr) return {};
  const StoredXY stored = stored_xy(seq);
  if (stored.data != nullptr) {
    std::size_t n = stored.size;
    if (n == 0) return {};
    const double* in = stored.data;
    const std::size_t s = stored.stride;
    if (open && n > 1 && in[0] == in[s * (n - 1)] && in[1] == in[s * (n - 1) + 1]) --n;
    return VertexList::from_written_xy(n, [&](double* out) {
      if (s == 2) {
        std::copy(in, in + 2 * n, out);
        return;
      }
      // x and y side by side, moved as one 16-byte pair.
      auto pairs = [&](auto stride) {
        std::size_t i = 0;
        for (; i + 2 <= n; i += 2) {
          std::memcpy(out + 2 * i, in + stride * i, 16);
          std::memcpy(out + 2 * i + 2, in + stride * (i + 1), 16);
        }
        if (i < n) std::memcpy(out + 2 * i, in + stride * i, 16);
      };
      if (s == 3)
        pairs(std::integral_constant<std::size_t, 3>{});
      else
        pairs(std::integral_constant<std::size_t, 4>{});
    });
  }
  unsigned size = 0;
  GEOSCoordSeq_getSize_r(ctx(), seq, &size);
  const std::size_t n = size;
  if (n == 0) return {};
  VertexList::XY buf(2 * n);
  geos::check(GEOSCoordSeq_copyToBuffer_r(ctx(), seq, buf.data(), 0, 0), "reading coordinates");
  if (open && n > 1 && buf[0] == buf[2 * n - 2] && buf[1] == buf[2 * n - 1]) buf.resize(2 * n - 2);
  return VertexList::from_xy(std::move(buf));
}

void merge_lines(std::vector<Part>& parts) {
  if (parts.size() < 2) return;
  std::map<std::pair<double, double>, int> degree;
  std::map<std::pair<double, double>, std::vector<std::size_t>> starting, ending;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Vertex& a = parts[i].vertices.front();
    const Vertex& b = parts[i].vertices.back();
    ++degree[{a.x, a.y}];
    ++degree[{b.x, b.y}];
    starting[{a.x, a.y}].push_back(i);
    ending[{b.x, b.y}].push_back(i);
  }
  std::vector<bool> used(parts.size(), false);
  // The unused part that starts at `e`, when e is a node of degree 2.
  auto next_at = [&](const Vertex& e) -> std::ptrdiff_t {
    const std::pair<double, double> k{e.x, e.y};
    if (degree[k] != 2) return -1;
    for (std::size_t j : starting[k])
      if (!used[j]) return static_cast<std::ptrdiff_t>(j);
    return -1;
  };
  // Whether some other part ends where part i starts, at a node of degree 2.
  auto continues = [&](std::size_t i) {
    const Vertex& s = parts[i].vertices.front();
    if (degree[{s.x, s.y}] != 2) return false;
    for (std::size_t j : ending[{s.x, s.y}])
      if (j != i) return true;
    return false;
  };
  std::vector<Part> out;
  auto chain = [&](std::size_t i) {
    used[i] = true;
    Part p = std::move(parts[i]);
    for (std::ptrdiff_t j = next_at(p.vertices.back()); j >= 0; j = next_at(p.vertices.back())) {
      used[static_cast<std::size_t>(j)] = true;
      const auto& vs = parts[static_cast<std::size_t>(j)].vertices;
      p.vertices.append(vs, 1);
    }
    out.push_back(std::move(p));
  };
  for (std::size_t i = 0; i < parts.size(); ++i)
    if (!used[i] && !continues(i)) chain(i);
  for (std::size_t i = 0; i < parts.size(); ++i)
    if (!used[i]) chain(i);  // closed loops
  parts = std::move(out);
}

}  // namespace

GeometryPtr empty_geometry(GeometryKind kind, bool has_z, bool has_m, SpatialReferencePtr sr) {
  auto g = std::make_shared<Geometry>();
  g->kind = kind;
  g->has_z = has_z;
  g->has_m = has_m;
  g->spatial_reference = std::move(sr);
  return g;
}

namespace {

using Components = std::span<const GEOSGeometry* const>;

// GEOS returns x and y only: z and m come from the inputs, and stay NaN
// where the result does not carry them.
void attach(Vertex& v, const ResultSpec& spec) {
  if (spec.attributes)
    spec.attributes->fill(v);
  else
    v.z = v.m = kNaN;
  if (!spec.has_z) v.z = kNaN;
  if (!spec.has_m) v.m = kNaN;
}

// attach() for every vertex of a part read from GEOS.  Such a part holds
// no z or m yet, which is all attach() would leave when nothing supplies
// them: then it is left as it is.
void attach_all(Part& p, const ResultSpec& spec) {
  if (spec.attributes && (spec.has_z || spec.has_m)) p.vertices.edit([&](Vertex& v) { attach(v, spec); });
}

// The points of the result; a Point keeps the first one only.
void read_points(Components comps, const ResultSpec& spec, Geometry& g) {
  for (const GEOSGeometry* c : comps) {
    if (GEOSGeomTypeId_r(ctx(), c) != GEOS_POINT || GEOSisEmpty_r(ctx(), c)) continue;
    const VertexList vs = read_coords(c);
    if (vs.empty()) continue;
    Vertex v = vs[0];
    attach(v, spec);
    if (spec.kind == GeometryKind::Point) {
      g.point = v;
      return;
    }
    g.points.push_back(v);
  }
}

// The lines of the result as paths.  Pieces are joined before z, m and
// curves are put back, so that a curve cut by GEOS at a node comes back
// whole.
void read_lines(Components comps, const ResultSpec& spec, Geometry& g) {
  for (const GEOSGeometry* c : comps) {
    const int t = GEOSGeomTypeId_r(ctx(), c);
    if ((t != GEOS_LINESTRING && t != GEOS_LINEARRING) || GEOSisEmpty_r(ctx(), c)) continue;
    Part p;
    p.vertices = read_coords(c);
    if (p.vertices.size() >= 2) g.parts.push_back(std::move(p));
  }
  if (spec.merge_lines) merge_lines(g.parts);
  for (Part& p : g.parts) {
    attach_all(p, spec);
    if (spec.attributes) spec.attributes->restore_curves(p, false);
  }
}

// One GEOS ring as an open ring of the engine, turned the engine's way
// (exteriors clockwise, holes counter-clockwise); false when it collapsed.
bool read_ring(const GEOSGeometry* r, bool exterior, const ResultSpec& spec, Part& p) {
  p.vertices = read_coords(r, true);
  if (p.vertices.size() < 3) return false;
  const double a = ring_signed_area(p);
  if ((exterior && a > 0) || (!exterior && a < 0)) p = reverse_part(p, true);
  attach_all(p, spec);
  if (spec.attributes) spec.attributes->restore_curves(p, true);
  // A sliver GEOS made where chords crossed a rounding away from where the
  // curves meet has its corners put on that meeting: nothing is left of it.
  return p.size() >= 3 || p.has_curves();
}

// The rings of the result's polygons, each exterior followed by its holes.
void read_polygons(Components comps, const ResultSpec& spec, Geometry& g) {
  for (const GEOSGeometry* c : comps) {
    if (GEOSGeomTypeId_r(ctx(), c) != GEOS_POLYGON || GEOSisEmpty_r(ctx(), c)) continue;
    for_each_ring(c, [&](const GEOSGeometry* r, bool exterior) {
      Part p;
      if (read_ring(r, exterior, spec, p)) g.parts.push_back(std::move(p));
    });
  }
}

// The range of z and m over the result's vertices, as the inputs give them
// (NaN when no vertex has one).
void read_extent_z_m(Components comps, const ResultSpec& spec, EnvelopeBounds& e) {
  e.zmin = e.mmin = INFINITY;
  e.zmax = e.mmax = -INFINITY;
  for (const GEOSGeometry* c : comps) {
    GeomPtr pts = geos::take(GEOSGeom_extractUniquePoints_r(ctx(), c), "an extent");
    for (const GEOSGeometry* p : geos::components(pts.get())) {
      for (Vertex v : read_coords(p)) {
        attach(v, spec);
        if (!std::isnan(v.z)) e.zmin = std::min(e.zmin, v.z), e.zmax = std::max(e.zmax, v.z);
        if (!std::isnan(v.m)) e.mmin = std::min(e.mmin, v.m), e.mmax = std::max(e.mmax, v.m);
      }
    }
  }
  if (!std::isfinite(e.zmin)) e.zmin = e.zmax = kNaN;
  if (!std::isfinite(e.mmin)) e.mmin = e.mmax = kNaN;
}

// The extent of everything in the result.
void read_extent(const GEOSGeometry* src, Components comps, const ResultSpec& spec, Geometry& g) {
  if (GEOSisEmpty_r(ctx(), src)) return;
  double x0, y0, x1, y1;
  geos::check(GEOSGeom_getXMin_r(ctx(), src, &x0), "an extent");
  geos::check(GEOSGeom_getYMin_r(ctx(), src, &y0), "an extent");
  geos::check(GEOSGeom_getXMax_r(ctx(), src, &x1), "an extent");
  geos::check(GEOSGeom_getYMax_r(ctx(), src, &y1), "an extent");
  g.envelope.xmin = x0;
  g.envelope.ymin = y0;
  g.envelope.xmax = x1;
  g.envelope.ymax = y1;
  if (spec.attributes && (spec.has_z || spec.has_m)) read_extent_z_m(comps, spec, g.envelope);
}

}  // namespace

GeometryPtr from_geos(const GEOSGeometry* src, const ResultSpec& spec) {
  auto g = std::make_shared<Geometry>();
  g->kind = spec.kind;
  g->has_z = spec.has_z;
  g->has_m = spec.has_m;
  g->spatial_reference = spec.spatial_reference;
  // Most results are one polygon, line or point: their one component needs
  // no list of its own.
  const int type = GEOSGeomTypeId_r(ctx(), src);
  const bool collection = type == GEOS_MULTIPOINT || type == GEOS_MULTILINESTRING || type == GEOS_MULTIPOLYGON ||
                          type == GEOS_GEOMETRYCOLLECTION;
  std::vector<const GEOSGeometry*> members;
  if (collection) members = geos::components(src);
  const Components comps = collection ? Components(members) : Components(&src, 1);
  switch (spec.kind) {
    case GeometryKind::Point:
    case GeometryKind::Multipoint: read_points(comps, spec, *g); break;
    case GeometryKind::Polyline: read_lines(comps, spec, *g); break;
    case GeometryKind::Polygon: read_polygons(comps, spec, *g); break;
    case GeometryKind::Envelope: read_extent(src, comps, spec, *g); break;
  }
  return g;
}

}  // namespace vaskelith::planar
